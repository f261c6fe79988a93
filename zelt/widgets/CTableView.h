#pragma once
// The plug-in's table widget: a tree view used as a flat table, with a
// header that can carry a check box and a delegate whose editors follow
// custom item roles (TableRole).

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeView>

#include "CHeaderView.h"
#include "TableRole.h"

class QStandardItemModel;
class CTableDelegate;

class CTableView : public QTreeView
{
    Q_OBJECT
public:
    explicit CTableView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;

    // Cell helpers. SetText inserts the columns up to the one named when
    // it does not exist yet.
    void SetText(int iRow, int iColumn, const QString &strText);
    QString Text(int iRow, int iColumn) const;

    CHeaderView *Header() const { return m_pHeader; }
    void SetDrawSeparator(bool bDraw) { m_bDrawSeparator = bDraw; }
    bool IsDrawSeparator() const { return m_bDrawSeparator; }
    void SetLinkCursor(bool bLink) { m_bLinkCursor = bLink; }
    bool IsLinkCursor() const { return m_bLinkCursor; }
    bool IsLinkCell(const QModelIndex &index) const;

signals:
    void SignalHeaderCheckStateChanged(int iState);
    void SignalClickRelease(const QModelIndex &index);
    void PressedBtn(const QModelIndex &index);
    void ClickedBtn(const QModelIndex &index);
    void currentItemChanged(const QModelIndex &current, const QModelIndex &previous);
    void SignalEditingFinished(const QModelIndex &index);
    void SignalComboBoxTextChanged(const QModelIndex &index);

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    void ConnectSelectionModel();

    QPersistentModelIndex m_pressedIndex;
    bool m_bDrawSeparator = true;
    bool m_bLinkCursor = false;
    QPointer<QStandardItemModel> m_pDefaultModel;
    CHeaderView *m_pHeader;
    CTableDelegate *m_pDelegate;
};
