#pragma once
// The table view's delegate: editors follow custom item roles (combo box,
// date-time, date, text with a pattern or a length).

#include <QStyledItemDelegate>

class CTableView;

class CTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit CTableDelegate(CTableView *parent);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

signals:
    void SignalEditingFinished(const QModelIndex &index);
    void SignalComboBoxTextChanged(const QModelIndex &index);

private:
    CTableView *m_pView;
};
