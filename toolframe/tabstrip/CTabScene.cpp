#include "CTabScene.h"

#include "CArrowItem.h"
#include "CTabAccessible.h"
#include "CGraphicsItem.h"
#include "CTabItem.h"
#include "TabDragData.h"

#include <QAction>
#include <QDrag>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>
#include <QGraphicsView>
#include <QMenu>
#include <QMimeData>

namespace {
constexpr qreal kTabLeft = 5;
constexpr qreal kTabTop = 2;
// Room kept free on the right for the arrow.
constexpr qreal kRightReserve = 32;
constexpr qreal kArrowFromRight = 22;
constexpr qreal kDraggedZ = 65535;
const QPointF kMenuOffset(2, 41);
} // namespace

CTabScene::CTabScene(QObject *pParent) : QGraphicsScene(pParent)
{
    const QPixmap background(QStringLiteral(":/images/Tab/tab_bg.png"));
    if (!background.isNull())
        setBackgroundBrush(QBrush(background));

    m_pDropZone = new CGraphicsItem;
    m_pDropZone->setZValue(-1);
    addItem(m_pDropZone);
    connect(m_pDropZone, &CGraphicsItem::SignalDragEnter, this, &CTabScene::OnDragEnterHideItem);
    connect(m_pDropZone, &CGraphicsItem::SignalDrop, this, &CTabScene::OnDropAtHideItem);
    connect(m_pDropZone, &CGraphicsItem::SignalDragLeave, this, &CTabScene::OnDragLeaveHideItem);

    m_pArrow = new CArrowItem;
    m_pArrow->setZValue(1);
    m_pArrow->hide();
    addItem(m_pArrow);
    connect(m_pArrow, &CArrowItem::SignalArrowClicked, this, &CTabScene::OnArrowClicked);
    connect(this, &CTabScene::SignalMenuHide, m_pArrow, &CArrowItem::OnMenuHide);

    connect(this, &QGraphicsScene::sceneRectChanged, this, &CTabScene::OnSceneRectChanged);
    setSceneRect(0, 0, 1, 1);
}

CTabScene::~CTabScene()
{
    delete m_pDroppedInItem;
    delete m_pMenu;
}

// ---------------------------------------------------------------- queries

CTabItem *CTabScene::TabItem(int iIndex) const
{
    return (iIndex >= 0 && iIndex < m_listTabs.size()) ? m_listTabs.at(iIndex) : nullptr;
}

bool CTabScene::IsTabPinned(int iIndex) const
{
    const CTabItem *pTab = TabItem(iIndex);
    return pTab && pTab->IsPinned();
}

QVariant CTabScene::TabData(int iIndex) const
{
    const CTabItem *pTab = TabItem(iIndex);
    return pTab ? pTab->data(CTabItem::kDataKey) : QVariant();
}

QString CTabScene::TabText(int iIndex) const
{
    const CTabItem *pTab = TabItem(iIndex);
    return pTab ? pTab->Text() : QString();
}

QIcon CTabScene::TabIcon(int iIndex) const
{
    const CTabItem *pTab = TabItem(iIndex);
    return pTab ? pTab->Icon() : QIcon();
}

int CTabScene::CurrentPageType() const
{
    const QVariant data = TabData(m_iCurrentIndex);
    bool bOk = false;
    const int iType = data.toInt(&bOk);
    return bOk ? iType : -1;
}

// ---------------------------------------------------------------- operations

int CTabScene::InsertTab(int iIndex, const QIcon &icon, const QString &strText, const QVariant &data)
{
    auto *pTab = new CTabItem(icon, strText);
    addItem(pTab);
    connect(pTab, &CTabItem::SignalItemSelected, this, &CTabScene::OnItemSelected);
    connect(pTab, &CTabItem::SignalCloseTabItem, this, &CTabScene::OnTabItemClosed);
    connect(pTab, &CTabItem::SignalDragDropItem, this, &CTabScene::OnDragDropItem);
    pTab->setData(CTabItem::kDataKey, data);

    if (iIndex < 0 || iIndex > m_listTabs.size())
        iIndex = m_listTabs.size();
    m_listTabs.insert(iIndex, pTab);
    Layout();
    TabStripAccessibility::TabCreated(pTab);
    return iIndex;
}

