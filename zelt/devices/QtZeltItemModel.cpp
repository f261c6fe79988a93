#include "QtZeltItemModel.h"

#include <QCoreApplication>
#include <QSignalBlocker>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "CIpStandardItem.h"
#include "CZeltIdItem.h"
#include "CZeltTrustItem.h"
#include "ZeltTrust.h"
#include "zelt_sdk.h"

namespace {
// Each column's header text and width (-1: the view's default). Header
// texts are translated in the context "QtZelt" together with the rest of
// the panel.
const std::pair<const char *, int> kColumns[QtZeltItemModel::ColumnCount] = {
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
    {QT_TRANSLATE_NOOP("QtZelt", "Trust"), 44},
};
} // namespace

QtZeltItemModel::QtZeltItemModel(QObject *parent) : QStandardItemModel(0, ColumnCount, parent)
{
    RetranslateHeaders();
    for (int c = 0; c < ColumnCount; ++c)
        setHeaderData(c, Qt::Horizontal, int(Qt::AlignLeft | Qt::AlignVCenter), Qt::TextAlignmentRole);

    // New rows join the row index; anything that moves or removes rows
    // drops it.
    connect(this, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &parent, int first, int last) {
        if (parent.isValid() || !m_bRowIndexValid)
            return;
        if (last != rowCount() - 1) {
            m_bRowIndexValid = false;
            return;
        }
        for (int r = first; r <= last; ++r) {
            const DeviceKey key = KeyOfRow(r);
            if (!m_rowIndex.contains(key))
                m_rowIndex.insert(key, r);
        }
    });
    auto drop = [this] { m_bRowIndexValid = false; };
    connect(this, &QAbstractItemModel::rowsRemoved, this, drop);
    connect(this, &QAbstractItemModel::rowsMoved, this, drop);
    connect(this, &QAbstractItemModel::layoutChanged, this, drop);
    connect(this, &QAbstractItemModel::modelReset, this, drop);
}

QString QtZeltItemModel::SafetyText(bool bInactive)
{
    return bInactive ? QCoreApplication::translate("QtZelt", "Inactive")
                     : QCoreApplication::translate("QtZelt", "Active");
}

QString QtZeltItemModel::YesNo(bool b)
{
    return b ? QCoreApplication::translate("QtZelt", "Yes") : QCoreApplication::translate("QtZelt", "No");
}

QString QtZeltItemModel::ClockText(int iOffsetSeconds)
{
    auto text = [](const char *source) { return QCoreApplication::translate("QtZelt", source); };
    if (iOffsetSeconds >= -1 && iOffsetSeconds <= 1)
        return text(QT_TRANSLATE_NOOP("QtZelt", "Clock: in step with this computer"));
    const qint64 s = qAbs(qint64(iOffsetSeconds));
    // Two units at most: the larger is what the reader acts on.
    auto span = [&text](qint64 big, qint64 small, const char *both, const char *one) {
        return small ? text(both).arg(big).arg(small) : text(one).arg(big);
    };
    QString length;
    if (s < 60)
        length = text(QT_TRANSLATE_NOOP("QtZelt", "%1 s")).arg(s);
    else if (s < 3600)
        length = span(s / 60, s % 60, QT_TRANSLATE_NOOP("QtZelt", "%1 min %2 s"),
                      QT_TRANSLATE_NOOP("QtZelt", "%1 min"));
    else if (s < 86400)
        length = span(s / 3600, s % 3600 / 60, QT_TRANSLATE_NOOP("QtZelt", "%1 h %2 min"),
                      QT_TRANSLATE_NOOP("QtZelt", "%1 h"));
    else
        length = span(s / 86400, s % 86400 / 3600, QT_TRANSLATE_NOOP("QtZelt", "%1 d %2 h"),
                      QT_TRANSLATE_NOOP("QtZelt", "%1 d"));
    return text(iOffsetSeconds > 0 ? QT_TRANSLATE_NOOP("QtZelt", "Clock: %1 ahead of this computer")
                                   : QT_TRANSLATE_NOOP("QtZelt", "Clock: %1 behind this computer"))
        .arg(length);
}

