#pragma once
// Path chooser combo box of the key-file controls and the Excel dialog:
// instead of a list, its arrow opens the skinned file dialog in one of four
// modes and the chosen path becomes the box's single item.

#include <QComboBox>

class CPathComboBox : public QComboBox
{
    Q_OBJECT
public:
    enum Mode { SaveFile = 0, OpenFile = 1, Folder = 2, OpenFiles = 3 };

    explicit CPathComboBox(QWidget *parent = nullptr);

    void SetMode(int iMode);
    int Mode() const { return m_iMode; }
    void SetDialogTitle(const QString &strTitle) { m_strTitle = strTitle; }
    void SetFilter(const QString &strFilter) { m_strFilter = strFilter; }
    QString DialogTitle() const { return m_strTitle; }
    QString Filter() const { return m_strFilter; }

    // Runs the chooser as the arrow does.
    void showPopup() override;

    // The extension a save filter names: from just after its first "*" up
    // to its first blank, else up to its first ")". Empty without "*".
    static QString FilterExtension(const QString &strFilter);

    static constexpr int kArrowWidth = 23;

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void SetSinglePath(const QString &strPath);

    int m_iMode = SaveFile;
    QString m_strTitle;
    QString m_strFilter;
};
