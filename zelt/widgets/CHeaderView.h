#pragma once
// The table view's header: it can carry a check box over the first column
// that checks or clears every row.

#include <QHeaderView>
#include <QRect>

class CTableView;

class CHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    CHeaderView(Qt::Orientation orientation, CTableView *parent);

    QRect CheckBoxRect() const { return m_checkRect; }

signals:
    void SignalCheckStateChanged(int iState);

public slots:
    void OnDataChanged(const QModelIndex &index);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    QVariant HeaderCheckState() const;
    mutable QRect m_checkRect;
    CTableView *m_pView;
    bool m_bSettingRows = false;
};
