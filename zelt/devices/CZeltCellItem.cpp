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
