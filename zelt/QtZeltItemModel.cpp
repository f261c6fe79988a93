#include "QtZeltItemModel.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <vector>

// --------------------------------------------------------- CZeltCellItem

QStandardItem *CZeltCellItem::clone() const
{
    auto *item = new CZeltCellItem;
    item->TakeContent(*this);
    return item;
}

void CZeltCellItem::TakeContent(const CZeltCellItem &other)
{
    QStandardItem::operator=(other);
}

// ------------------------------------------------------- CIpStandardItem

CIpStandardItem::CIpStandardItem() = default;

CIpStandardItem::CIpStandardItem(const QString &text)
{
    setData(text, Qt::DisplayRole);
}

QStandardItem *CIpStandardItem::clone() const
{
    auto *item = new CIpStandardItem;
    *item = *this;
    return item;
}

void CIpStandardItem::TakeContent(const CZeltCellItem &other)
{
    CZeltCellItem::TakeContent(other);
    const auto *ip = dynamic_cast<const CIpStandardItem *>(&other);
    m_key = ip ? ip->m_key : QByteArray();
}

void CIpStandardItem::setData(const QVariant &value, int role)
{
    QStandardItem::setData(value, role);
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        m_key = SortKey(value.toString());
}

QByteArray CIpStandardItem::SortKey(const QString &text)
{
    int parts[4] = {0, 0, 0, 0};
    const QStringList pieces = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < pieces.size(); ++i) {
        bool ok = false;
        const int v = pieces.at(i).toInt(&ok, 10);
        parts[i] = ok ? v : 0;
    }
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%03d%03d%03d%03d", parts[0], parts[1], parts[2], parts[3]);
    return QByteArray(buf, n);
}

bool CIpStandardItem::operator<(const QStandardItem &other) const
{
    const auto *ip = dynamic_cast<const CIpStandardItem *>(&other);
    const QByteArray otherKey = ip ? ip->m_key : SortKey(other.text());
    const QByteArray mine = m_key.isNull() ? SortKey(text()) : m_key;
    return mine < otherKey;
}

// ------------------------------------------------------- QtZeltItemModel

namespace {
struct ColumnInfo {
    const char *header;
    int width;
};
// Header texts are translated in the context "QtZelt" together with the
// rest of the panel.
const ColumnInfo kColumns[QtZeltItemModel::ColumnCount] = {
    {QT_TRANSLATE_NOOP("QtZelt", "ID"), 50},
    {QT_TRANSLATE_NOOP("QtZelt", "Device Type"), 104},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv4 Address"), 100},
    {QT_TRANSLATE_NOOP("QtZelt", "Safety state"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "Port"), 60},
    {QT_TRANSLATE_NOOP("QtZelt", "Soft Vision"), 120},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv4 GateWay"), 100},
    {QT_TRANSLATE_NOOP("QtZelt", "Http Port"), -1},
    {QT_TRANSLATE_NOOP("QtZelt", "Serial Number"), 230},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv4 Mask"), 100},
    {QT_TRANSLATE_NOOP("QtZelt", "MAC"), 120},
    {QT_TRANSLATE_NOOP("QtZelt", "Channel NO"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "DSP Vision"), 110},
    {QT_TRANSLATE_NOOP("QtZelt", "Start Time"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv6 Address"), 100},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv6 GateWay"), 100},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv6 Prefix Length"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "Is Support IPv6"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "Is Support Mod IPv6"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "Is Support DHCP"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "IPv4 DHCP"), 130},
    {QT_TRANSLATE_NOOP("QtZelt", "New"), 130},
};
} // namespace

QtZeltItemModel::QtZeltItemModel(QObject *parent)
    : QStandardItemModel(0, ColumnCount, parent)
{
    RetranslateHeaders();
    for (int c = 0; c < ColumnCount; ++c)
        setHeaderData(c, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter), Qt::TextAlignmentRole);
}

bool QtZeltItemModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (index.isValid() && index.column() == ColSerial && (role == Qt::EditRole || role == Qt::DisplayRole))
        return false;
    return QStandardItemModel::setData(index, value, role);
}

