#include "CTableView.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStandardItemModel>

#include "Validators.h"

namespace {
const char *const kCheckedImage = ":/images/public/CheckBox/checkbox.png";
const char *const kPartlyImage = ":/images/public/CheckBox/PartiallyCheckBox.png";
const char *const kUncheckedImage = ":/images/public/CheckBox/uncheckbox.png";
constexpr int kCheckSize = 16;
constexpr int kTextInset = 4;
} // namespace

// ---------------------------------------------------------------- header

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

// -------------------------------------------------------------- delegate

CTableDelegate::CTableDelegate(CTableView *parent) : QStyledItemDelegate(parent), m_pView(parent) {}

QWidget *CTableDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const
{
    if (index.data(TableRole::ComboList).isValid()) {
        auto *combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("CTableDelegateCombo"));
        return combo;
    }
    if (index.data(TableRole::DateTime).isValid()) {
        auto *edit = new QDateTimeEdit(parent);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return edit;
    }
    if (index.data(TableRole::Date).isValid()) {
        auto *edit = new QDateEdit(parent);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        return edit;
    }
    auto *edit = new QLineEdit(parent);
    const QVariant rx = index.data(TableRole::RegExp);
    const QVariant len = index.data(TableRole::MaxLength);
    const int maxLen = len.isValid() ? len.toInt() : 32767;
    if (rx.isValid() && !rx.toString().isEmpty())
        edit->setValidator(new CRegExpValidator(maxLen, QRegularExpression(rx.toString()), edit));
    else if (len.isValid())
        edit->setValidator(new CRegExpValidator(maxLen, edit));
    Q_UNUSED(option);
    return edit;
}

// The combo list is stored as a QVariantList of two-element lists (text, icon).
static QList<QPair<QString, QIcon>> ComboEntries(const QVariant &v)
{
    QList<QPair<QString, QIcon>> out;
    const QVariantList list = v.toList();
    for (const QVariant &entry : list) {
        const QVariantList pair = entry.toList();
        if (pair.isEmpty())
            out.append({entry.toString(), QIcon()});
        else
            out.append({pair.value(0).toString(), qvariant_cast<QIcon>(pair.value(1))});
    }
    return out;
}

void CTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->clear();
        const auto entries = ComboEntries(index.data(TableRole::ComboList));
        for (const auto &e : entries)
            combo->addItem(e.second, e.first);
        const QString current = index.data(Qt::DisplayRole).toString();
        int i = combo->findText(current);
        if (i < 0) {
            combo->addItem(current);
            QVariantList list = index.data(TableRole::ComboList).toList();
            list.append(QVariant(QVariantList{current, QVariant::fromValue(QIcon())}));
            const_cast<QAbstractItemModel *>(index.model())->setData(index, list, TableRole::ComboList);
            i = combo->count() - 1;
        }
        combo->setCurrentIndex(i);
        return;
    }
    if (auto *dt = qobject_cast<QDateTimeEdit *>(editor)) {
        if (qobject_cast<QDateEdit *>(editor))
            dt->setDate(index.data(TableRole::Date).toDate());
        else
            dt->setDateTime(index.data(TableRole::DateTime).toDateTime());
        return;
    }
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        line->setText(index.data(Qt::DisplayRole).toString());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void CTableDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        model->setData(index, combo->currentText(), Qt::EditRole);
        model->setData(index, combo->itemIcon(combo->currentIndex()), Qt::DecorationRole);
        emit const_cast<CTableDelegate *>(this)->SignalComboBoxTextChanged(index);
        return;
    }
    if (auto *dt = qobject_cast<QDateTimeEdit *>(editor)) {
        if (qobject_cast<QDateEdit *>(editor)) {
            model->setData(index, dt->date(), TableRole::Date);
            model->setData(index, dt->date().toString(QStringLiteral("yyyy-MM-dd")), Qt::EditRole);
        } else {
            model->setData(index, dt->dateTime(), TableRole::DateTime);
            model->setData(index, dt->date().toString(QStringLiteral("yyyy-MM-dd")), Qt::EditRole);
        }
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
    emit const_cast<CTableDelegate *>(this)->SignalEditingFinished(index);
}

void CTableDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                          const QModelIndex &index) const
{
    if (qobject_cast<QComboBox *>(editor)) {
        editor->setGeometry(option.rect);
        return;
    }
    if (qobject_cast<QLineEdit *>(editor) && (index.flags() & Qt::ItemIsUserCheckable)) {
        QRect r = option.rect;
        r.setLeft(r.left() + option.decorationSize.width() + 4);
        editor->setGeometry(r);
        return;
    }
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
}

// ------------------------------------------------------------------ view