void CTabScene::RemoveTab(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_listTabs.size())
        return;
    TabStripAccessibility::TabRemoved(m_listTabs.at(iIndex));
    CTabItem *pTab = m_listTabs.takeAt(iIndex);
    if (iIndex < m_iPinnedCount)
        --m_iPinnedCount;
    // The tab may be the one whose click asked for its removal, still inside
    // its event handler: take it off the scene now, free it later.
    removeItem(pTab);
    pTab->deleteLater();

    int iNewCurrent = m_iCurrentIndex >= iIndex ? m_iCurrentIndex - 1 : m_iCurrentIndex;
    if (iNewCurrent < 0)
        iNewCurrent = 0;
    if (m_listTabs.isEmpty())
        iNewCurrent = -1;
    // Lay out with the new current tab already chosen, so the frame hears of
    // the left neighbour only, not of whichever tab slid into the old index.
    m_iCurrentIndex = iNewCurrent;
    if (!Layout())
        SetCurrent(iNewCurrent);
}

void CTabScene::SetCurrentIndex(int iIndex)
{
    if (iIndex == m_iCurrentIndex || iIndex < 0 || iIndex >= m_listTabs.size())
        return;
    if (m_iVisibleCount > 0 && iIndex >= m_iVisibleCount) {
        MoveHiddenToFront(iIndex);
        return;
    }
    SetCurrent(iIndex);
}

void CTabScene::SetTabPinned(int iIndex, bool bPinned)
{
    CTabItem *pTab = TabItem(iIndex);
    if (!pTab || pTab->IsPinned() == bPinned)
        return;
    pTab->SetPinned(bPinned);
    if (!bPinned) {
        --m_iPinnedCount;
        return;
    }
    ++m_iPinnedCount;
    const int iTarget = m_iPinnedCount - 1;
    if (iIndex == iTarget)
        return;
    MoveTab(iIndex, iTarget);
    emit SignalTabMoved(iIndex, iTarget);
    Layout();
}

// Moves a tab within the list; the current index follows the tab it named.
void CTabScene::MoveTab(int iFrom, int iTo)
{
    m_listTabs.move(iFrom, iTo);
    if (m_iCurrentIndex == iFrom)
        m_iCurrentIndex = iTo;
    else if (iFrom < iTo && m_iCurrentIndex > iFrom && m_iCurrentIndex <= iTo)
        --m_iCurrentIndex;
    else if (iFrom > iTo && m_iCurrentIndex >= iTo && m_iCurrentIndex < iFrom)
        ++m_iCurrentIndex;
}

void CTabScene::MoveHiddenToFront(int iIndex)
{
    const int iTarget = m_iPinnedCount;
    m_listTabs.move(iIndex, iTarget);
    m_iCurrentIndex = iTarget;
    emit SignalTabMoved(iIndex, iTarget);
    Layout();
}

// ---------------------------------------------------------------- layout

bool CTabScene::Layout()
{
    qreal fRoom = m_rectScene.width() - kRightReserve;
    if (fRoom < 0)
        return false;

    ClearMenu();
    m_listVisibleOrder.clear();
    qreal fX = kTabLeft;
    bool bOverflow = false;
    int iShown = 0;
    for (int i = 0; i < m_listTabs.size(); ++i) {
        CTabItem *pTab = m_listTabs.at(i);
        if (!bOverflow) {
            fRoom -= pTab->Width();
            bOverflow = fRoom < 0;
        }
        if (bOverflow) {
            pTab->hide();
        } else {
            pTab->setZValue(0);
            pTab->setPos(fX, kTabTop);
            pTab->show();
            m_listVisibleOrder.append(i);
            fX += pTab->Width();
            ++iShown;
        }
        AddMenuEntry(pTab, i);
    }
    m_iVisibleCount = iShown;

    if (bOverflow) {
        m_pArrow->setPos(m_rectScene.width() - kArrowFromRight, kTabTop);
        m_pArrow->show();
    } else {
        m_pArrow->hide();
    }
    SetCurrent(m_iCurrentIndex);
    return true;
}

