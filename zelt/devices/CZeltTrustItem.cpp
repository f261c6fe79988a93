#include "CZeltTrustItem.h"

#include "QtZeltItemModel.h"
#include "ZeltTrust.h"

QStandardItem *CZeltTrustItem::clone() const
{
    auto *item = new CZeltTrustItem;
    item->TakeContent(*this);
    return item;
}

bool CZeltTrustItem::operator<(const QStandardItem &other) const
{
    const QVariant mine = data(QtZeltItemModel::kTrustRole);
    const QVariant theirs = other.data(QtZeltItemModel::kTrustRole);
    if (!mine.isValid() || !theirs.isValid())
        return QStandardItem::operator<(other);
    return ZeltTrust::Rank(uint8_t(mine.toUInt())) < ZeltTrust::Rank(uint8_t(theirs.toUInt()));
}
