#include "CControlPanelFrame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGraphicsView>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSpacerItem>
#include <QStyleOptionViewItem>

#include "CViewStoregeManager.h"
#include "ConfigXml.h"
#include "PageTable.h"
#include "vela.h"

namespace {

struct LibraryRow {
    int type;
    const char *library;
};
const LibraryRow kLibraries[] = {
    {2, "Zeltscan.dll"},      {3, "CamCountPlanner.dll"}, {4, "StoragePlanner.dll"}, {5, "LinkPlanner.dll"},
    {6, "SharpnessAid.dll"},  {7, "OpticsPicker.dll"},    {8, "BulkSettings.dll"},   {9, "TaskPlanner.dll"},
    {10, "ArchiveFetch.dll"}, {11, "ClipViewer.dll"},     {12, "BulkFirmware.dll"},  {14, "AddressService.dll"},
};

const QColor kNormal(204, 204, 204);
const QColor kHover(171, 171, 171);

} // namespace

void CListWidgetStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                     const QWidget *widget) const
{
    if (element == PE_PanelItemViewItem) {
        const auto *vopt = qstyleoption_cast<const QStyleOptionViewItem *>(option);
        const bool hovered = option->state & State_MouseOver;
        const bool selected = option->state & State_Selected;
        if (vopt && (hovered || selected))
            painter->fillRect(option->rect, vopt->backgroundBrush);
        return;
    }
    COrviStyle::drawPrimitive(element, option, painter, widget);
}

CListWidget::CListWidget(QWidget *parent) : QListWidget(parent), m_pStyle(new CListWidgetStyle)
{
    setStyle(m_pStyle);
}

CListWidget::~CListWidget()
{
    setStyle(nullptr);
    delete m_pStyle;
}

void CListWidget::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (QListWidgetItem *item = currentItem())
            emit ItemActivatedByKey(item);
        e->accept();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (e->modifiers() & ~Qt::KeypadModifier)
            break;
        const QModelIndex before = currentIndex();
        QListWidget::keyPressEvent(e);
        if (currentIndex() == before)
            emit EdgeReached(e->key() == Qt::Key_Left || e->key() == Qt::Key_Up ? -1 : 1);
        e->accept();
        return;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: QListWidget::keyPressEvent(e); return;
    default: break;
    }
    // Keyboard search and the like would move the selection without the
    // panel noticing; everything else goes on to the window (shortcuts, F1).
    e->ignore();
}
void CListWidget::keyReleaseEvent(QKeyEvent *e)
{
    e->ignore();
}

void CListWidget::focusInEvent(QFocusEvent *e)
{
    QListWidget::focusInEvent(e);
    if (!currentItem() && count() > 0 && e->reason() != Qt::MouseFocusReason)
        setCurrentRow(0, QItemSelectionModel::NoUpdate);
    // A click lights up the item under the pointer by itself.
    if (e->reason() != Qt::MouseFocusReason)
        emit FocusEntered(currentItem());
}

void CListWidget::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        QListWidget::mouseReleaseEvent(e);
}

bool CListWidget::viewportEvent(QEvent *e)
{
    if (e->type() == QEvent::Leave) {
        viewport()->update();
        emit LeaveWidget();
    }
    return QListWidget::viewportEvent(e);
}

