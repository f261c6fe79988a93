#include "CZeltCellItem.h"

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

QVariant CZeltCellItem::data(int role) const
{
    QVariant value = QStandardItem::data(role);
    if (role == Qt::UserRole - 1 && !value.isValid()) // where QStandardItem keeps its flags
        return int(kFlags);
    return value;
}