QString QtZeltItemModel::TextAt(int row, int column) const
{
    const QStandardItem *it = item(row, column);
    return it ? it->text() : QString();
}

DeviceKey QtZeltItemModel::KeyOfRow(int row) const
{
    const QStandardItem *id = item(row, ColId);
    if (id && id->type() == CZeltCellItem::kId)
        return static_cast<const CZeltIdItem *>(id)->Key();
    return id ? id->data(kKeyRole).value<DeviceKey>() : DeviceKey();
}

int QtZeltItemModel::FindRow(const DeviceKey &key) const
{
    if (m_bRowIndexValid) {
        const auto it = m_rowIndex.constFind(key);
        if (it == m_rowIndex.constEnd())
            return -1;
        if (KeyOfRow(*it) == key)
            return *it;
    }
    // Built again from the rows as they are now.
    m_rowIndex.clear();
    const int n = rowCount();
    m_rowIndex.reserve(n);
    for (int r = n - 1; r >= 0; --r)
        m_rowIndex.insert(KeyOfRow(r), r);
    m_bRowIndexValid = true;
    return m_rowIndex.value(key, -1);
}

void QtZeltItemModel::RowItems(int row, QStandardItem *items[])
{
    for (int c = 0; c < ColumnCount; ++c) {
        items[c] = item(row, c);
        if (!items[c]) {
            items[c] = NewCell(c);
            setItem(row, c, items[c]);
        }
    }
}

// The cells whose texts go through the translation layer.
void QtZeltItemModel::FillTranslatedCells(QStandardItem *const items[], const ZELT_DEVICE_INFO_MY &d)
{
    items[ColSafety]->setText(SafetyText(d.byActivated != 0));
    if (d.byExtendInfo == 1) {
        items[ColSupportIPv6]->setText(YesNo(d.bySupport & ZELT_SUPPORT_IPV6));
        items[ColSupportDhcp]->setText(YesNo(d.bySupport & ZELT_SUPPORT_DHCP));
        items[ColNew]->setText(YesNo(d.bySupport & ZELT_SUPPORT_NEW_PASSWORD));
        items[ColSupportModIPv6]->setText(YesNo(d.bySupport & ZELT_SUPPORT_MODIFY_IPV6));
    }
}