CControlPanelFrame::CControlPanelFrame(QWidget *parent) : CBaseFrame(parent)
{
    setObjectName(QStringLiteral("pControlPanelClass"));
    setWindowTitle(tr("ControlPanelFrame"));
    resize(1032, 825);
    setStyleSheet(QStringLiteral("QWidget#pControlPanelClass,QWidget#pControlPanelContent,QListWidget"
                                 "{background-color: rgb(204, 204, 204);}"));

    // On a screen scaled so far that the window is smaller than the panel
    // (1280 x 720 logical pixels and less), the panel scrolls instead of
    // being cut off.
    auto *outer = new QGridLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_pScroll = new QScrollArea(this);
    m_pScroll->setObjectName(QStringLiteral("pControlPanelScroll"));
    m_pScroll->setFrameShape(QFrame::NoFrame);
    m_pScroll->setWidgetResizable(true);
    m_pScroll->setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("pControlPanelContent"));
    m_pScroll->setWidget(content);
    outer->addWidget(m_pScroll);

    auto *gridLayout_2 = new QGridLayout(content);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    // The room above and below the tools (see resizeEvent).
    m_pTopGap = new QSpacerItem(368, kTopGap, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_pTipGap = new QSpacerItem(368, kTipGap, QSizePolicy::Minimum, QSizePolicy::Fixed);
    gridLayout_2->addItem(m_pTopGap, 0, 0);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::Box);
    frame->setMinimumHeight(510);
    frame->setStyleSheet(QStringLiteral("background: rgb(217,217, 217);"));
    gridLayout_2->addWidget(frame, 1, 0);
    gridLayout_2->addItem(m_pTipGap, 2, 0);

    m_pTipLabel = new QLabel(this);
    m_pTipLabel->setObjectName(QStringLiteral("pTipLabel"));
    m_pTipLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_pTipLabel->setMinimumHeight(70);
    m_pTipLabel->setMaximumHeight(70);
    m_pTipLabel->setStyleSheet(QStringLiteral(
        "border-width : 4px; \nborder-radius : 4px;\nbackground-color: rgb(216, 215, 214);\npadding : 4px;"));
    m_pTipLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    gridLayout_2->addWidget(m_pTipLabel, 3, 0);

    auto *gridLayout = new QGridLayout(frame);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    QFont titleFont(QStringLiteral("黑体"), 12);
    titleFont.setBold(true);
    auto makeTitle = [&](const char *name, const QString &text) {
        auto *l = new QLabel(text, frame);
        l->setObjectName(QLatin1String(name));
        l->setFont(titleFont);
        l->setMinimumHeight(24);
        return l;
    };
    auto makeLine = [&](const char *name) {
        auto *l = new QFrame(frame);
        l->setObjectName(QLatin1String(name));
        l->setFrameShape(QFrame::HLine);
        l->setFrameShadow(QFrame::Sunken);
        return l;
    };
    m_pOperationLWidget = MakeList("pOperationLWidget", 135);
    m_pManagementLWidget = MakeList("pManagementLWidget", 135);
    m_pTaskLWidge = MakeList("pTaskLWidge", 130);
    // The lists are named as the titles above them read.
    m_pOperationLWidget->setAccessibleName(tr("Tool List"));
    m_pManagementLWidget->setAccessibleName(tr("Tool List"));
    m_pTaskLWidge->setAccessibleName(tr("Task Mode"));

    int row = 0;
    gridLayout->addItem(new QSpacerItem(20, 30, QSizePolicy::Minimum, QSizePolicy::Expanding), row++, 1);
    gridLayout->addWidget(makeTitle("label", tr("Tool List")), row++, 1);
    gridLayout->addWidget(makeLine("label_2"), row++, 1);
    gridLayout->addWidget(m_pOperationLWidget, row++, 1);
    gridLayout->addWidget(m_pManagementLWidget, row++, 1);
    gridLayout->addWidget(makeTitle("label_4", tr("Task Mode")), row++, 1);
    gridLayout->addWidget(makeLine("label_3"), row++, 1);
    gridLayout->addWidget(m_pTaskLWidge, row++, 1);
    gridLayout->addItem(new QSpacerItem(100, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 0, row, 1);
    gridLayout->addItem(new QSpacerItem(100, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 2, row, 1);

    for (const LibraryRow &r : kLibraries) {
        m_mapLibrary.insert(r.type, QString::fromLatin1(r.library));
        m_mapEnabled.insert(r.type, false);
    }
    Fill();
}

void CControlPanelFrame::resizeEvent(QResizeEvent *e)
{
    CBaseFrame::resizeEvent(e);
    // On a small (scaled) screen the room above and below the tools gives
    // way first; only below what the tools need does the panel scroll.
    QLayout *layout = m_pScroll->widget()->layout();
    const int gaps = m_pTopGap->sizeHint().height() + m_pTipGap->sizeHint().height();
    const int needed = layout->minimumSize().height() - gaps;
    const int spare = qBound(0, e->size().height() - needed, kTopGap + kTipGap);
    const int top = spare * kTopGap / (kTopGap + kTipGap);
    if (m_pTopGap->sizeHint().height() == top && m_pTipGap->sizeHint().height() == spare - top)
        return;
    m_pTopGap->changeSize(368, top, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_pTipGap->changeSize(368, spare - top, QSizePolicy::Minimum, QSizePolicy::Fixed);
    layout->invalidate();
}

CControlPanelFrame::~CControlPanelFrame()
{
    LeaveStore();
}

CListWidget *CControlPanelFrame::MakeList(const char *szName, int iMinHeight)
{
    auto *list = new CListWidget(this);
    list->setObjectName(QLatin1String(szName));
    list->setMinimumSize(924, iMinHeight);
    list->setMaximumSize(770, 16777215);
    list->setMouseTracking(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setIconSize(QSize(80, 70));
    list->setResizeMode(QListView::Adjust);
    list->setSpacing(13);
    list->setGridSize(QSize(150, 116));
    list->setViewMode(QListView::IconMode);
    list->setWordWrap(true);
    connect(list, &QListWidget::itemClicked, this, &CControlPanelFrame::ItemClicked);
    connect(list, &CListWidget::LeaveWidget, this, &CControlPanelFrame::OnLeveWidget);
    connect(list, &QListWidget::itemEntered, this, &CControlPanelFrame::OnItemEntered);
    connect(list, &CListWidget::ItemActivatedByKey, this, &CControlPanelFrame::ItemClicked);
    connect(list, &QListWidget::currentItemChanged, this, &CControlPanelFrame::OnCurrentItemChanged);
    connect(list, &CListWidget::EdgeReached, this, &CControlPanelFrame::OnEdgeReached);
    connect(list, &CListWidget::FocusEntered, this, [this](QListWidgetItem *item) {
        if (!item)
            return;
        item->setSelected(true);
        OnItemEntered(item);
    });
    return list;
}

void CControlPanelFrame::Fill()
{
    m_listEnabledTools = ConfigXml::ReadEnabledTools();
    for (int t = 2; t <= 14; ++t)
        if (m_mapEnabled.contains(t) || t == 13)
            m_mapEnabled[t] = m_listEnabledTools.contains(QString::number(t));

    for (const PageTableRow &row : PageTable::Rows()) {
        if (row.iPageType == -1)
            break;
        if (row.iPageType == 1)
            continue;
        const QByteArray lib = m_mapLibrary.value(row.iPageType).toLocal8Bit();
        if (lib.isEmpty() || !m_mapEnabled.value(row.iPageType) || !Vela_DsoExists(lib.constData()))
            continue;
        CListWidget *list = m_pTaskLWidge;
        if (row.iPageType != 9)
            list = m_pOperationLWidget->count() <= 5 ? m_pOperationLWidget : m_pManagementLWidget;
        const QString text = QCoreApplication::translate("TBX", row.strName.toLatin1().constData());
        auto *item = new QListWidgetItem(QIcon(QStringLiteral(":/images/ControlPanel/") + row.strPanelIcon), text,
                                         list);
        item->setTextAlignment(Qt::AlignHCenter);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        item->setData(32, row.iPageType);
        item->setToolTip(text);
    }
}

void CControlPanelFrame::ItemClicked(QListWidgetItem *pItem)
{
    if (!pItem)
        return;
    CViewStoregeManager::Instance()->ShowPage(pItem->data(32).toInt());
}

void CControlPanelFrame::showEvent(QShowEvent *e)
{
    CBaseFrame::showEvent(e);
    // Keyboard users land on the tools, unless they are working the tab
    // strip (whose arrows brought the panel up) or are in the panel already.
    QWidget *focus = window()->focusWidget();
    if (focus && (isAncestorOf(focus) || qobject_cast<QGraphicsView *>(focus)))
        return;
    for (CListWidget *list : {m_pOperationLWidget, m_pManagementLWidget, m_pTaskLWidge})
        if (list->count() > 0) {
            // Current but not selected: it lights up when the focus is
            // really there (a selected item draws its text for a fill).
            if (!list->currentItem())
                list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
            list->setFocus(Qt::OtherFocusReason);
            return;
        }
}

void CControlPanelFrame::OnCurrentItemChanged(QListWidgetItem *pCurrent)
{
    // The keyboard's current tool looks and reads as if the pointer were on
    // it, and is scrolled into view.
    auto *list = qobject_cast<CListWidget *>(sender());
    if (!pCurrent || !list || !list->hasFocus())
        return;
    OnItemEntered(pCurrent);
    const QRect r = list->visualItemRect(pCurrent);
    const QPoint centre = list->viewport()->mapTo(m_pScroll->widget(), r.center());
    m_pScroll->ensureVisible(centre.x(), centre.y(), r.width() / 2 + 8, r.height() / 2 + 8);
}

void CControlPanelFrame::OnEdgeReached(int iDirection)
{
    // The three lists read as one: the arrows go on into the next list.
    const QList<CListWidget *> lists = {m_pOperationLWidget, m_pManagementLWidget, m_pTaskLWidge};
    const int from = int(lists.indexOf(qobject_cast<CListWidget *>(sender())));
    if (from < 0)
        return;
    for (int i = from + iDirection; i >= 0 && i < lists.size(); i += iDirection) {
        CListWidget *list = lists.at(i);
        if (list->count() == 0)
            continue;
        list->setFocus(iDirection > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        list->setCurrentRow(iDirection > 0 ? 0 : list->count() - 1);
        OnItemEntered(list->currentItem());
        return;
    }
}

void CControlPanelFrame::OnItemEntered(QListWidgetItem *pItem)
{
    if (m_pLastHovered) {
        m_pLastHovered->setSelected(false);
        m_pLastHovered->setBackground(QBrush(kNormal));
    }
    m_pLastHovered = pItem;
    if (!pItem)
        return;
    pItem->setBackground(QBrush(kHover));
    const QString description = QStringLiteral("      ") + PageTable::Description(pItem->data(32).toInt());
    m_pTipLabel->setTextFormat(Qt::RichText);
    m_pTipLabel->setText(
        QStringLiteral("<html><head><meta name=\"qrichtext\" content=\"1\" /></head>"
                       "<body style=\" font-family:'Arial'; font-size:9pt; font-weight:400; font-style:normal;\">"
                       "<p style=\" margin-top:12px; margin-bottom:12px; margin-left:0px; margin-right:0px; "
                       "-qt-block-indent:0; text-indent:0px;\"><span style=\" font-size:10pt; font-weight:600; "
                       "color:#467735;\">")
        + description.toHtmlEscaped() + QStringLiteral("</span></p><br /></body></html>"));
}

void CControlPanelFrame::OnLeveWidget()
{
    if (m_pLastHovered)
        m_pLastHovered->setBackground(QBrush(kHover));
}
