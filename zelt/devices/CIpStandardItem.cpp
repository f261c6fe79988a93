#include "CIpStandardItem.h"

#include <QStringList>

#include <cstdio>

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
    m_key = other.type() == kAddress ? static_cast<const CIpStandardItem &>(other).m_key : QByteArray();
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
    const QByteArray otherKey = other.type() == kAddress ? static_cast<const CIpStandardItem &>(other).m_key
                                                         : SortKey(other.text());
    const QByteArray mine = m_key.isNull() ? SortKey(text()) : m_key;
    return mine < otherKey;
}