CTableView::CTableView(QWidget *parent) : QTreeView(parent)
{
    m_pHeader = new CHeaderView(Qt::Horizontal, this);
    setHeader(m_pHeader);
    m_pDelegate = new CTableDelegate(this);
    setItemDelegate(m_pDelegate);

    setAllColumnsShowFocus(true);
    setIndentation(0);
    setExpandsOnDoubleClick(false);
    setRootIsDecorated(false);
    m_pHeader->setSectionsClickable(true);
    m_pHeader->setSectionsMovable(false);
    setMouseTracking(true);
    // The application style grounds selected rows with a light picture:
    // selected text stays dark to remain readable on it.
    QPalette pal = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        pal.setColor(group, QPalette::HighlightedText, pal.color(group, QPalette::Text));
    setPalette(pal);

    m_pDefaultModel = new QStandardItemModel(this);
    QTreeView::setModel(m_pDefaultModel);
    ConnectSelectionModel();

    connect(m_pHeader, &CHeaderView::SignalCheckStateChanged, this, &CTableView::SignalHeaderCheckStateChanged);
    connect(m_pDelegate, &CTableDelegate::SignalEditingFinished, this, &CTableView::SignalEditingFinished);
    connect(m_pDelegate, &CTableDelegate::SignalComboBoxTextChanged, this, &CTableView::SignalComboBoxTextChanged);
}

void CTableView::ConnectSelectionModel()
{
    if (selectionModel())
        connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CTableView::currentItemChanged,
                Qt::UniqueConnection);
}

void CTableView::setModel(QAbstractItemModel *model)
{
    if (m_pDefaultModel && m_pDefaultModel != model) {
        QTreeView::setModel(nullptr);
        delete m_pDefaultModel;
    }
    QTreeView::setModel(model);
    ConnectSelectionModel();
    if (model)
        connect(model, &QAbstractItemModel::dataChanged, m_pHeader,
                [this](const QModelIndex &tl, const QModelIndex &) { m_pHeader->OnDataChanged(tl); });
    expandAll();
}

void CTableView::SetText(int iRow, int iColumn, const QString &strText)
{
    QAbstractItemModel *m = model();
    if (!m || iColumn < 0)
        return;
    if (iColumn >= m->columnCount())
        m->insertColumns(m->columnCount(), iColumn + 1 - m->columnCount());
    const QModelIndex idx = m->index(iRow, iColumn);
    if (!idx.isValid())
        return;
    m->setData(idx, strText, Qt::EditRole);
    m->setData(idx, strText, Qt::ToolTipRole);
}

QString CTableView::Text(int iRow, int iColumn) const
{
    const QAbstractItemModel *m = model();
    return m ? m->index(iRow, iColumn).data(Qt::DisplayRole).toString() : QString();
}

bool CTableView::IsLinkCell(const QModelIndex &index) const
{
    if (!index.isValid())
        return false;
    return (index.data(TableRole::Flags).toInt() & 2) || index.data(TableRole::Button).toBool();
}

void CTableView::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QTreeView::drawRow(painter, option, index);
    if (!m_bDrawSeparator)
        return;
    painter->save();
    painter->setPen(QColor(229, 229, 229));
    const QRect r = option.rect;
    painter->drawLine(r.left() + 2, r.bottom(), r.right(), r.bottom());
    painter->restore();
}

void CTableView::mousePressEvent(QMouseEvent *e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    m_pressedIndex = idx;
    if (e->button() == Qt::LeftButton && idx.isValid() && idx.data(TableRole::Button).toBool())
        emit PressedBtn(idx);
    QTreeView::mousePressEvent(e);
}

void CTableView::mouseReleaseEvent(QMouseEvent *e)
{
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid() && idx == QModelIndex(m_pressedIndex) && e->button() == Qt::LeftButton
        && idx.data(TableRole::Button).toBool())
        emit ClickedBtn(idx);
    QTreeView::mouseReleaseEvent(e);
    emit SignalClickRelease(idx);
}

void CTableView::mouseMoveEvent(QMouseEvent *e)
{
    if (m_bLinkCursor) {
        const QModelIndex idx = indexAt(e->position().toPoint());
        viewport()->setCursor(IsLinkCell(idx) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    QTreeView::mouseMoveEvent(e);
}

void CTableView::enterEvent(QEnterEvent *e)
{
    viewport()->setCursor(Qt::ArrowCursor);
    QTreeView::enterEvent(e);
}

void CTableView::leaveEvent(QEvent *e)
{
    viewport()->setCursor(Qt::ArrowCursor);
    QTreeView::leaveEvent(e);
}

bool CTableView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (event && event->type() == QEvent::MouseButtonPress && IsLinkCell(index)
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        trigger = DoubleClicked;
    return QTreeView::edit(index, trigger, event);
}
