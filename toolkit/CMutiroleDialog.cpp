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
    if (m_pDialog && !m_pDialog->IsBeingDestroyed()) {
        CBaseDialog *dialog = m_pDialog.data();
        m_pDialog = nullptr;
        setParent(nullptr);
        dialog->setParent(nullptr);
        delete dialog;
    }
}

void CMutiroleDialog::PrepareDialog(QWidget *parent, const QString &strTitle, const QSize &size)
{
    if (!m_pDialog) {
#ifndef TOOLKIT_PLUGIN_EDITION
        m_pDialog = new CBaseDialog(nullptr, true, true, true, false, true);
#else
        m_pDialog = new CBaseDialog(nullptr, true, true, true);
#endif
        connect(m_pDialog.data(), &CBaseDialog::ClickedCloseBtnSig, this, &CMutiroleDialog::DialogCloseSlot);
    }
    m_pDialog->SetAutoClose(false);
    m_pDialog->resize(size);
    m_pDialog->setParent(parent, Qt::Dialog | Qt::FramelessWindowHint);
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
    if (m_pDialog)
        m_pDialog->close();
}

void CMutiroleDialog::move(int x, int y)
{
    move(QPoint(x, y));
}

void CMutiroleDialog::move(const QPoint &pos)
{
    if (m_pDialog)
        m_pDialog->move(pos);
    else
        QFrame::move(pos);
}

int CMutiroleDialog::width() const
{
    return m_pDialog ? m_pDialog->width() : QFrame::width();
}

int CMutiroleDialog::height() const
{
    return m_pDialog ? m_pDialog->height() : QFrame::height();
}
