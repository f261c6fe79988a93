// The tab strip of a page frame, drawn on a graphics scene.
//
// The scene keeps the tabs in tab order (tab index = position in the list),
// shows as many as fit from the front, lists all of them in an overflow menu
// behind the arrow, keeps pinned tabs at the front, lets the user reorder
// tabs by dragging, drag a tab out (the frame then opens a window for it) and
// drop a tab from another strip. Each tab carries its page type as item data
// under CTabItem::kDataKey.
#pragma once

#include <functional>

#include <QGraphicsScene>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QVariant>

class QMenu;
class QMimeData;
class CTabItem;
class CArrowItem;
class CGraphicsItem;

class CTabScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit CTabScene(QObject *pParent = nullptr);
    ~CTabScene() override;

    // Inserts a tab before iIndex; an index outside 0..Count() appends.
    // Returns the index the tab got.
    int InsertTab(int iIndex, const QIcon &icon, const QString &strText, const QVariant &data);
    void RemoveTab(int iIndex);
    // Makes a tab current; a tab hidden by the overflow is first moved to
    // the first unpinned position.
    void SetCurrentIndex(int iIndex);
    // Pinned tabs stay in front and cannot be dragged.
    void SetTabPinned(int iIndex, bool bPinned);
    // Makes the tab iStep places after (or before) the current one current,
    // wrapping around at the ends (the keyboard's next and previous tab).
    void StepCurrent(int iStep);
    // The current tab leaves the strip as if dragged out and dropped outside
    // every strip; false for none or a pinned one.
    bool DetachCurrent();

    int Count() const { return m_listTabs.size(); }
    int VisibleCount() const { return m_iVisibleCount; }
    int PinnedCount() const { return m_iPinnedCount; }
    int CurrentIndex() const { return m_iCurrentIndex; }
    bool IsTabPinned(int iIndex) const;
    QVariant TabData(int iIndex) const;
    QString TabText(int iIndex) const;
    QIcon TabIcon(int iIndex) const;
    // Page type of the current tab, -1 without one.
    int CurrentPageType() const;

    // Page type of the tab being dragged out, kept after its tab is gone.
    QVariant DraggedData() const { return m_varDraggedData; }
    // Picture for the drag under way; the frame sets it when told the tab
    // left the strip. Used once.
    void SetDragPixmap(const QPixmap &pixmap) { m_pixDrag = pixmap; }

    // Decides from a dropped tab's data (its page type) whether it may join
    // this strip. Without one, every positive page type may.
    using DropFilter = std::function<bool(const QVariant &data)>;
    void SetDropFilter(DropFilter filter) { m_dropFilter = std::move(filter); }
    // Whether a drag carries a tab this strip takes.
    bool AcceptsDrop(const QMimeData *pMime) const;

    CTabItem *TabItem(int iIndex) const;
    CArrowItem *ArrowItem() const { return m_pArrow; }
    CGraphicsItem *DropZone() const { return m_pDropZone; }
    QMenu *OverflowMenu() const { return m_pMenu; }
    // Tab indices of the shown tabs in display order.
    QList<int> VisibleOrder() const { return m_listVisibleOrder; }

signals:
    void SignalCurrentChanged(int iIndex);
    void SignalBeginDrag(int iIndex);
    void SignalDragLeaveTabBar();
    void SignalDragOutTabBar();
    void SignalTabAboutToClose(int iIndex);
    void SignalTabMoved(int iFrom, int iTo);
    void SignalTabDragAdded(int iIndex);
    void SignalMenuHide();

protected slots:
    void OnItemSelected();
    void OnTabItemClosed();
    void OnDragDropItem(int iDragItemIndex, bool bPutFront);
    void OnDragEnterHideItem();
    void OnDropAtHideItem(int iDragItemIndex);
    void OnArrowClicked();
    void OnMenuItemClicked();
    void OnSceneRectChanged(const QRectF &rectScene);

private slots:
    void OnDragLeaveHideItem();

protected:
    bool event(QEvent *pEvent) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *pEvent) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *pEvent) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *pEvent) override;
    void wheelEvent(QGraphicsSceneWheelEvent *pEvent) override;
    void dragEnterEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dragLeaveEvent(QGraphicsSceneDragDropEvent *pEvent) override;
    void dropEvent(QGraphicsSceneDragDropEvent *pEvent) override;

    // Runs the drag of a tab leaving the strip and returns how it ended
    // (Qt::IgnoreAction: dropped outside every strip). Takes ownership of
    // pMime. Tests replace it, as a real drag needs a window system.
    virtual Qt::DropAction ExecTabDrag(QMimeData *pMime, const QPixmap &pixmap, QObject *pSource);

private:
    // Returns false when the strip is too narrow to lay out anything.
    bool Layout();
    void SetCurrent(int iIndex);
    void AddMenuEntry(CTabItem *pTab, int iIndex);
    void ClearMenu();
    // Brings a tab hidden by the overflow to the first unpinned position
    // and makes it current.
    void MoveHiddenToFront(int iIndex);
    void MoveTab(int iFrom, int iTo);
    bool HasTabLike(const CTabItem *pItem) const;
    void ClearLastVisibleDragOver();
    void InsertDroppedInItem();
    void DragWithinStrip(QGraphicsSceneMouseEvent *pEvent);
    void FinishReorder();
    bool TryDragOut(QGraphicsSceneMouseEvent *pEvent);
    // Takes the current tab out as the start of a drag; false when it may not leave.
    bool TakeCurrentOut(QMimeData **ppMime, QPixmap *pPixmap);
    void DeleteDroppedInItem();

    QRectF m_rectScene;
    QList<CTabItem *> m_listTabs;
    QList<int> m_listVisibleOrder;
    CTabItem *m_pDroppedInItem = nullptr;
    int m_iCurrentIndex = -1;
    int m_iVisibleCount = -1;
    int m_iPinnedCount = 0;
    bool m_bDragOutStarted = false;
    bool m_bPressedOnTab = false;
    bool m_bReordered = false;
    bool m_bDropped = false;
    CGraphicsItem *m_pDropZone = nullptr;
    CArrowItem *m_pArrow = nullptr;
    QMenu *m_pMenu = nullptr;
    QPixmap m_pixDrag;
    QVariant m_varDraggedData;
    DropFilter m_dropFilter;
    // The tab screen readers last heard of as current.
    QPointer<CTabItem> m_pAnnouncedCurrent;
};
