// The part of CBaseDialog both editions share: content, dragging, keys and
// the rounded window shape. The editions' own parts are in
// CBaseDialogShell.cpp and CBaseDialogPlugin.cpp; CMake compiles one of them
// into each edition of the toolkit.
#include "CBaseDialog.h"

#include "Buttons.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegion>

CBaseDialog::~CBaseDialog()
{
    m_bDestroying = true;
    setProperty(kDestroyingProperty, true);
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
    if (pos.y() <= kDragBand)
        m_bDragging = true;
    m_pointPress = pos;
    QDialog::mousePressEvent(e);
}

void CBaseDialog::mouseMoveEvent(QMouseEvent *e)
{
    if (m_bDragging)
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
    case Qt::Key_Select:
        ConfirmFromKey(e);
        return;
    default:
        QDialog::keyPressEvent(e);
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
