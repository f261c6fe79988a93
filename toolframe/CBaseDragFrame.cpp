#include "CBaseDragFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QIcon>
#include <QStackedWidget>

#include "CBaseFrame.h"
#include "CCustomEvent.h"
#include "CTabScene.h"
#include "CTabView.h"
#include "CViewStoregeManager.h"
#include "CWindowTitle.h"
#include "ClientWriterProperty.h"
#include "PageTable.h"

CBaseDragFrame::CBaseDragFrame(QWidget *parent, bool bTabBarHidden) : QFrame(parent), m_bTabBarHidden(bTabBarHidden)
{
    CViewStoregeManager *store = CViewStoregeManager::Instance();
    resize(1024, 768);
    setAttribute(Qt::WA_DeleteOnClose);
    m_iFrameId = store->NextFrameId();

    auto *grid = new QGridLayout(this);
    grid->setSpacing(0);
    grid->setContentsMargins(0, 0, 0, 0);

    if (m_iFrameId != 0) {
        setContentsMargins(0, 0, 0, 0);
        setStyleSheet(QStringLiteral("CBaseDragFrame{border:1px solid black;}"));
        ClientWriterProperty::Register(m_iFrameId, this, this);
        m_pTitle = new CWindowTitle(this, false, this);
        m_pTitle->SetMinimizeBtnVisible(false);
        // The window list and task bar name a detached window as its own
        // title bar does.
        setWindowTitle(m_pTitle->GetText());
    } else {
        setContentsMargins(0, 0, 0, 1);
        ClientWriterProperty::Register(0, this, parent);
        m_pTitle = new CWindowTitle(parent, true, this);
        connect(m_pTitle, &CWindowTitle::ShowPage, this, &CBaseDragFrame::OnShowPage);
        connect(m_pTitle, &CWindowTitle::ChangeExtend, this, &CBaseDragFrame::OnChangeExtend);
        connect(this, &CBaseDragFrame::SignalCloseWindow, m_pTitle, &CWindowTitle::OnCloseWindow);
    }
    connect(this, &CBaseDragFrame::SignalShowSize, m_pTitle, &CWindowTitle::OnShowSize);

    grid->addWidget(m_pTitle, 0, 0);

    auto *top = new QFrame(this);
    top->setObjectName(QStringLiteral("pTopFrame"));
    top->setFixedHeight(42);
    top->setStyleSheet(
        QStringLiteral("QGraphicsView,QFrame#pTopFrame{background-image:url(:/images/Tab/tab_bg.png); border:none;}"));
    auto *topLayout = new QGridLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    m_pTabScene = new CTabScene(this);
    // A tab dragged out of a strip leaves its page alive and unshown; tab
    // data naming anything else (a type without a page, a page shown
    // elsewhere, say from another program) would give a tab without a page.
    m_pTabScene->SetDropFilter([](const QVariant &data) {
        const CBaseFrame *page = CViewStoregeManager::Instance()->FindPage(data.toInt());
        return page && !page->IsShown();
    });
    m_pTabView = new CTabView(m_pTabScene, top);
    topLayout->addWidget(m_pTabView, 0, 0);
    grid->addWidget(top, 1, 0);

    m_pStackedWidget = new QStackedWidget(this);
    grid->addWidget(m_pStackedWidget, 2, 0);

    connect(m_pTabScene, &CTabScene::SignalTabAboutToClose, this, &CBaseDragFrame::OnTabClosed);
    connect(m_pTabScene, &CTabScene::SignalCurrentChanged, this, &CBaseDragFrame::OnTabChanged);
    connect(m_pTabScene, &CTabScene::SignalTabMoved, this, &CBaseDragFrame::OnTabMoved);
    connect(m_pTabScene, &CTabScene::SignalTabDragAdded, this, &CBaseDragFrame::OnDragEnterTabBar);
    connect(m_pTabScene, &CTabScene::SignalDragLeaveTabBar, this, &CBaseDragFrame::OnDragLeaveTabBar);
    connect(m_pTabScene, &CTabScene::SignalDragOutTabBar, this, &CBaseDragFrame::OnDragOutTabBar);

    if (m_bTabBarHidden)
        top->hide();
    CreateTabActions();
}

void CBaseDragFrame::CreateTabActions()
{
    struct Row {
        const char *text;
        QList<QKeySequence> keys;
    };
    const Row rows[] = {
        {QT_TR_NOOP("Next Tab"), {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}},
        {QT_TR_NOOP("Previous Tab"),
         // Matches Backtab too, which is what Shift+Tab arrives as.
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)}},
        {QT_TR_NOOP("Close Tab"), {QKeySequence(Qt::CTRL | Qt::Key_W)}},
        {QT_TR_NOOP("Detach Tab"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)}},
    };
    for (int i = 0; i < 4; ++i) {
        auto *action = new QAction(tr(rows[i].text), this);
        action->setShortcuts(rows[i].keys);
        // Each frame's window has its own: the main window and every
        // detached one act on their own strip.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        m_tabActions[i] = action;
    }
    connect(m_tabActions[NextTab], &QAction::triggered, this, [this] { m_pTabScene->StepCurrent(1); });
    connect(m_tabActions[PreviousTab], &QAction::triggered, this, [this] { m_pTabScene->StepCurrent(-1); });
    connect(m_tabActions[CloseTab], &QAction::triggered, this, [this] {
        if (m_pTabScene->CurrentIndex() >= 0)
            OnTabClosed(m_pTabScene->CurrentIndex());
    });
    connect(m_tabActions[DetachTab], &QAction::triggered, this, [this] {
        if (!m_bTabBarHidden)
            m_pTabScene->DetachCurrent();
    });
    connect(m_pTabScene, &CTabScene::SignalCurrentChanged, this, &CBaseDragFrame::UpdateTabActions);
    UpdateTabActions();
    if (m_pTitle)
        m_pTitle->AddTabActions(
            {m_tabActions[NextTab], m_tabActions[PreviousTab], m_tabActions[CloseTab], m_tabActions[DetachTab]});
}

