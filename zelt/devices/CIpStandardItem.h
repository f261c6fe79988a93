#pragma once
// A cell of a dotted-address column: ordered by the address's numbers,
// not its text.

#include <QByteArray>

#include "CZeltCellItem.h"

class CIpStandardItem : public CZeltCellItem
{
public:
    CIpStandardItem();
    explicit CIpStandardItem(const QString &text);

    int type() const override { return kAddress; }
    QStandardItem *clone() const override;
    void TakeContent(const CZeltCellItem &other) override;
    void setData(const QVariant &value, int role = Qt::UserRole + 1) override;
    bool operator<(const QStandardItem &other) const override;

    // The 12-digit key "%03d%03d%03d%03d" of a dotted address; pieces that
    // are not numbers read as 0, missing pieces count as 0.
    static QByteArray SortKey(const QString &text);

private:
    // Sorting compares keys O(n log n) times; build each key once per text.
    QByteArray m_key;
};
