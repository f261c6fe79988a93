#pragma once
// The trust cell: holds the device's trust level (QtZeltItemModel::kTrustRole)
// and sorts by it; the model derives its word, icon and tool tip.

#include "CZeltCellItem.h"

class CZeltTrustItem : public CZeltCellItem
{
public:
    int type() const override { return kTrust; }
    QStandardItem *clone() const override;
    bool operator<(const QStandardItem &other) const override;
};
