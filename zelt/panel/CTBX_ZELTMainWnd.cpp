#include "CTBX_ZELTMainWnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QUrl>

#include "CWarnDlg.h"
#include "QtZelt.h"
#include "ClientConfigManager.h"

#include "CDlgAbout.h"
#include "CWindowTitle.h"

namespace {
const char *const kLargeWindowSheet =
    "QMainWindow#CTBX_ZELTMainWndClass{border-image:url(\":/images/Dialog/dialog_bg2.png\") 58;\nborder-width:58;}";
const char *const kSmallWindowSheet = "QMainWindow#CTBX_ZELTMainWndClass{border-image:url(\":/images/Dialog/"
                                      "dialog_bg2.png\") 58;\nborder-width:23 58 58 58;}";
const char *const kTabSelect =
    "QPushButton{border-image:url(:/images/Tab/TabSelect.png); color: rgb(255, 255, 255); border-width:0px;}";
const char *const kTabUnselect =
    "QPushButton{border-image:url(:/images/Tab/TabUnselect.png); color: rgb(255, 255, 255); border-width:0px;}";
const char *const kSubTabSelect =
    "QPushButton{border-image:url(:/images/Tab/SubTabSelect.png); color: rgb(255, 0, 0); border-width:0px;}";
// In the small style the selected tab's text turns white while hovered,
// pressed or focused.
const char *const kSubTabSelectStates =
    "QPushButton{border-image:url(:/images/Tab/SubTabSelect.png); color: rgb(255, 0, 0); border-width:0px;}"
    "QPushButton:hover,QPushButton:pressed,QPushButton:focus{color: rgb(255, 255, 255);}";
// Keyboard focus on a tab: its text underlined (the tab images leave no
// room for a frame), and on the small style's light images in its own
// colour (white would be unreadable there).
const char *const kTabFocus = "QPushButton:focus{text-decoration: underline;}";
const char *const kSubTabFocus = kTabFocus;
const char *const kSubTabSelectFocus = "QPushButton:focus{text-decoration: underline; color: rgb(255, 0, 0);}";

const char *const kSubTabUnselect =
    "QPushButton{border-image:url(:/images/Tab/SubTabUnselect.png); color: rgb(0, 0, 0); border-width:0px;}";

QString TabSheet(const char *pLook, const char *pFocus)
{
    return QString::fromLatin1(pLook) + QString::fromLatin1(pFocus);
}

const char *const kTabFrameLarge = "QFrame{background-image:url(:/images/Tab/tab_bg.png); border:none;}";
const char *const kTabFrameSmall = "QFrame{background-image:url(:/images/Tab/Subtab_bg.png); border:none;}";
const char *const kSearchIcon = ":/images/ButtonIcon/menu_search.png";
const char *const kInfoIcon = ":/images/ButtonIcon/menu_info.png";

// The Chinese manual's name as the installation ships it.
const char *const kChineseManual = "/Zeltscan V2 2 3 \xe7\x94\xa8\xe6\x88\xb7\xe6\x89\x8b\xe5\x86\x8c.pdf";
const char *const kEnglishManual = "/User Manual Zeltscan V2 2 3.pdf";
} // namespace

CTBX_ZELTMainWnd::CTBX_ZELTMainWnd(QWidget *parent, Qt::WindowFlags flags, TBX_ModifyNetParamFunc pModify,
                                   TBX_ResetPasswordFunc pReset, TBX_RefreshFunc pRefresh)
    : QMainWindow(parent, flags)
    , m_pModify(pModify)
    , m_pReset(pReset)
    , m_pRefresh(pRefresh)
{
    setObjectName(QStringLiteral("CTBX_ZELTMainWndClass"));
    resize(1000, 700);

    centralWidget = new QWidget(this);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    gridLayout = new QGridLayout;
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);

    pTabFrame = new QFrame(centralWidget);
    pTabFrame->setObjectName(QStringLiteral("pTabFrame"));
    pTabFrame->setStyleSheet(QString::fromLatin1(kTabFrameLarge));
    gridLayout_5 = new QGridLayout(pTabFrame);
    gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    gridLayout_5->setSpacing(0);
    gridLayout_5->setContentsMargins(0, 0, 0, 0);
    m_pBtnZelt = new QPushButton(pTabFrame);
    m_pBtnZelt->setObjectName(QStringLiteral("m_pBtnZelt"));
    gridLayout_5->addWidget(m_pBtnZelt, 0, 0, 1, 1);
    m_pBtnAbout = new QPushButton(pTabFrame);
    m_pBtnAbout->setObjectName(QStringLiteral("m_pBtnAbout"));
    gridLayout_5->addWidget(m_pBtnAbout, 0, 1, 1, 1);
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    gridLayout_5->addItem(horizontalSpacer, 0, 2, 1, 1);

    setStyleSheet(QString::fromLatin1(kLargeWindowSheet));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);

    m_pTitle = new CWindowTitle(this);
    m_pTitle->setObjectName(QStringLiteral("m_pTitle"));
    gridLayout->addWidget(m_pTitle, 0, 0, 1, 2);
    gridLayout->addWidget(pTabFrame, 1, 0, 1, 1);
    centralWidget->setLayout(gridLayout);
    setCentralWidget(centralWidget);

    m_pStackedWidget = new QStackedWidget(centralWidget);
    m_pStackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    gridLayout->addWidget(m_pStackedWidget, 2, 0, 1, 1);
    m_pZelt = new QtZelt(this, m_pModify, m_pReset, m_pRefresh);
    m_pStackedWidget->addWidget(m_pZelt);

    m_pBtnAbout->setStyleSheet(TabSheet(kTabUnselect, kTabFocus));
    horizontalSpacer->changeSize(0, 0);
    // Tabs are reached by Tab, not taken by a click (a click on "Help"
    // opens its menu and should leave the focus where it was).
    m_pBtnZelt->setFocusPolicy(Qt::TabFocus);
    m_pBtnAbout->setFocusPolicy(Qt::TabFocus);

    // Large style to begin with.
    pTabFrame->setMinimumHeight(40);
    m_pBtnZelt->setFixedHeight(40);
    m_pBtnAbout->setFixedHeight(40);
    m_pBtnZelt->setIcon(QIcon(QString::fromLatin1(kSearchIcon)));
    m_pBtnAbout->setIcon(QIcon(QString::fromLatin1(kInfoIcon)));
    m_pBtnZelt->setIconSize(QSize(32, 32));
    m_pBtnAbout->setIconSize(QSize(32, 32));

    auto *help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WidgetWithChildrenShortcut);
    connect(help, &QShortcut::activated, this, &CTBX_ZELTMainWnd::OnGetHelp);

    Retranslate();
    QMetaObject::connectSlotsByName(this);
    on_m_pBtnZelt_clicked();
}