void CTabScene::ClearMenu()
{
    if (!m_pMenu) {
        m_pMenu = new QMenu;
        connect(m_pMenu, &QMenu::aboutToHide, this, &CTabScene::SignalMenuHide);
    }
    // An entry's own trigger lays out again: its action must outlive that.
    const QList<QAction *> actions = m_pMenu->actions();
    for (QAction *pAction : actions) {
        m_pMenu->removeAction(pAction);
        pAction->deleteLater();
    }
}

void CTabScene::AddMenuEntry(CTabItem *pTab, int iIndex)
{
    QAction *pAction = m_pMenu->addAction(pTab->Icon(), pTab->Text());
    pAction->setData(iIndex);
    connect(pAction, &QAction::triggered, this, &CTabScene::OnMenuItemClicked);
}

void CTabScene::SetCurrent(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_listTabs.size())
        return;
    if (m_iVisibleCount > 0 && iIndex >= m_iVisibleCount)
        iIndex = m_iVisibleCount - 1;
    m_iCurrentIndex = iIndex;
    for (int i = 0; i < m_listTabs.size(); ++i)
        m_listTabs.at(i)->SetSelected(i == iIndex);
    if (m_pAnnouncedCurrent != m_listTabs.at(iIndex)) {
        m_pAnnouncedCurrent = m_listTabs.at(iIndex);
        TabStripAccessibility::TabCurrent(this, m_listTabs.at(iIndex));
    }
    emit SignalCurrentChanged(m_iCurrentIndex);
}

void CTabScene::OnSceneRectChanged(const QRectF &rectScene)
{
    m_rectScene = rectScene;
    m_pDropZone->SetWidth(rectScene.width());
    Layout();
}

// ---------------------------------------------------------------- tab signals

void CTabScene::OnItemSelected()
{
    const int iIndex = m_listTabs.indexOf(qobject_cast<CTabItem *>(sender()));
    if (iIndex >= 0 && iIndex != m_iCurrentIndex)
        SetCurrentIndex(iIndex);
}

void CTabScene::OnTabItemClosed()
{
    const int iIndex = m_listTabs.indexOf(qobject_cast<CTabItem *>(sender()));
    if (iIndex < 0)
        return;
    // A press on a close button starts no reordering, whatever the frame
    // decides about the tab.
    m_bPressedOnTab = false;
    emit SignalTabAboutToClose(iIndex);
}

// ---------------------------------------------------------------- overflow menu

void CTabScene::OnArrowClicked()
{
    const QList<QGraphicsView *> listViews = views();
    if (listViews.size() != 1 || !m_pMenu)
        return;
    QGraphicsView *pView = listViews.first();
    const QPointF scenePos = m_pArrow->scenePos() + kMenuOffset;
    const QPoint globalPos = pView->viewport()->mapToGlobal(pView->mapFromScene(scenePos));
    m_pMenu->popup(globalPos);
}

void CTabScene::OnMenuItemClicked()
{
    m_pArrow->SetMenuShown(false);
    auto *pAction = qobject_cast<QAction *>(sender());
    if (!pAction)
        return;
    bool bOk = false;
    const int iIndex = pAction->data().toInt(&bOk);
    if (!bOk || iIndex < 0 || iIndex >= m_listTabs.size())
        return;
    if (m_iVisibleCount > 0 && iIndex >= m_iVisibleCount)
        MoveHiddenToFront(iIndex);
    else
        SetCurrent(iIndex);
}

// ---------------------------------------------------------------- mouse

