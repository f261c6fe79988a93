#include "CHeaderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>

#include "CTableView.h"
#include "TableRole.h"

namespace {
const char *const kCheckedImage = ":/images/public/CheckBox/checkbox.png";
const char *const kPartlyImage = ":/images/public/CheckBox/PartiallyCheckBox.png";
const char *const kUncheckedImage = ":/images/public/CheckBox/uncheckbox.png";
constexpr int kCheckSize = 16;
constexpr int kTextInset = 4;
} // namespace

CHeaderView::CHeaderView(Qt::Orientation orientation, CTableView *parent)
    : QHeaderView(orientation, parent)
    , m_pView(parent)
{
    setStretchLastSection(true);
    setSectionsClickable(true);
}

QVariant CHeaderView::HeaderCheckState() const
{
    if (!model())
        return QVariant();
    QVariant v = model()->headerData(0, orientation(), TableRole::CheckState);
    bool ok = false;
    const int state = v.toInt(&ok);
    if (!v.isValid() || !ok || state < 0 || state > 2)
        return QVariant();
    return state;
}

void CHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    // Let the style draw the section background, then draw the text ourselves
    // so that it can sit right of the check box.
    painter->save();
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = rect;
    opt.section = logicalIndex;
    opt.text = QString();
    opt.sortIndicator = QStyleOptionHeader::None;
    if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex)
        opt.sortIndicator = sortIndicatorOrder() == Qt::AscendingOrder ? QStyleOptionHeader::SortDown
                                                                       : QStyleOptionHeader::SortUp;
    style()->drawControl(QStyle::CE_Header, &opt, painter, this);
    painter->restore();

    int textLeft = rect.left() + kTextInset;
    const QVariant state = logicalIndex == 0 ? HeaderCheckState() : QVariant();
    if (state.isValid()) {
        const int indent = m_pView ? m_pView->indentation() : 0;
        const QRect box(rect.left() + indent + 3, rect.top() + (rect.height() - kCheckSize) / 2, kCheckSize,
                        kCheckSize);
        const int s = state.toInt();
        const char *image = s == Qt::Checked ? kCheckedImage
                                             : (s == Qt::PartiallyChecked ? kPartlyImage : kUncheckedImage);
        painter->drawPixmap(box, QPixmap(QString::fromLatin1(image)));
        m_checkRect = box;
        textLeft = box.right() + 1 + kTextInset;
    }
    if (!model())
        return;
    const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    QVariant align = model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
    const int flags = align.isValid() ? align.toInt() : int(Qt::AlignLeft | Qt::AlignVCenter);
    QRect textRect(textLeft, rect.top(), qMax(0, rect.right() - textLeft - kTextInset), rect.height());
    painter->save();
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(textRect, flags, fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

void CHeaderView::mouseReleaseEvent(QMouseEvent *e)
{
    const QVariant state = HeaderCheckState();
    if (e->button() == Qt::LeftButton && sectionsClickable() && state.isValid() && !m_checkRect.isNull()
        && m_checkRect.contains(e->position().toPoint())) {
        const int next = state.toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
        QAbstractItemModel *m = model();
        m->setHeaderData(0, orientation(), next, TableRole::CheckState);
        {
            // The rows change one by one: the states in between are not
            // the header's, and are not announced.
            const QScopedValueRollback<bool> settingRows(m_bSettingRows, true);
            for (int r = 0; r < m->rowCount(); ++r)
                m->setData(m->index(r, 0), next, Qt::CheckStateRole);
        }
        viewport()->update();
        emit SignalCheckStateChanged(next);
    }
    QHeaderView::mouseReleaseEvent(e);
}

void CHeaderView::OnDataChanged(const QModelIndex &)
{
    QAbstractItemModel *m = model();
    if (!m || m_bSettingRows || !HeaderCheckState().isValid())
        return;
    bool anyChecked = false;
    bool anyOther = false;
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
            anyChecked = true;
        else
            anyOther = true;
    }
    int state = Qt::Checked; // also with no rows
    if (anyChecked && anyOther)
        state = Qt::PartiallyChecked;
    else if (!anyChecked && anyOther)
        state = Qt::Unchecked;
    if (m->headerData(0, orientation(), TableRole::CheckState).toInt() != state) {
        m->setHeaderData(0, orientation(), state, TableRole::CheckState);
        emit SignalCheckStateChanged(state);
    }
    viewport()->update();
}
