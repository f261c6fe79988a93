#include "CMutiroleDialog.h"

#include "CBaseDialog.h"

CMutiroleDialog::CMutiroleDialog(QWidget *parent) : QFrame(parent), m_pParent(parent)
{
    setObjectName(QStringLiteral("CMutiroleDialog"));
}

CMutiroleDialog::~CMutiroleDialog()
{
    // The frame sits inside the inner dialog: take it out first so that
    // deleting the dialog does not delete the frame a second time. When the
    // dialog itself is being destroyed (and takes this frame with it), leave
    // it alone.
    if (CBaseDialog *dialog = Dialog()) {
        m_pDialog = nullptr;
        m_pDialogGuard = nullptr;
        setParent(nullptr);
        dialog->setParent(nullptr);
        delete dialog;
    }
}

CBaseDialog *CMutiroleDialog::Dialog() const
{
    QObject *guard = m_pDialogGuard.data();
    if (!guard || guard->property(CBaseDialog::kDestroyingProperty).toBool())
        return nullptr;
    return m_pDialog;
}

void CMutiroleDialog::PrepareDialog(QWidget *parent, const QString &strTitle, const QSize &size)
{
    if (!Dialog()) {
#ifndef TOOLKIT_PLUGIN_EDITION
        m_pDialog = new CBaseDialog(nullptr, true, true, true, false, true);
#else
        m_pDialog = new CBaseDialog(nullptr, true, true, true);
#endif
        m_pDialogGuard = m_pDialog;
        connect(m_pDialog, &CBaseDialog::ClickedCloseBtnSig, this, &CMutiroleDialog::DialogCloseSlot);
    }
    m_pDialog->SetAutoClose(false);
    m_pDialog->resize(size);
    m_pDialog->setParent(parent, Qt::Dialog | Qt::FramelessWindowHint);
    if (parentWidget() != m_pDialog->GetContentFrame())
        m_pDialog->SetContentWidget(this);
    setStyleSheet(QStringLiteral("QFrame#CMutiroleDialog{background-color: transparent;}"));
    m_pDialog->SetTitleText(strTitle);
}

void CMutiroleDialog::ShowDialog(QWidget *parent, const QString &strTitle)
{
    if (!parent)
        return;
    PrepareDialog(parent, strTitle, QFrame::size());
    m_pDialog->exec();
}

int CMutiroleDialog::ExecDialog(QWidget *parent, const QString &strTitle)
{
    PrepareDialog(parent, strTitle, QFrame::size());
    return m_pDialog->exec();
}

void CMutiroleDialog::ShowDialog(QWidget *parent, const QString &strTitle, int iWidth, int iHeight)
{
    if (!parent)
        return;
    PrepareDialog(parent, strTitle, QSize(iWidth, iHeight));
    m_pDialog->SetCloseBtnVisible(true);
    m_pDialog->SetBottomFrameVisible(false);
    m_pDialog->show();
}

void CMutiroleDialog::DialogCloseSlot()
{
    CloseDialog();
}

void CMutiroleDialog::CloseDialog()
{
    if (CBaseDialog *dialog = Dialog())
        dialog->close();
}

void CMutiroleDialog::move(int x, int y)
{
    move(QPoint(x, y));
}

void CMutiroleDialog::move(const QPoint &pos)
{
    if (CBaseDialog *dialog = Dialog())
        dialog->move(pos);
    else
        QFrame::move(pos);
}

int CMutiroleDialog::width() const
{
    const CBaseDialog *dialog = Dialog();
    return dialog ? dialog->width() : QFrame::width();
}

int CMutiroleDialog::height() const
{
    const CBaseDialog *dialog = Dialog();
    return dialog ? dialog->height() : QFrame::height();
}
