// A page frame: title bar, tab strip and the area showing the current page.
// Frame 0 fills the main window; further frames are detached windows made
// by dragging a tab out of a strip.
#pragma once

#include <QFrame>

class QAction;
class QStackedWidget;
class CTabScene;
class CTabView;
class CWindowTitle;

class CBaseDragFrame : public QFrame
{
    Q_OBJECT
public:
    CBaseDragFrame(QWidget *parent, bool bTabBarHidden);
    ~CBaseDragFrame() override;

    virtual int GetFrameId() const { return m_iFrameId; }

    // Shows the page of a type in this frame: a new tab, or its existing tab made current.
    void AddOrActivate(int iPageType, bool bDetached);

    CTabScene *TabScene() const { return m_pTabScene; }
    CTabView *TabView() const { return m_pTabView; }
    // The keyboard's tab commands, working anywhere in the frame's window:
    // next and previous tab, close the current tab, detach it into a window.
    enum TabCommand { NextTab, PreviousTab, CloseTab, DetachTab };
    QAction *TabAction(TabCommand command) const { return m_tabActions[command]; }
    CWindowTitle *Title() const { return m_pTitle; }
    QStackedWidget *StackedWidget() const { return m_pStackedWidget; }
    bool IsTabBarHidden() const { return m_bTabBarHidden; }

signals:
    void SignalShowMaxAlarm();
    void SignalOpenSystem(int iIndex);
    void SignalCloseWindow();
    void SignalCloseAlarmFromTab();
    void SignalShowSize(int iType);

public slots:
    void OnTabClosed(int iType);
    void OnTabChanged(int iIndex);
    void OnTabMoved(int iFrom, int iTo);
    void OnDragEnterTabBar(int iIndex);
    void OnDragLeaveTabBar();
    void OnDragOutTabBar();
    void OnShowPage(int iPageID);
    void OnChangeExtend(bool bExtend);

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void CreateTabActions();
    // Gives the keyboard focus to a page just shown.
    void FocusPage(QWidget *page);
    void UpdateTabActions();
    void AddTab(int iIndex, int iPageType);
    // Unpins the first tab unless it is the control panel.
    void UnpinFirstTabUnlessPanel();
    void AfterTabLeft();
    int TabIndexOfType(int iPageType) const;

    int m_iFrameId = -1;
    bool m_bTabBarHidden = false;
    CWindowTitle *m_pTitle = nullptr;
    CTabScene *m_pTabScene = nullptr;
    CTabView *m_pTabView = nullptr;
    QStackedWidget *m_pStackedWidget = nullptr;
    QAction *m_tabActions[4] = {};
};
