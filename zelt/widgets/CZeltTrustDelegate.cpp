#include "CZeltTrustDelegate.h"

#include <QApplication>
#include <QPainter>

void CZeltTrustDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const int iconSide = opt.decorationSize.width();
    const bool wide = opt.rect.width() >= iconSide + 12 + opt.fontMetrics.horizontalAdvance(opt.text);
    if (wide || opt.icon.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Narrow: the style draws the cell's ground and selection, the icon goes
    // in the middle.
    const QIcon icon = opt.icon;
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect target = QStyle::alignedRect(opt.direction, Qt::AlignCenter, opt.decorationSize, opt.rect);
    icon.paint(painter, target);
}
