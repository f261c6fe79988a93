#include "QtZeltItemModel.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

// ------------------------------------------------------- CIpStandardItem

CIpStandardItem::CIpStandardItem() = default;

CIpStandardItem::CIpStandardItem(const QString &text)
    : QStandardItem()
{
    setData(text, Qt::DisplayRole);
}

QStandardItem *CIpStandardItem::clone() const
{
    auto *item = new CIpStandardItem;
    *item = *this;
    return item;
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
