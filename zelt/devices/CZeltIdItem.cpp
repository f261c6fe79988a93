#include "CZeltIdItem.h"

#include "QtZeltItemModel.h"

QStandardItem *CZeltIdItem::clone() const
{
    auto *item = new CZeltIdItem;
    item->TakeContent(*this);
    return item;
}

void CZeltIdItem::TakeContent(const CZeltCellItem &other)
{
    CZeltCellItem::TakeContent(other);
    m_key = other.type() == kId ? static_cast<const CZeltIdItem &>(other).m_key : DeviceKey();
}

QVariant CZeltIdItem::data(int role) const
{
    if (role == QtZeltItemModel::kKeyRole)
        return QVariant::fromValue(m_key);
    return CZeltCellItem::data(role);
}

void CZeltIdItem::setData(const QVariant &value, int role)
{
    if (role != QtZeltItemModel::kKeyRole) {
        CZeltCellItem::setData(value, role);
        return;
    }
    m_key = value.value<DeviceKey>();
    emitDataChanged();
}
