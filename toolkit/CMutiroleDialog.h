#pragma once
// A frame that can show itself inside a CBaseDialog on demand, modal or
// modeless. move(), width() and height() act on that dialog once it exists.

#include <QFrame>
#include <QPointer>

class CBaseDialog;

class CMutiroleDialog : public QFrame
{
    Q_OBJECT
public:
    explicit CMutiroleDialog(QWidget *parent = nullptr);
    ~CMutiroleDialog() override;

    // Modal; nothing happens without a parent.
    void ShowDialog(QWidget *parent, const QString &strTitle);
    // Modal; returns the exec() result (runs without parent when null).
    int ExecDialog(QWidget *parent, const QString &strTitle);
    // Modeless, with its own size, close button and no bottom frame.
    void ShowDialog(QWidget *parent, const QString &strTitle, int iWidth, int iHeight);

    void move(int x, int y);
    void move(const QPoint &pos);
    int width() const;
    int height() const;

    // The inner dialog, or null before the first showing and once it is
    // being destroyed.
    CBaseDialog *Dialog() const;

public slots:
    void DialogCloseSlot();

protected:
    virtual void CloseDialog();

private:
    void PrepareDialog(QWidget *parent, const QString &strTitle, const QSize &size);
    // Guarded as a plain QObject: the guard is read while the dialog may be
    // half destroyed (it deletes this frame from its QWidget destructor).
    QPointer<QObject> m_pDialogGuard;
    CBaseDialog *m_pDialog = nullptr;
    QPointer<QWidget> m_pParent;
};