void CBaseDragFrame::UpdateTabActions()
{
    const int current = m_pTabScene->CurrentIndex();
    const bool hasTab = current >= 0 && current < m_pTabScene->Count();
    m_tabActions[NextTab]->setEnabled(m_pTabScene->Count() > 1);
    m_tabActions[PreviousTab]->setEnabled(m_pTabScene->Count() > 1);
    m_tabActions[CloseTab]->setEnabled(hasTab);
    // A window of its own shows a single tab without a strip: nothing to detach it from.
    m_tabActions[DetachTab]->setEnabled(hasTab && !m_bTabBarHidden && !m_pTabScene->IsTabPinned(current));
}

CBaseDragFrame::~CBaseDragFrame()
{
    // Pages outlive frames: take the shown page out before the stack goes.
    while (m_pStackedWidget && m_pStackedWidget->count() > 0) {
        QWidget *w = m_pStackedWidget->widget(0);
        m_pStackedWidget->removeWidget(w);
        if (m_iFrameId != 0) {
            w->hide();
            w->setParent(nullptr);
        }
    }
    ClientWriterProperty::Unregister(m_iFrameId);
}

bool CBaseDragFrame::event(QEvent *e)
{
    if (e->type() == qTBX::CCustomEvent::OpenPage) {
        auto *ce = static_cast<qTBX::CCustomEvent *>(e);
        const int type = ce->Value(qTBX::CCustomEvent::PageType).toInt();
        const bool detached = ce->HasValue(qTBX::CCustomEvent::Detached)
                              && ce->Value(qTBX::CCustomEvent::Detached).toBool();
        AddOrActivate(type, detached);
        return true;
    }
    return QFrame::event(e);
}

int CBaseDragFrame::TabIndexOfType(int iPageType) const
{
    for (int i = 0; i < m_pTabScene->Count(); ++i) {
        const QVariant d = m_pTabScene->TabData(i);
        if (d.isValid() && d.toInt() == iPageType)
            return i;
    }
    return -1;
}

void CBaseDragFrame::AddOrActivate(int iPageType, bool bDetached)
{
    CBaseFrame *page = CViewStoregeManager::Instance()->GetPage(iPageType);
    if (!page)
        return;
    if (page->IsShown()) {
        const int index = TabIndexOfType(iPageType);
        if (index >= 0)
            m_pTabScene->SetCurrentIndex(index);
        return;
    }
    page->SetShown(true);
    page->ChangeSize(bDetached);
    const QVariant first = m_pTabScene->TabData(0);
    const int index = first.isValid() && first.toInt() == 1 ? 1 : 0;
    page->OnShow();
    AddTab(index, iPageType);
}

void CBaseDragFrame::UnpinFirstTabUnlessPanel()
{
    if (m_pTabScene->Count() < 1)
        return;
    const QVariant first = m_pTabScene->TabData(0);
    if (!(first.isValid() && first.toInt() == 1))
        m_pTabScene->SetTabPinned(0, false);
}

void CBaseDragFrame::AddTab(int iIndex, int iPageType)
{
    UnpinFirstTabUnlessPanel();
    const QIcon icon(QStringLiteral(":images/Tab/") + PageTable::TabIcon(iPageType));
    const QString text = QCoreApplication::translate("TBX", PageTable::TabText(iPageType).toLatin1().constData());
    const int index = m_pTabScene->InsertTab(iIndex, icon, text, iPageType);
    if (iPageType == 1)
        m_pTabScene->SetTabPinned(index, true);
    ClientWriterProperty::Insert(m_iFrameId, index, iPageType);
    ClientWriterProperty::SetCurrent(m_iFrameId, iPageType);
    m_pTabScene->SetCurrentIndex(index);
    UpdateTabActions();
}

