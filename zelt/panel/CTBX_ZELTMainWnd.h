#pragma once
// The plug-in's one main window: title bar, a two-button tab strip and a
// stacked area whose page is the device panel.

#include <QMainWindow>

#include "ToolServices.h"

class QFrame;
class QGridLayout;
class QPushButton;
class QSpacerItem;
class QStackedWidget;
class QtZelt;

class CTBX_ZELTMainWnd : public QMainWindow
{
    Q_OBJECT
public:
    CTBX_ZELTMainWnd(QWidget *parent, Qt::WindowFlags flags, TBX_ModifyNetParamFunc pModify,
                     TBX_ResetPasswordFunc pReset, TBX_RefreshFunc pRefresh);

    // true: the host shows the tool in a window of its own.
    void ChangeSize(bool bLarge);
    bool IsLarge() const { return m_bLarge; }

    void SetTitleVisible(bool bVisible);
    QtZelt *Panel() const { return m_pZelt; }

    // Opens the user manual for the configured language; false when the
    // desktop could not open it.
    static bool OpenManual();

public slots:
    void on_m_pBtnZelt_clicked();
    void on_m_pBtnAbout_clicked();
    void OnGetHelp();
    void GetVersion();

protected:
    void closeEvent(QCloseEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void Retranslate();

    bool m_bLarge = true;
    QWidget *m_pTitle = nullptr;
    QWidget *centralWidget = nullptr;
    QGridLayout *gridLayout = nullptr;
    QFrame *pTabFrame = nullptr;
    QGridLayout *gridLayout_5 = nullptr;
    QPushButton *m_pBtnZelt = nullptr;
    QPushButton *m_pBtnAbout = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QStackedWidget *m_pStackedWidget = nullptr;
    QtZelt *m_pZelt = nullptr;

    TBX_ModifyNetParamFunc m_pModify;
    TBX_ResetPasswordFunc m_pReset;
    TBX_RefreshFunc m_pRefresh;
};