void CTabScene::mousePressEvent(QGraphicsSceneMouseEvent *pEvent)
{
    QGraphicsItem *pItem = itemAt(pEvent->scenePos(), QTransform());
    if (pItem != m_pDropZone && pItem != m_pArrow) {
        m_bPressedOnTab = pEvent->buttons() & Qt::LeftButton;
        m_bDropped = false;
        m_bDragOutStarted = false;
    }
    QGraphicsScene::mousePressEvent(pEvent);
}

void CTabScene::mouseMoveEvent(QGraphicsSceneMouseEvent *pEvent)
{
    if ((pEvent->buttons() & Qt::LeftButton) && m_bPressedOnTab && !m_bDragOutStarted && !m_bDropped
        && !m_listTabs.isEmpty() && m_iCurrentIndex >= 0 && m_iCurrentIndex < m_listTabs.size()
        && m_iCurrentIndex >= m_iPinnedCount) {
        DragWithinStrip(pEvent);
    }
    QGraphicsScene::mouseMoveEvent(pEvent);
}

void CTabScene::DragWithinStrip(QGraphicsSceneMouseEvent *pEvent)
{
    const int iDx = static_cast<int>(pEvent->scenePos().x() - pEvent->lastScenePos().x());
    m_bReordered = true;

    CTabItem *pCurrent = m_listTabs.at(m_iCurrentIndex);
    pCurrent->setZValue(kDraggedZ);
    const QPointF newPos = pCurrent->pos() + QPointF(iDx, 0);
    const QRectF rectScene = sceneRect();
    const QRectF rectAllowed = rectScene.adjusted(0, 0, -kArrowFromRight, 0);
    if (rectScene.contains(newPos) && rectAllowed.contains(newPos + QPointF(pCurrent->Width(), 0)))
        pCurrent->setPos(newPos);

    const int iPos = m_listVisibleOrder.indexOf(m_iCurrentIndex);
    if (iPos < 0)
        return;
    const int iNeighbourPos = iDx < 0 ? iPos - 1 : iPos + 1;
    if (iNeighbourPos < m_iPinnedCount || iNeighbourPos >= m_iVisibleCount
        || iNeighbourPos >= m_listVisibleOrder.size())
        return;
    CTabItem *pNeighbour = m_listTabs.at(m_listVisibleOrder.at(iNeighbourPos));
    if (qAbs(pNeighbour->x() - pCurrent->x()) < pNeighbour->Width() / 2) {
        const qreal fShift = iDx < 0 ? pCurrent->Width() : -pCurrent->Width();
        pNeighbour->setX(pNeighbour->x() + fShift);
        m_listVisibleOrder.swapItemsAt(iPos, iNeighbourPos);
    }
}

void CTabScene::FinishReorder()
{
    const int iCurrentPos = m_listVisibleOrder.indexOf(m_iCurrentIndex);
    // Bring the tab list into display order, reporting each move so the
    // frame can follow it in its own list.
    QList<int> listNow;
    for (int i = 0; i < m_listTabs.size(); ++i)
        listNow.append(i);
    for (int i = 0; i < m_listVisibleOrder.size(); ++i) {
        const int iFrom = listNow.indexOf(m_listVisibleOrder.at(i));
        if (iFrom > i) {
            m_listTabs.move(iFrom, i);
            listNow.move(iFrom, i);
            emit SignalTabMoved(iFrom, i);
        }
    }
    if (iCurrentPos >= 0)
        m_iCurrentIndex = iCurrentPos;
    m_bReordered = false;
    Layout();
}

void CTabScene::mouseReleaseEvent(QGraphicsSceneMouseEvent *pEvent)
{
    if (m_bReordered)
        FinishReorder();
    m_bPressedOnTab = false;
    QGraphicsScene::mouseReleaseEvent(pEvent);
}

void CTabScene::wheelEvent(QGraphicsSceneWheelEvent *pEvent)
{
    pEvent->accept();
    int iIndex = pEvent->delta() > 0 ? m_iCurrentIndex - 1 : m_iCurrentIndex + 1;
    const int iLast = m_iVisibleCount > 0 ? m_iVisibleCount - 1 : m_listTabs.size() - 1;
    if (iIndex > iLast)
        iIndex = iLast;
    if (iIndex < 0)
        return;
    SetCurrentIndex(iIndex);
}