void QtZeltItemModel::RetranslateHeaders()
{
    for (int c = 0; c < ColumnCount; ++c)
        setHeaderData(c, Qt::Horizontal, QCoreApplication::translate("QtZelt", kColumns[c].header),
                      Qt::DisplayRole);
}

int QtZeltItemModel::ColumnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? kColumns[column].width : -1;
}

bool QtZeltItemModel::IsAddressColumn(int column)
{
    return column == ColIPv4 || column == ColMask || column == ColGateway;
}

CZeltCellItem *QtZeltItemModel::NewCell(int column)
{
    if (IsAddressColumn(column))
        return new CIpStandardItem;
    return new CZeltCellItem;
}

CZeltCellItem *QtZeltItemModel::Cell(int row, int column) const
{
    return dynamic_cast<CZeltCellItem *>(item(row, column));
}

bool QtZeltItemModel::Rearrange(const QList<int> &order)
{
    const int n = rowCount();
    const int m = int(order.size());
    const int columns = columnCount();
    for (int i = 0; i < m; ++i) {
        if (order.at(i) == i)
            continue;
        for (int c = 0; c < columns; ++c)
            if (!Cell(i, c) || !Cell(order.at(i), c))
                return false;
    }

    emit layoutAboutToBeChanged({}, m == n ? QAbstractItemModel::VerticalSortHint
                                           : QAbstractItemModel::NoLayoutChangeHint);
    auto copyRow = [this, columns](int to, int from) {
        for (int c = 0; c < columns; ++c)
            Cell(to, c)->TakeContent(*Cell(from, c));
    };
    if (m == n) {
        // A permutation: follow each cycle, parking its first row aside.
        std::vector<bool> done(size_t(n), false);
        std::vector<std::unique_ptr<QStandardItem>> parked(static_cast<size_t>(columns));
        for (int s = 0; s < n; ++s) {
            if (done[size_t(s)] || order.at(s) == s)
                continue;
            for (int c = 0; c < columns; ++c)
                parked[size_t(c)].reset(Cell(s, c)->clone());
            int j = s;
            for (; order.at(j) != s; j = order.at(j)) {
                copyRow(j, order.at(j));
                done[size_t(j)] = true;
            }
            for (int c = 0; c < columns; ++c)
                Cell(j, c)->TakeContent(*static_cast<CZeltCellItem *>(parked[size_t(c)].get()));
            done[size_t(j)] = true;
        }
    } else {
        // Ascending: every source lies at or below its target.
        for (int i = 0; i < m; ++i)
            if (order.at(i) != i)
                copyRow(i, order.at(i));
    }

    QList<int> newRowOf(n, -1);
    for (int i = 0; i < m; ++i)
        newRowOf[order.at(i)] = i;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from) {
        const int row = idx.parent().isValid() ? idx.row() : newRowOf.value(idx.row(), -1);
        to << (row < 0 ? QModelIndex() : index(row, idx.column(), idx.parent()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, m == n ? QAbstractItemModel::VerticalSortHint : QAbstractItemModel::NoLayoutChangeHint);
    return true;
}

void QtZeltItemModel::sort(int column, Qt::SortOrder order)
{
    const int n = rowCount();
    if (column < 0 || column >= columnCount() || n < 2)
        return;
    QList<int> rows(n);
    std::iota(rows.begin(), rows.end(), 0);
    // Cells without an item go last, as in Qt's own sort.
    auto less = [this, column](int a, int b) {
        const QStandardItem *x = item(a, column);
        const QStandardItem *y = item(b, column);
        if (!x || !y)
            return x && !y;
        return *x < *y;
    };
    if (order == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(), less);
    else
        std::stable_sort(rows.begin(), rows.end(), [&less](int a, int b) { return less(b, a); });
    if (!Rearrange(rows))
        QStandardItemModel::sort(column, order);
}

void QtZeltItemModel::KeepRows(const QList<int> &keep)
{
    const int n = rowCount();
    const int m = int(keep.size());
    if (m >= n)
        return;
    if (Rearrange(keep)) {
        removeRows(m, n - m);
        return;
    }
    // Foreign cells: plain removal, from the bottom up.
    QList<bool> kept(n, false);
    for (int r : keep)
        kept[r] = true;
    for (int r = n - 1; r >= 0; --r)
        if (!kept.at(r))
            removeRow(r);
}
