#pragma once
// The device table's model: one row per device, filled from its record.

#include <QByteArray>
#include <QHash>
#include <QStandardItem>
#include <QStandardItemModel>

#include <functional>

#include "CZeltCellItem.h"
#include "DeviceKey.h"
#include "ZeltDeviceRecords.h"

class QtZeltItemModel : public QStandardItemModel
{
    Q_OBJECT
public:
    enum Column {
        ColId = 0,
        ColDeviceType,
        ColIPv4,
        ColSafety,
        ColPort,
        ColSoftVersion,
        ColGateway,
        ColHttpPort,
        ColSerial,
        ColMask,
        ColMac,
        ColChannels,
        ColDspVersion,
        ColStartTime,
        ColIPv6,
        ColIPv6Gateway,
        ColIPv6Prefix,
        ColSupportIPv6,
        ColSupportModIPv6,
        ColSupportDhcp,
        ColDhcp,
        ColNew,
        // Last, so that every other column keeps its index; the panel shows
        // it next to the ID.
        ColTrust,
        ColumnCount
    };

    // The trust cell's level (ZELT_TRUST_*).
    static constexpr int kTrustRole = Qt::UserRole + 40;
    // The ID cell's DeviceKey: which device the row shows.
    static constexpr int kKeyRole = Qt::UserRole + 41;
    // The trust cell's clock offset in seconds (the device's clock minus
    // this computer's); no value while the offset is not known.
    static constexpr int kClockRole = Qt::UserRole + 42;

    explicit QtZeltItemModel(QObject *parent = nullptr);

    // The serial number cell opens an editor so that its text can be
    // selected and copied, whatever opened it (double click, F2, typing);
    // what the editor hands back is refused, so the row keeps naming its
    // device. The panel's own filling goes through the items.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // The trust column's word, icon and tool tip come from the cell's level
    // as the language is now: one small value per row, however many rows.
    // Every cell's tool tip tells the device's clock offset when it is known.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Row filling: every cell of the row from the device's record; the
    // row's key (whose texts the serial and MAC cells share) as given.
    void FillRow(int row, const ZELT_DEVICE_INFO_MY &d, const DeviceKey &key);
    // New rows at the end (keys[i] the key of records[i]), each filled
    // before it is inserted so that the view hears of it once.
    void AppendDevices(const QList<ZELT_DEVICE_INFO_MY> &records, const QList<DeviceKey> &keys);
    // IDs 001, 002, ... in table order, announced to the view once.
    void Renumber();
    // After a language change: the headers, and the translated cells of
    // every row written again from the row's record (recordOf may return
    // null for a row without one).
    void Retranslate(const std::function<const ZELT_DEVICE_INFO_MY *(int row)> &recordOf);
    // After a network change of the device in row: its address, port, mask
    // and gateway cells.
    void SetNetworkCells(int row, const QString &strIPv4, uint port, const QString &strMask, const QString &strGateway);
    // After an activation.
    void SetActivated(int row);

    // The first row showing this device, or -1.
    int FindRow(const DeviceKey &key) const;
    // The device a row shows (empty for a row that is not one's).
    DeviceKey KeyOfRow(int row) const;
    QString TextAt(int row, int column) const;

    // Texts of the translated cells.
    static QString SafetyText(bool bInactive);
    static QString YesNo(bool b);
    // "Clock: 3 min 20 s ahead of this computer", "... behind ...", or "in
    // step" within a second either way (what the measurement can tell).
    static QString ClockText(int iOffsetSeconds);

    // Header texts through the translation layer.
    void RetranslateHeaders();
    static int ColumnWidth(int column); // -1: the view's default
    // The dotted-address columns: ordered numerically, sized for a full address.
    static bool IsAddressColumn(int column);
    // The columns "Save as Excel" writes, in order: all but "New".
    static QList<int> ExportedColumns();
    // A new, empty cell for the column.
    static CZeltCellItem *NewCell(int column);

    // Rows are rearranged by moving cell contents, never the items. Qt's
    // item model finds an item's row by searching outwards from where the
    // item last was; once items have moved (a sort, a removal above them)
    // every later lookup, and a removal looks up each cell, walks the
    // table: a sorted table of 10,000 devices took minutes to lose half
    // of them. With items fixed in place only the tail is ever removed.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Keeps the rows listed (ascending) in their order and removes the
    // others; the selection and other persistent indexes follow their rows.
    void KeepRows(const QList<int> &keep);

private:
    // New row i shows what row order[i] showed: a permutation of every row,
    // or an ascending list (the rows after it are left to be removed).
    // False, and nothing changed, if a cell is not a CZeltCellItem.
    bool Rearrange(const QList<int> &order);
    CZeltCellItem *Cell(int row, int column) const;
    // The row's items, created where missing.
    void RowItems(int row, QStandardItem *items[]);
    static void FillCells(QStandardItem *const items[], int row, const ZELT_DEVICE_INFO_MY &d, const DeviceKey &key);
    static void FillTranslatedCells(QStandardItem *const items[], const ZELT_DEVICE_INFO_MY &d);

    // Each device's first row; built when needed, dropped whenever rows
    // move or go.
    mutable QHash<DeviceKey, int> m_rowIndex;
    mutable bool m_bRowIndexValid = false;
};
