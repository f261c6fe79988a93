// The control panel: the installed and enabled tools as large icons.
#pragma once

#include <QListWidget>
#include <QMap>
#include <QStringList>

#include "CBaseFrame.h"
#include "COrviStyle.h"

class QLabel;
class QScrollArea;
class QSpacerItem;

// Draws an item's panel only while it is hovered or selected, as a fill of
// the item's own background; no other highlight.
class CListWidgetStyle : public COrviStyle
{
    Q_OBJECT
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};

class CListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit CListWidget(QWidget *parent = nullptr);
    ~CListWidget() override;

signals:
    void LeaveWidget();
    // Return, Enter or Space on the current tool.
    void ItemActivatedByKey(QListWidgetItem *pItem);
    // An arrow key found no further tool in this list: +1 past its end,
    // -1 before its start.
    void EdgeReached(int iDirection);
    // The list got the keyboard focus, with this current tool (or none).
    void FocusEntered(QListWidgetItem *pItem);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    bool viewportEvent(QEvent *e) override;

private:
    CListWidgetStyle *m_pStyle = nullptr;
};

class CControlPanelFrame : public CBaseFrame
{
    Q_OBJECT
public:
    explicit CControlPanelFrame(QWidget *parent = nullptr);
    ~CControlPanelFrame() override;

    int GetTypeId() override { return 1; }

    CListWidget *OperationList() const { return m_pOperationLWidget; }
    CListWidget *ManagementList() const { return m_pManagementLWidget; }
    CListWidget *TaskList() const { return m_pTaskLWidge; }
    QLabel *TipLabel() const { return m_pTipLabel; }
    QListWidgetItem *HoveredItem() const { return m_pLastHovered; }

protected:
    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

protected slots:
    void ItemClicked(QListWidgetItem *pItem);
    void OnCurrentItemChanged(QListWidgetItem *pCurrent);
    void OnEdgeReached(int iDirection);
    void OnLeveWidget();
    void OnItemEntered(QListWidgetItem *pItem);

private:
    CListWidget *MakeList(const char *szName, int iMinHeight);
    void Fill();

    CListWidget *m_pOperationLWidget = nullptr;
    CListWidget *m_pManagementLWidget = nullptr;
    CListWidget *m_pTaskLWidge = nullptr;
    QLabel *m_pTipLabel = nullptr;
    QScrollArea *m_pScroll = nullptr;
    static constexpr int kTopGap = 50;
    static constexpr int kTipGap = 40;
    QSpacerItem *m_pTopGap = nullptr;
    QSpacerItem *m_pTipGap = nullptr;
    QListWidgetItem *m_pLastHovered = nullptr;
    QStringList m_listEnabledTools;
    QMap<int, QString> m_mapLibrary;
    QMap<int, bool> m_mapEnabled;
};
