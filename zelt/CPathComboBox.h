#pragma once
// Path chooser combo box of the key-file controls and the Excel dialog.
// This first version keeps the mode, title and filter; the chooser that
// opens on the arrow comes with the key-file and export work.

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

private:
    int m_iMode = SaveFile;
    QString m_strTitle;
    QString m_strFilter;
};