// ---------------------------------------------------------------- dragging out

bool CTabScene::event(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::GraphicsSceneMouseMove && TryDragOut(static_cast<QGraphicsSceneMouseEvent *>(pEvent)))
        return true;
    return QGraphicsScene::event(pEvent);
}

bool CTabScene::TakeCurrentOut(QMimeData **ppMime, QPixmap *pPixmap)
{
    CTabItem *pCurrent = TabItem(m_iCurrentIndex);
    if (!pCurrent || pCurrent->IsPinned() || m_iCurrentIndex < m_iPinnedCount)
        return false;
    m_bReordered = false;
    const int iIndex = m_iCurrentIndex;
    m_varDraggedData = pCurrent->data(CTabItem::kDataKey);
    if (ppMime)
        *ppMime = TabDrag::BuildMimeData(iIndex, m_varDraggedData.toInt(), pCurrent->Text(), pCurrent->Icon());

    RemoveTab(iIndex);
    m_pixDrag = QPixmap();
    emit SignalDragLeaveTabBar();

    QPixmap pixmap = m_pixDrag;
    m_pixDrag = QPixmap();
    if (pixmap.isNull() && pPixmap) {
        const QPixmap fallback(QStringLiteral(":/images/Tab/TabSelect.png"));
        if (!fallback.isNull())
            pixmap = fallback.scaled(200, 150, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (pPixmap)
        *pPixmap = pixmap;
    return true;
}

bool CTabScene::DetachCurrent()
{
    if (!TakeCurrentOut(nullptr, nullptr))
        return false;
    emit SignalDragOutTabBar();
    return true;
}

void CTabScene::StepCurrent(int iStep)
{
    const int iCount = m_listTabs.size();
    if (iCount < 2 || m_iCurrentIndex < 0)
        return;
    SetCurrentIndex(((m_iCurrentIndex + iStep) % iCount + iCount) % iCount);
}

bool CTabScene::TryDragOut(QGraphicsSceneMouseEvent *pEvent)
{
    CTabItem *pCurrent = TabItem(m_iCurrentIndex);
    if (!pCurrent || pCurrent->IsPinned() || m_iCurrentIndex < m_iPinnedCount)
        return false;
    if (sceneRect().contains(pEvent->scenePos()))
        return false;
    ClearLastVisibleDragOver();
    if (!m_bPressedOnTab || m_bDragOutStarted)
        return false;

    m_bDragOutStarted = true;
    QMimeData *pMime = nullptr;
    QPixmap pixmap;
    TakeCurrentOut(&pMime, &pixmap);
    QObject *pSource = pEvent->widget() ? static_cast<QObject *>(pEvent->widget()) : this;
    const Qt::DropAction action = ExecTabDrag(pMime, pixmap, pSource);
    if (action == Qt::IgnoreAction) {
        m_bPressedOnTab = false;
        emit SignalDragOutTabBar();
    }
    return true;
}

Qt::DropAction CTabScene::ExecTabDrag(QMimeData *pMime, const QPixmap &pixmap, QObject *pSource)
{
    auto *pDrag = new QDrag(pSource);
    pDrag->setMimeData(pMime);
    if (!pixmap.isNull())
        pDrag->setPixmap(pixmap);
    return pDrag->exec(Qt::MoveAction);
}

// ---------------------------------------------------------------- dropping in

void CTabScene::DeleteDroppedInItem()
{
    delete m_pDroppedInItem;
    m_pDroppedInItem = nullptr;
}

void CTabScene::dragEnterEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    QGraphicsScene::dragEnterEvent(pEvent);
    if (!pEvent->mimeData() || !pEvent->mimeData()->hasFormat(QString::fromLatin1(TabDrag::kDataFormat))) {
        pEvent->ignore();
        return;
    }
    for (int i : std::as_const(m_listVisibleOrder))
        if (CTabItem *pTab = TabItem(i))
            pTab->update();
    m_pDropZone->update();

    DeleteDroppedInItem();
    // Short or garbled data names no page, and the frame refuses pages it
    // cannot show: a tab made from either would lead nowhere.
    if (!AcceptsDrop(pEvent->mimeData())) {
        pEvent->ignore();
        return;
    }
    const TabDrag::Payload payload = TabDrag::ReadMimeData(pEvent->mimeData());
    m_pDroppedInItem = new CTabItem(payload.icon, payload.strText);
    m_pDroppedInItem->setData(CTabItem::kDataKey, payload.iPageType);
    pEvent->setDropAction(Qt::MoveAction);
    pEvent->accept();
}

void CTabScene::dragLeaveEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    ClearLastVisibleDragOver();
    QGraphicsScene::dragLeaveEvent(pEvent);
}

