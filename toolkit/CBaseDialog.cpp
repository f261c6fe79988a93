// The part of CBaseDialog both editions share: content, dragging, keys and
// the rounded window shape. The editions' own parts are in
// CBaseDialogShell.cpp and CBaseDialogPlugin.cpp; CMake compiles one of them
// into each edition of the toolkit.
#include "CBaseDialog.h"

#include "Buttons.h"
#include "Toolkit.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegion>

void CBaseDialog::SetupDialog(const QSize &size, const QMargins &margins)
{
    setObjectName(QStringLiteral("CBaseDialogClass"));
    resize(size);
    setMinimumSize(0, 150);
    setWindowTitle(QStringLiteral("Dialog"));

    ui.m_pgridBaseDialog = new QGridLayout(this);
    ui.m_pgridBaseDialog->setObjectName(QStringLiteral("m_pgridBaseDialog"));
    ui.m_pgridBaseDialog->setVerticalSpacing(0);
    ui.m_pgridBaseDialog->setContentsMargins(margins);
}

QGridLayout *CBaseDialog::SetupFrames()
{
    ui.m_pContentFrame = new QFrame(this);
    ui.m_pContentFrame->setObjectName(QStringLiteral("m_pContentFrame"));
    ui.m_pContentFrame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui.m_pContentFrame->setMinimumWidth(100);
    ui.m_pContentFrame->setFocusPolicy(Qt::NoFocus);
    ui.m_pgridBaseDialog->addWidget(ui.m_pContentFrame, 1, 0);

    ui.m_pBottomFrame = new QFrame(this);
    ui.m_pBottomFrame->setObjectName(QStringLiteral("m_pBottomFrame"));
    ui.m_pBottomFrame->setMaximumHeight(52);
    ui.m_pBottomFrame->setFrameShape(QFrame::StyledPanel);
    ui.m_pBottomFrame->setFrameShadow(QFrame::Raised);
    ui.m_pgridBaseDialog->addWidget(ui.m_pBottomFrame, 2, 0);
    auto *bottomGrid = new QGridLayout(ui.m_pBottomFrame);
    bottomGrid->setObjectName(QStringLiteral("gridLayout_2"));
    return bottomGrid;
}

CBaseDialog::~CBaseDialog()
{
    m_bDestroying = true;
    setProperty(kDestroyingProperty, true);
}

void CBaseDialog::AcceptOrSignal()
{
    if (m_bAutoAccept)
        accept();
    else
        emit ClickedOKBtnSig();
}

void CBaseDialog::CloseOrSignal()
{
    if (m_bAutoClose)
        close();
    else
        emit ClickedCloseBtnSig();
}

void CBaseDialog::SetOkBtnEnable(bool bEnabled)
{
    ConfirmButton()->setEnabled(bEnabled);
}

void CBaseDialog::SetCloseBtnVisible(bool bVisible)
{
    ui.m_pCloseBtn->setVisible(bVisible);
}

bool CBaseDialog::SetContentWidget(QWidget *pWidget)
{
    if (!pWidget)
        return false;
    if (!m_pContentLayout)
        m_pContentLayout = new QGridLayout(ui.m_pContentFrame);
    m_pContentLayout->setContentsMargins(0, 0, 0, 0);
    m_pContentLayout->addWidget(pWidget);
    return true;
}

void CBaseDialog::mousePressEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    // The window system moves the dialog where it can (on Wayland nothing
    // else can); elsewhere it follows the pointer.
    if (pos.y() <= kDragBand && e->button() == Qt::LeftButton && !Toolkit::StartSystemMove(this))
        m_bDragging = true;
    m_pointPress = pos;
    QDialog::mousePressEvent(e);
}

void CBaseDialog::mouseMoveEvent(QMouseEvent *e)
{
    if (m_bDragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_pointPress);
    QDialog::mouseMoveEvent(e);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent *e)
{
    m_bDragging = false;
    QDialog::mouseReleaseEvent(e);
}

void CBaseDialog::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
        // Escape never closes these dialogs.
        e->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select: ConfirmFromKey(e); return;
    default: QDialog::keyPressEvent(e);
    }
}

void CBaseDialog::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    // Rounded corners of radius 2.
    const QRect r = rect();
    QRegion region(r.adjusted(2, 0, -2, 0));
    region += QRegion(r.adjusted(0, 2, 0, -2));
    region += QRegion(QRect(r.left(), r.top(), 4, 4), QRegion::Ellipse);
    region += QRegion(QRect(r.right() - 3, r.top(), 4, 4), QRegion::Ellipse);
    region += QRegion(QRect(r.left(), r.bottom() - 3, 4, 4), QRegion::Ellipse);
    region += QRegion(QRect(r.right() - 3, r.bottom() - 3, 4, 4), QRegion::Ellipse);
    setMask(region);
}
