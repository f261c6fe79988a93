#include "CTableDelegate.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>

#include "CTableView.h"
#include "TableRole.h"
#include "Validators.h"

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