void CTabScene::dropEvent(QGraphicsSceneDragDropEvent *pEvent)
{
    // Refuse what would add nothing, so the source does not lose its tab
    // believing it moved here.
    if (!m_pDroppedInItem || !AcceptsDrop(pEvent->mimeData()) || HasTabLike(m_pDroppedInItem)) {
        for (CTabItem *pTab : std::as_const(m_listTabs))
            pTab->SetDragOver(false);
        pEvent->ignore();
        return;
    }
    pEvent->ignore();
    QGraphicsScene::dropEvent(pEvent);
}

bool CTabScene::AcceptsDrop(const QMimeData *pMime) const
{
    if (!TabDrag::IsAcceptable(pMime))
        return false;
    return !m_dropFilter || m_dropFilter(TabDrag::ReadMimeData(pMime).iPageType);
}

bool CTabScene::HasTabLike(const CTabItem *pItem) const
{
    for (const CTabItem *pTab : m_listTabs) {
        if (pTab->Text() == pItem->Text() && pTab->Icon().name() == pItem->Icon().name())
            return true;
    }
    return false;
}

void CTabScene::ClearLastVisibleDragOver()
{
    if (m_iVisibleCount > 0)
        if (CTabItem *pTab = TabItem(m_iVisibleCount - 1))
            pTab->SetDragOver(false);
}

void CTabScene::OnDragEnterHideItem()
{
    if (m_iVisibleCount <= 0)
        return;
    if (CTabItem *pLast = TabItem(m_iVisibleCount - 1)) {
        pLast->SetPutFront(false);
        pLast->SetDragOver(true);
    }
}

void CTabScene::OnDragLeaveHideItem()
{
    ClearLastVisibleDragOver();
}

void CTabScene::OnDragDropItem(int, bool bPutFront)
{
    const int iTarget = m_listTabs.indexOf(qobject_cast<CTabItem *>(sender()));
    if (iTarget < 0 || !m_pDroppedInItem || HasTabLike(m_pDroppedInItem))
        return;
    const int iPos = bPutFront ? iTarget : iTarget + 1;
    m_iCurrentIndex = qMax(iPos, m_iPinnedCount);
    InsertDroppedInItem();
}

void CTabScene::OnDropAtHideItem(int)
{
    if (!m_pDroppedInItem || HasTabLike(m_pDroppedInItem))
        return;
    ClearLastVisibleDragOver();
    int iPos = qMax(m_iVisibleCount, 0);
    if (m_iVisibleCount >= 0 && m_iVisibleCount < m_listTabs.size())
        --iPos;
    m_iCurrentIndex = qMax(iPos, m_iPinnedCount);
    InsertDroppedInItem();
}

void CTabScene::InsertDroppedInItem()
{
    m_bDropped = true;
    m_bPressedOnTab = false;
    const int iIndex = InsertTab(m_iCurrentIndex, m_pDroppedInItem->Icon(), m_pDroppedInItem->Text(),
                                 m_pDroppedInItem->data(CTabItem::kDataKey));
    emit SignalTabDragAdded(iIndex);
    Layout();
    DeleteDroppedInItem();
}
