#pragma once

#include <QStyledItemDelegate>

// Paints the trust column: the icon alone, centred, in a narrow column; the
// icon and the word once the column is wide enough for both.
class CZeltTrustDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
