#include "CTableView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>

#include "CHeaderView.h"
#include "CTableDelegate.h"

CTableView::CTableView(QWidget *parent) : QTreeView(parent)
{
    m_pHeader = new CHeaderView(Qt::Horizontal, this);
    setHeader(m_pHeader);
    m_pDelegate = new CTableDelegate(this);
    setItemDelegate(m_pDelegate);

    setAllColumnsShowFocus(true);
    setIndentation(0);
    setExpandsOnDoubleClick(false);
    setRootIsDecorated(false);
    m_pHeader->setSectionsClickable(true);
    m_pHeader->setSectionsMovable(false);
    setMouseTracking(true);
    // The application style grounds selected rows with a light picture:
    // selected text stays dark to remain readable on it.
    QPalette pal = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::HighlightedText, pal.color(group, QPalette::Text));
    setPalette(pal);

    m_pDefaultModel = new QStandardItemModel(this);
    QTreeView::setModel(m_pDefaultModel);
    ConnectSelectionModel();

    connect(m_pHeader, &CHeaderView::SignalCheckStateChanged, this, &CTableView::SignalHeaderCheckStateChanged);
    connect(m_pDelegate, &CTableDelegate::SignalEditingFinished, this, &CTableView::SignalEditingFinished);
    connect(m_pDelegate, &CTableDelegate::SignalComboBoxTextChanged, this, &CTableView::SignalComboBoxTextChanged);
}

void CTableView::ConnectSelectionModel()
{
    if (selectionModel())
        connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CTableView::currentItemChanged,
                Qt::UniqueConnection);
}

void CTableView::setModel(QAbstractItemModel *model)
{
    if (m_pDefaultModel && m_pDefaultModel != model) {
        QTreeView::setModel(nullptr);
        delete m_pDefaultModel;
    }
    QTreeView::setModel(model);
    ConnectSelectionModel();
    if (model)
        connect(model, &QAbstractItemModel::dataChanged, m_pHeader,
                [this](const QModelIndex &tl, const QModelIndex &) { m_pHeader->OnDataChanged(tl); });
    expandAll();
}

void CTableView::SetText(int iRow, int iColumn, const QString &strText)
{
    QAbstractItemModel *m = model();
    if (!m || iColumn < 0)
        return;
    if (iColumn >= m->columnCount())
        m->insertColumns(m->columnCount(), iColumn + 1 - m->columnCount());
    const QModelIndex idx = m->index(iRow, iColumn);
    if (!idx.isValid())
        return;
    m->setData(idx, strText, Qt::EditRole);
    m->setData(idx, strText, Qt::ToolTipRole);
}

QString CTableView::Text(int iRow, int iColumn) const
{
    const QAbstractItemModel *m = model();
    return m ? m->index(iRow, iColumn).data(Qt::DisplayRole).toString() : QString();
}

bool CTableView::IsLinkCell(const QModelIndex &index) const
{
    if (!index.isValid())
        return false;
    return (index.data(TableRole::Flags).toInt() & 2) || index.data(TableRole::Button).toBool();
}

void CTableView::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QTreeView::drawRow(painter, option, index);
    if (!m_bDrawSeparator)
        return;
    painter->save();
    painter->setPen(QColor(229, 229, 229));
    const QRect r = option.rect;
    painter->drawLine(r.left() + 2, r.bottom(), r.right(), r.bottom());
    painter->restore();
}

void CTableView::mousePressEvent(QMouseEvent *e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    m_pressedIndex = idx;
    if (e->button() == Qt::LeftButton && idx.isValid() && idx.data(TableRole::Button).toBool())
        emit PressedBtn(idx);
    QTreeView::mousePressEvent(e);
}

void CTableView::mouseReleaseEvent(QMouseEvent *e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid() && idx == QModelIndex(m_pressedIndex) && e->button() == Qt::LeftButton
        && idx.data(TableRole::Button).toBool())
        emit ClickedBtn(idx);
    QTreeView::mouseReleaseEvent(e);
    emit SignalClickRelease(idx);
}

void CTableView::mouseMoveEvent(QMouseEvent *e)
{
    if (m_bLinkCursor) {
        const QModelIndex idx = indexAt(e->position().toPoint());
        viewport()->setCursor(IsLinkCell(idx) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    QTreeView::mouseMoveEvent(e);
}

void CTableView::enterEvent(QEnterEvent *e)
{
    viewport()->setCursor(Qt::ArrowCursor);
    QTreeView::enterEvent(e);
}

void CTableView::leaveEvent(QEvent *e)
{
    viewport()->setCursor(Qt::ArrowCursor);
    QTreeView::leaveEvent(e);
}

bool CTableView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (event && event->type() == QEvent::MouseButtonPress && IsLinkCell(index)
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        trigger = DoubleClicked;
    return QTreeView::edit(index, trigger, event);
}