void QtZeltItemModel::FillCells(QStandardItem *const items[], int row, const ZELT_DEVICE_INFO_MY &d,
                                const DeviceKey &key)
{
    using namespace ZeltRecords;
    if (items[ColId]->text().isEmpty())
        items[ColId]->setText(QString::asprintf("%03d", row + 1));
    // The key's texts are the serial and MAC cells' too (shared, not copied).
    items[ColId]->setData(QVariant::fromValue(key), kKeyRole);
    items[ColDeviceType]->setText(text(d.szDeviceType));
    items[ColIPv4]->setText(text(d.szIPv4Address));
    items[ColMask]->setText(text(d.szIPv4SubnetMask));
    items[ColPort]->setText(QString::asprintf("%5d", int(d.dwPort)));
    items[ColSerial]->setText(key.Serial());
    items[ColHttpPort]->setText(d.dwHttpPort > 0 && d.dwHttpPort < 65536 ? QString::number(d.dwHttpPort)
                                                                         : QStringLiteral("N/A"));
    items[ColMac]->setText(key.Mac());
    items[ColChannels]->setText(QString::asprintf("%2d", int(d.dwChannels)));
    items[ColSoftVersion]->setText(text(d.szSoftwareVersion));
    items[ColDspVersion]->setText(text(d.szDSPVersion));
    items[ColStartTime]->setText(text(d.szStartTime));
    items[ColTrust]->setData(uint(d.byTrust), kTrustRole);
    // An invalid value would be stored as an entry of its own; it only has
    // to go where a known offset was.
    if (d.byClockKnown == 1 || items[ColTrust]->data(kClockRole).isValid())
        items[ColTrust]->setData(d.byClockKnown == 1 ? QVariant(int(d.iClockOffset)) : QVariant(), kClockRole);

    if (d.byExtendInfo == 0) {
        items[ColGateway]->setText(QString());
        for (int c = ColIPv6; c <= ColNew; ++c)
            items[c]->setText(QString());
    } else if (d.byExtendInfo == 1) {
        items[ColGateway]->setText(text(d.szIPv4Gateway));
        if (d.bySupport & ZELT_SUPPORT_IPV6) {
            items[ColIPv6]->setText(text(d.szIPv6Address));
            items[ColIPv6Gateway]->setText(text(d.szIPv6Gateway));
            items[ColIPv6Prefix]->setText(QString::asprintf("%2d", int(d.byIPv6PrefixLen)));
        } else {
            items[ColIPv6]->setText(QString());
            items[ColIPv6Gateway]->setText(QString());
            items[ColIPv6Prefix]->setText(QString());
        }
        items[ColDhcp]->setText(d.byDhcp == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    // Any other value of the flag leaves the extended columns as they are.
    FillTranslatedCells(items, d);

    for (int c = 0; c < ColumnCount; ++c) {
        if (!CZeltCellItem::Of(items[c])) // the panel's cells are read-only already
            items[c]->setEditable(false);
    }
    items[ColSerial]->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
}

void QtZeltItemModel::FillRow(int row, const ZELT_DEVICE_INFO_MY &d, const DeviceKey &key)
{
    QStandardItem *items[ColumnCount];
    RowItems(row, items);
    FillCells(items, row, d, key);
}

void QtZeltItemModel::AppendDevices(const QList<ZELT_DEVICE_INFO_MY> &records, const QList<DeviceKey> &keys)
{
    for (qsizetype i = 0; i < records.size(); ++i) {
        QList<QStandardItem *> row;
        row.reserve(ColumnCount);
        for (int c = 0; c < ColumnCount; ++c)
            row.append(NewCell(c));
        FillCells(row.constData(), rowCount(), records.at(i), keys.at(i));
        appendRow(row);
    }
}

void QtZeltItemModel::Renumber()
{
    const int rows = rowCount();
    int firstChanged = -1;
    int lastChanged = -1;
    {
        const QSignalBlocker block(this);
        for (int r = 0; r < rows; ++r) {
            QStandardItem *id = item(r, ColId);
            const QString want = QString::asprintf("%03d", r + 1);
            if (id && id->text() != want) {
                id->setText(want);
                if (firstChanged < 0)
                    firstChanged = r;
                lastChanged = r;
            }
        }
    }
    if (firstChanged >= 0)
        emit dataChanged(index(firstChanged, ColId), index(lastChanged, ColId));
}

void QtZeltItemModel::Retranslate(const std::function<const ZELT_DEVICE_INFO_MY *(int row)> &recordOf)
{
    RetranslateHeaders();
    const int rows = rowCount();
    if (rows == 0)
        return;
    {
        const QSignalBlocker block(this);
        for (int r = 0; r < rows; ++r) {
            if (const ZELT_DEVICE_INFO_MY *d = recordOf(r)) {
                QStandardItem *items[ColumnCount];
                RowItems(r, items);
                FillTranslatedCells(items, *d);
            }
        }
    }
    emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
}

void QtZeltItemModel::SetNetworkCells(int row, const QString &strIPv4, uint port, const QString &strMask,
                                      const QString &strGateway)
{
    QStandardItem *items[ColumnCount];
    RowItems(row, items);
    items[ColIPv4]->setText(strIPv4);
    items[ColPort]->setText(QString::asprintf("%5d", int(port)));
    items[ColMask]->setText(strMask);
    items[ColGateway]->setText(strGateway);
}

void QtZeltItemModel::SetActivated(int row)
{
    if (QStandardItem *safety = item(row, ColSafety))
        safety->setText(SafetyText(false));
}

bool QtZeltItemModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (index.isValid() && index.column() == ColSerial && (role == Qt::EditRole || role == Qt::DisplayRole))
        return false;
    return QStandardItemModel::setData(index, value, role);
}

QVariant QtZeltItemModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::ToolTipRole && index.isValid() && !index.parent().isValid()) {
        // The trust cell tells how the identity is known; every cell of the
        // row, the clock when the device's offset was measured.
        QString tip = QStandardItemModel::data(index, role).toString();
        if (index.column() == ColTrust)
            if (const QVariant level = QStandardItemModel::data(index, kTrustRole); level.isValid())
                tip = ZeltTrust::Tip(uint8_t(level.toUInt()));
        if (const QVariant clock = QStandardItemModel::data(index.siblingAtColumn(ColTrust), kClockRole);
            clock.isValid())
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + ClockText(clock.toInt());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (index.column() == ColTrust && (role == Qt::DisplayRole || role == Qt::DecorationRole)) {
        if (const QVariant level = QStandardItemModel::data(index, kTrustRole); level.isValid()) {
            const auto trust = uint8_t(level.toUInt());
            return role == Qt::DisplayRole ? QVariant(ZeltTrust::Word(trust)) : QVariant(ZeltTrust::Icon(trust));
        }
    }
    return QStandardItemModel::data(index, role);
}

