#pragma once
// The ID cell: the row's number as the table shows it, and the device the
// row shows (QtZeltItemModel::kKeyRole), which it holds itself rather than
// among its roles' values, so that a row's key costs no entry of its own.

#include "CZeltCellItem.h"
#include "DeviceKey.h"

class CZeltIdItem : public CZeltCellItem
{
public:
    int type() const override { return kId; }
    const DeviceKey &Key() const { return m_key; }

    QStandardItem *clone() const override;
    void TakeContent(const CZeltCellItem &other) override;
    QVariant data(int role = Qt::UserRole + 1) const override;
    void setData(const QVariant &value, int role = Qt::UserRole + 1) override;

private:
    DeviceKey m_key;
};