void CTBX_ZELTMainWnd::Retranslate()
{
    setWindowTitle(tr("ZELT"));
    m_pBtnZelt->setText(tr("Online Devices"));
    m_pBtnAbout->setText(tr("Help"));
}

void CTBX_ZELTMainWnd::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange)
        Retranslate();
    QMainWindow::changeEvent(e);
}

void CTBX_ZELTMainWnd::SetTitleVisible(bool bVisible)
{
    if (m_pTitle)
        m_pTitle->setVisible(bVisible);
}

void CTBX_ZELTMainWnd::on_m_pBtnZelt_clicked()
{
    m_pStackedWidget->setCurrentIndex(0);
    m_pBtnZelt->setStyleSheet(m_bLarge ? TabSheet(kTabSelect, kTabFocus) : TabSheet(kSubTabSelect, kSubTabSelectFocus));
}

void CTBX_ZELTMainWnd::on_m_pBtnAbout_clicked()
{
    QMenu menu(this);
    QAction *help = menu.addAction(QIcon(QStringLiteral(":/images/Help.png")), tr("Help"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, &CTBX_ZELTMainWnd::OnGetHelp);
    QAction *version = menu.addAction(QIcon(QStringLiteral(":/images/About.png")), tr("Version"));
    connect(version, &QAction::triggered, this, &CTBX_ZELTMainWnd::GetVersion);
    // Below the button, whether it was clicked or pressed by key (and the
    // global cursor position is unknown on some platforms).
    menu.exec(m_pBtnAbout->mapToGlobal(QPoint(0, m_pBtnAbout->height())));
}

void CTBX_ZELTMainWnd::GetVersion()
{
    CDlgAbout dlg(this);
    dlg.exec();
}

bool CTBX_ZELTMainWnd::OpenManual()
{
    const int language = ClientConfigManager::Instance()->GetInt(ClientConfigManager::Translator, 0);
    const QString name = language == 1 ? QString::fromLocal8Bit(kChineseManual) : QString::fromLatin1(kEnglishManual);
    const QString path = QDir::currentPath() + name;
    // The desktop launcher reports success for files that do not exist, so
    // a missing manual is caught here.
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CTBX_ZELTMainWnd::OnGetHelp()
{
    if (!OpenManual())
        CWarnDlg::ShowMsg(tr("Info"), tr("Can not find Manual."), this);
}

void CTBX_ZELTMainWnd::closeEvent(QCloseEvent *e)
{
    if (CWarnDlg::ShowConfirmMsg(tr("Confirm"), tr("Sure to close software"), this) == 1) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), "quit", Qt::QueuedConnection);
        e->accept();
    } else {
        e->ignore();
    }
}

void CTBX_ZELTMainWnd::ChangeSize(bool bLarge)
{
    if (bLarge == m_bLarge)
        return;
    m_bLarge = bLarge;
    if (bLarge) {
        setStyleSheet(QString::fromLatin1(kLargeWindowSheet));
        m_pBtnZelt->setStyleSheet(TabSheet(kTabSelect, kTabFocus));
        m_pBtnAbout->setStyleSheet(TabSheet(kTabUnselect, kTabFocus));
        pTabFrame->setStyleSheet(QString::fromLatin1(kTabFrameLarge));
        pTabFrame->setMinimumHeight(40);
        pTabFrame->setMaximumHeight(QWIDGETSIZE_MAX);
        m_pBtnZelt->setFixedHeight(40);
        m_pBtnAbout->setFixedHeight(40);
        m_pBtnZelt->setIcon(QIcon(QString::fromLatin1(kSearchIcon)));
        m_pBtnAbout->setIcon(QIcon(QString::fromLatin1(kInfoIcon)));
        m_pBtnZelt->setIconSize(QSize(32, 32));
        m_pBtnAbout->setIconSize(QSize(32, 32));
    } else {
        setStyleSheet(QString::fromLatin1(kSmallWindowSheet));
        m_pBtnZelt->setStyleSheet(TabSheet(kSubTabSelectStates, kSubTabSelectFocus));
        m_pBtnAbout->setStyleSheet(TabSheet(kSubTabUnselect, kSubTabFocus));
        pTabFrame->setStyleSheet(QString::fromLatin1(kTabFrameSmall));
        pTabFrame->setFixedHeight(23);
        m_pBtnZelt->setFixedHeight(23);
        m_pBtnAbout->setFixedHeight(23);
        m_pBtnZelt->setIcon(QIcon());
        m_pBtnAbout->setIcon(QIcon());
        m_pBtnZelt->setIconSize(QSize(16, 16));
        m_pBtnAbout->setIconSize(QSize(16, 16));
    }
}