void CBaseDragFrame::OnTabChanged(int iIndex)
{
    if (iIndex == -1)
        return;
    const QVariant data = m_pTabScene->TabData(iIndex);
    if (!data.isValid())
        return;
    const int type = data.toInt();
    CBaseFrame *page = CViewStoregeManager::Instance()->FindPage(type);
    if (!page)
        return;
    ClientWriterProperty::SetCurrent(m_iFrameId, type);
    page->SetShown(true);
    // The keyboard focus was in the page going away: it follows to the new one.
    const QWidget *focus = QApplication::focusWidget();
    const QWidget *old = m_pStackedWidget->currentWidget();
    const bool focusInPage = old && old != page && focus && (focus == old || old->isAncestorOf(focus));
    while (m_pStackedWidget->count() > 0)
        m_pStackedWidget->removeWidget(m_pStackedWidget->widget(0));
    m_pStackedWidget->addWidget(page);
    m_pStackedWidget->setCurrentWidget(page);
    page->show();
    if (focusInPage)
        FocusPage(page);
    update();
}

void CBaseDragFrame::FocusPage(QWidget *page)
{
    // A page may have placed the focus itself (the control panel does).
    if (const QWidget *focus = QApplication::focusWidget(); focus && page->isAncestorOf(focus))
        return;
    // Its first control the Tab key reaches, or else the strip above it.
    for (QWidget *w = page->nextInFocusChain(); w && w != page && page->isAncestorOf(w); w = w->nextInFocusChain())
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    if (m_pTabView->isVisible())
        m_pTabView->setFocus(Qt::OtherFocusReason);
}

void CBaseDragFrame::AfterTabLeft()
{
    if (m_iFrameId == 0 && m_pTabScene->Count() == 1)
        m_pTabScene->SetTabPinned(0, true);
    // A hidden strip is never laid out, so its visible count stays unknown.
    UpdateTabActions();
    if (m_pTabScene->Count() == 0 || m_pTabScene->VisibleCount() == 0)
        close();
}

void CBaseDragFrame::OnTabClosed(int iType)
{
    const int index = iType; // a tab index
    if (m_iFrameId == 0 && m_pTabScene->VisibleCount() == 1) {
        emit SignalCloseWindow();
        return;
    }
    const QVariant data = m_pTabScene->TabData(index);
    if (!data.isValid())
        return;
    const int type = data.toInt();
    CBaseFrame *page = CViewStoregeManager::Instance()->GetPage(type);
    if (!page || !page->CanClose())
        return;
    page->SetShown(false);
    if (m_iFrameId != 0) {
        m_pStackedWidget->removeWidget(page);
        page->hide();
        page->setParent(nullptr);
    }
    ClientWriterProperty::Remove(m_iFrameId, type);
    m_pTabScene->RemoveTab(index);
    AfterTabLeft();
}

void CBaseDragFrame::OnTabMoved(int iFrom, int iTo)
{
    ClientWriterProperty::Move(m_iFrameId, iFrom, iTo);
}

void CBaseDragFrame::OnDragEnterTabBar(int iIndex)
{
    const QVariant data = m_pTabScene->TabData(iIndex);
    if (!data.isValid())
        return;
    ClientWriterProperty::Insert(m_iFrameId, iIndex, data.toInt());
    UnpinFirstTabUnlessPanel();
}

void CBaseDragFrame::OnDragLeaveTabBar()
{
    const QVariant data = m_pTabScene->DraggedData();
    if (!data.isValid())
        return;
    const int type = data.toInt();
    CBaseFrame *page = CViewStoregeManager::Instance()->GetPage(type);
    if (!page)
        return;
    page->SetShown(false);
    const QPixmap shot = page->grab().scaled(600, 400, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_pTabScene->SetDragPixmap(shot);
    if (m_iFrameId != 0) {
        m_pStackedWidget->removeWidget(page);
        page->hide();
        page->setParent(nullptr);
    }
    ClientWriterProperty::Remove(m_iFrameId, type);
    AfterTabLeft();
}

void CBaseDragFrame::OnDragOutTabBar()
{
    const QVariant data = m_pTabScene->DraggedData();
    if (!data.isValid())
        return;
    auto *frame = new CBaseDragFrame(this, true);
    frame->setParent(CViewStoregeManager::Instance()->ParentWidget(), Qt::Dialog | Qt::FramelessWindowHint);
    qTBX::CCustomEvent ev(qTBX::CCustomEvent::OpenPage);
    ev.SetValue(qTBX::CCustomEvent::PageType, data.toInt());
    ev.SetValue(qTBX::CCustomEvent::Detached, true);
    QCoreApplication::sendEvent(frame, &ev);
    // Placed by its size command (centred on the main window's screen), not
    // at the cursor: a global cursor position is no place on Wayland.
    emit frame->SignalShowSize(257);
    frame->show();
}

void CBaseDragFrame::OnShowPage(int iPageID)
{
    CViewStoregeManager::Instance()->ShowPage(iPageID);
}

void CBaseDragFrame::OnChangeExtend(bool bExtend)
{
    if (CBaseFrame *page = CViewStoregeManager::Instance()->FindPage(11))
        page->ChangeExtend(bExtend);
}

void CBaseDragFrame::closeEvent(QCloseEvent *e)
{
    if (m_bTabBarHidden) {
        OnTabClosed(0);
        e->accept();
        return;
    }
    const int visible = m_pTabScene->VisibleCount();
    for (int i = 0; i < visible; ++i)
        OnTabClosed(0);
    if (m_pTabScene->VisibleCount() > 0)
        e->ignore();
    else
        e->accept();
}
