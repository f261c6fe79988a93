#pragma once

#include <QStandardItem>

// A cell of the device table. The model rearranges rows by handing cell
// contents from one item to another, so a cell can take over another's.
class CZeltCellItem : public QStandardItem
{
public:
    CZeltCellItem() = default;

    QStandardItem *clone() const override;
    // Every role and the flags of other, without notifying the model.
    virtual void TakeContent(const CZeltCellItem &other);
};
