#pragma once

#include <QStandardItem>

// A cell of the device table. The model rearranges rows by handing cell
// contents from one item to another, so a cell can take over another's.
class CZeltCellItem : public QStandardItem
{
public:
    CZeltCellItem() = default;

    // The kinds of cell (QStandardItem::type()): the model tells its cells
    // from other items, and a cell another of its kind, without a cast
    // that walks the class tree (a sort or removal on a large table asks
    // for every cell).
    enum : int { kCell = QStandardItem::UserType + 100, kAddress, kTrust, kId };
    int type() const override { return kCell; }
    // The item as a cell, or null for an item of another kind.
    static CZeltCellItem *Of(QStandardItem *item)
    {
        return item && item->type() >= kCell && item->type() <= kId ? static_cast<CZeltCellItem *>(item) : nullptr;
    }

    QStandardItem *clone() const override;
    // Every role and the flags of other, without notifying the model.
    virtual void TakeContent(const CZeltCellItem &other);

    // Cells are read-only unless flags were set: QStandardItem keeps flags
    // as a role value, an entry per cell that made up a sixth of a row.
    static constexpr Qt::ItemFlags kFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled
                                            | Qt::ItemIsDropEnabled;
    QVariant data(int role = Qt::UserRole + 1) const override;
};
