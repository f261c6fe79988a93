// The title bar of the shell's windows, and (plug-in edition) of the
// device-search tool's own window.
#pragma once

#include <QMap>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include "CTitleWidget.h"

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class CPushButton;

#ifndef TOOLKIT_PLUGIN_EDITION

class CWindowTitle : public CTitleWidget
{
    Q_OBJECT
public:
    enum SizeCommand { Size1024 = 257, Size1280 = 258, SizeFull = 259 };

    CWindowTitle(QWidget *pControlWidget, bool bHasMenus, QWidget *parent = nullptr);

    void SetMinimizeBtnVisible(bool bVisible);
    bool IsFullScreen() const { return m_bFullScreen; }
    int SizeMode() const { return m_iSizeMode; }
    QMenuBar *MenuBar() const { return m_pMenuBar; }
    CPushButton *SizeButton() const { return m_pSizeBtn; }
    QAction *SizeAction(int iCommand) const;
    bool IsToolEnabled(int iMenuKey) const { return m_mapEnabled.value(iMenuKey, false); }

    // The resource holding a menu icon of that file name, or empty.
    static QString FindMenuIcon(const QString &strFile);
    // Lists the frame's tab commands in the View menu (title bars with menus).
    void AddTabActions(const QList<QAction *> &actions);
    QMenu *ViewMenu() const { return m_pViewMenu; }

signals:
    void ShowPage(int iPageID);
    void ChangeExtend(bool bExtend);

public slots:
    void showSmall();
    void ShowSizeMenu();
    void OnShowSize(int iTitleMenuItemType);

private slots:
    void OnMenuShowPage(int iPageID);
    void ChangSizeTo1024();
    void ChangSizeTo1280();
    void ChangSizeToFull();
    void SelectMenu(QAction *action);
    void ChaneMaxSizeOrRestore();
    void OnAbout();
    void OnCloseWindow();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    friend class CBaseDragFrame;
    void CreateSizeActions();
    void CreateMenus();
    void SetSizeButtonName();
    void FixSize(int iWidth, int iHeight, QAction *pAction);
    bool ScreenTooSmall() const;

    bool m_bPressed = false;
    QPoint m_ptPress;
    QPoint m_ptPressOffset;
    CPushButton *m_pMinimizeBtn = nullptr;
    CPushButton *m_pSizeBtn = nullptr;
    CPushButton *m_pCloseBtn = nullptr;
    QMenuBar *m_pMenuBar = nullptr;
    QAction *m_pAction1024 = nullptr;
    QAction *m_pAction1280 = nullptr;
    QAction *m_pActionFull = nullptr;
    QActionGroup *m_pSizeGroup = nullptr;
    QMenu *m_pSizeMenu = nullptr;
    QMenu *m_pViewMenu = nullptr;
    QWidget *m_pControlWidget = nullptr;
    bool m_bHasMenus = false;
    int m_iSizeMode = Size1024;
    QStringList m_listEnabledTools;
    QMap<int, QString> m_mapLibrary;
    QMap<int, bool> m_mapEnabled;
    bool m_bFullScreen = false;
};

#else // plug-in edition

class QLabel;

class CWindowTitle : public QWidget
{
    Q_OBJECT
public:
    // The parent is the window the title controls.
    explicit CWindowTitle(QWidget *parent);

    bool IsMaximized() const { return m_bMaximized; }
    QLabel *TitleLabel() const { return m_pTitleLabel; }
    CPushButton *SizeButton() const { return m_pSizeBtn; }

public slots:
    void showSmall();
    void ChangSizeToFull();
    void ChaneMaxSizeOrRestore();
    void OnCloseWindow();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void SetSizeButtonImages();

    bool m_bPressed = false;
    QPoint m_ptPress;
    QPoint m_ptPressOffset;
    bool m_bMaximized = false;
    QWidget *m_pControlWidget = nullptr;
    CPushButton *m_pIconBtn = nullptr;
    QLabel *m_pTitleLabel = nullptr;
    CPushButton *m_pMinimizeBtn = nullptr;
    CPushButton *m_pSizeBtn = nullptr;
    CPushButton *m_pCloseBtn = nullptr;
};

#endif
