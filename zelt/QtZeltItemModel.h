#pragma once
// The device table's model and the address item that orders dotted
// addresses numerically.

#include <QByteArray>
#include <QStandardItem>
#include <QStandardItemModel>

class CIpStandardItem : public QStandardItem
{
public:
    CIpStandardItem();
    explicit CIpStandardItem(const QString &text);

    QStandardItem *clone() const override;
    void setData(const QVariant &value, int role = Qt::UserRole + 1) override;
    bool operator<(const QStandardItem &other) const override;

    // The 12-digit key "%03d%03d%03d%03d" of a dotted address; pieces that
    // are not numbers read as 0, missing pieces count as 0.
    static QByteArray SortKey(const QString &text);

private:
    // Sorting compares keys O(n log n) times; build each key once per text.
    QByteArray m_key;
};

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
        ColumnCount
    };

    explicit QtZeltItemModel(QObject *parent = nullptr);

    // Header texts through the translation layer; called again on a
    // language change.
    void RetranslateHeaders();
    static int ColumnWidth(int column); // -1: the view's default
};