void QtZeltItemModel::RetranslateHeaders()
{
    for (int c = 0; c < ColumnCount; ++c)
        setHeaderData(c, Qt::Horizontal, QCoreApplication::translate("QtZelt", kColumns[c].first), Qt::DisplayRole);
    setHeaderData(ColTrust, Qt::Horizontal,
                  QCoreApplication::translate("QtZelt", "How each device's identity is known"), Qt::ToolTipRole);
}

int QtZeltItemModel::ColumnWidth(int column)
{
    return column >= 0 && column < ColumnCount ? kColumns[column].second : -1;
}

bool QtZeltItemModel::IsAddressColumn(int column)
{
    return column == ColIPv4 || column == ColMask || column == ColGateway;
}

QList<int> QtZeltItemModel::ExportedColumns()
{
    QList<int> columns;
    for (int c = 0; c < ColumnCount; ++c)
        if (c != ColNew)
            columns.append(c);
    return columns;
}

CZeltCellItem *QtZeltItemModel::NewCell(int column)
{
    if (column == ColId)
        return new CZeltIdItem;
    if (IsAddressColumn(column))
        return new CIpStandardItem;
    if (column == ColTrust)
        return new CZeltTrustItem;
    return new CZeltCellItem;
}

CZeltCellItem *QtZeltItemModel::Cell(int row, int column) const
{
    return CZeltCellItem::Of(item(row, column));
}

bool QtZeltItemModel::Rearrange(const QList<int> &order)
{
    const int n = rowCount();
    const int m = int(order.size());
    const int columns = columnCount();
    // Every row that moves must be made of cells; each row looked at once,
    // as most rows are both a source and a target.
    std::vector<bool> checked(size_t(n), false);
    auto cellsOnly = [&](int row) {
        if (checked[size_t(row)])
            return true;
        checked[size_t(row)] = true;
        for (int c = 0; c < columns; ++c)
            if (!Cell(row, c))
                return false;
        return true;
    };
    for (int i = 0; i < m; ++i) {
        if (order.at(i) != i && (!cellsOnly(i) || !cellsOnly(order.at(i))))
            return false;
    }

    emit layoutAboutToBeChanged({},
                                m == n ? QAbstractItemModel::VerticalSortHint : QAbstractItemModel::NoLayoutChangeHint);
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
