#include "CWindowTitle.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "Buttons.h"
#include "CDlgAbout.h"
#include "ScreenFit.h"
#include "Toolkit.h"

namespace {

// Dragging a window by its title with the left button: the window system
// moves it where it can (on Wayland nothing else can); elsewhere the window
// follows the cursor, the press point staying under it. Nothing starts
// while the window is full screen.
void pressTitle(QWidget *title, QWidget *window, QMouseEvent *event, bool blocked, bool &pressed, QPoint &press,
                QPoint &offset)
{
    if (event->button() != Qt::LeftButton || blocked || !window || window->isFullScreen())
        return;
    if (Toolkit::StartSystemMove(window))
        return;
    pressed = true;
    press = event->globalPosition().toPoint();
    offset = title->mapToParent(event->position().toPoint());
}

void nameButton(QWidget *button, const QString &text)
{
    button->setToolTip(text);
    button->setAccessibleName(text);
}

void dragTitle(QWidget *window, QMouseEvent *event, bool blocked, bool pressed, const QPoint &offset)
{
    if (blocked || !pressed || !window || !(event->buttons() & Qt::LeftButton))
        return;
    window->move(event->globalPosition().toPoint() - offset);
}

} // namespace

#ifndef TOOLKIT_PLUGIN_EDITION

#include "vela.h"
#include "ConfigXml.h"

namespace {

struct MenuKeyRow {
    int key;
    const char *library;
};
const MenuKeyRow kMenuKeys[] = {
    {2, "Zeltscan.dll"},        {3, "CamCountPlanner.dll"}, {4, "StoragePlanner.dll"}, {5, "LinkPlanner.dll"},
    {6, "SharpnessAid.dll"},    {7, "OpticsPicker.dll"},    {8, "ArchiveFetch.dll"},   {9, "ClipViewer.dll"},
    {10, "BulkFirmware.dll"},   {11, "BulkSetup.dll"},      {12, "BulkSettings.dll"},  {13, "TaskPlanner.dll"},
    {14, "AddressService.dll"},
};

struct ToolsMenuRow {
    int key;
    const char *text;
    const char *icon;
    int data;
};
const ToolsMenuRow kToolsMenu[] = {
    {8, QT_TRANSLATE_NOOP("CWindowTitle", "Archive Fetch"), "ico_Stream-Import.png", 513},
    {2, QT_TRANSLATE_NOOP("CWindowTitle", "Open TBX-ZELT"), "ico_Stream-Config.png", 514},
    {3, QT_TRANSLATE_NOOP("CWindowTitle", "Open TBX-CAMC"), "ico_User-Management.png", 515},
    {9, QT_TRANSLATE_NOOP("CWindowTitle", "Clip Viewer"), "monitoring.png", 516},
    {10, QT_TRANSLATE_NOOP("CWindowTitle", "Open Bulk Firmware"), "ico_NVR-Management.png", 517},
    {4, QT_TRANSLATE_NOOP("CWindowTitle", "Open Storage Planner"), "STOR.png", 518},
    {5, QT_TRANSLATE_NOOP("CWindowTitle", "Link Planner"), "LINK.png", 519},
    {6, QT_TRANSLATE_NOOP("CWindowTitle", "Sharpness Aid"), "ico_TBX_FOCA.png", 520},
    {7, QT_TRANSLATE_NOOP("CWindowTitle", "Optics Picker"), "ico_TBX_OPTK.png", 521},
    {12, QT_TRANSLATE_NOOP("CWindowTitle", "Bulk Settings"), "Bulk.png", 528},
    {13, QT_TRANSLATE_NOOP("CWindowTitle", "Task Planner"), "calculate32.png", 529},
};

// Page types opened by the Tools entries 514..521.
const int kPagesFrom514[] = {2, 3, 11, 12, 4, 5, 6, 7};

} // namespace

QString CWindowTitle::FindMenuIcon(const QString &strFile)
{
    static const char *const folders[] = {":/images/",         ":/images/public/",     ":/images/ControlPanel/",
                                          ":/images/MenuBar/", ":/images/AlarmEvent/", ":/images/Tab/"};
    for (const char *folder : folders) {
        const QString path = QLatin1String(folder) + strFile;
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

CWindowTitle::CWindowTitle(QWidget *pControlWidget, bool bHasMenus, QWidget *parent)
    : CTitleWidget(parent)
    , m_pControlWidget(pControlWidget)
    , m_bHasMenus(bHasMenus)
{
    for (const MenuKeyRow &row : kMenuKeys) {
        m_mapLibrary.insert(row.key, QString::fromLatin1(row.library));
        m_mapEnabled.insert(row.key, false);
    }

    setFixedHeight(30);
    SetBackgroundPixmap(QPixmap(QStringLiteral(":/images/title/title_bg.png")));
    SetStripPixmap(QPixmap(QStringLiteral(":/images/title/TBXEye.png")));
    SetText(tr("TBX"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(38, 1, 4, 1);
    layout->setSpacing(1);

    CreateSizeActions();

    if (m_bHasMenus) {
        m_pMenuBar = new QMenuBar(this);
        m_pMenuBar->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
        // The menus belong to this title bar, also on desktops with a
        // global menu bar of their own.
        m_pMenuBar->setNativeMenuBar(false);
        // The bar sits on the dark title picture.
        m_pMenuBar->setStyleSheet(QStringLiteral(
            "QMenuBar{background:transparent;color:rgb(255,255,255);}"
            "QMenuBar::item{background:transparent;padding:4px 8px;}"
            "QMenuBar::item:selected,QMenuBar::item:pressed{background:rgba(255,255,255,45);border-radius:2px;}"));
        layout->addWidget(m_pMenuBar);
        connect(m_pMenuBar, &QMenuBar::triggered, this, &CWindowTitle::SelectMenu);
        m_listEnabledTools = ConfigXml::ReadEnabledTools();
        CreateMenus();
        // F10 opens the first menu, as on most desktops; Alt and a menu's
        // underlined letter open that menu.
        auto *menuKey = new QAction(this);
        menuKey->setShortcut(QKeySequence(Qt::Key_F10));
        menuKey->setShortcutContext(Qt::WindowShortcut);
        addAction(menuKey);
        connect(menuKey, &QAction::triggered, this, [this] {
            if (!m_pMenuBar->actions().isEmpty())
                m_pMenuBar->setActiveAction(m_pMenuBar->actions().constFirst());
        });
    }

    layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));

    m_pMinimizeBtn = new CPushButton(this);
    m_pMinimizeBtn->setObjectName(QStringLiteral("m_pMinimizeBtn"));
    m_pMinimizeBtn->setFixedSize(20, 20);
    m_pSizeBtn = new CPushButton(this);
    m_pSizeBtn->setFixedSize(18, 20);
    m_pCloseBtn = new CPushButton(this);
    m_pCloseBtn->setObjectName(QStringLiteral("m_pCloseBtn"));
    m_pCloseBtn->setFixedSize(20, 20);
    for (CPushButton *b : {m_pMinimizeBtn, m_pSizeBtn, m_pCloseBtn}) {
        b->setFocusPolicy(Qt::TabFocus); // the keyboard reaches them, a click leaves focus where it was
        layout->addWidget(b);
    }

    if (m_bHasMenus) {
        connect(m_pSizeBtn, &QPushButton::clicked, this, &CWindowTitle::ChaneMaxSizeOrRestore);
    } else {
        m_pSizeMenu = new QMenu(this);
        for (QAction *a : {m_pAction1024, m_pAction1280, m_pActionFull}) {
            a->setCheckable(true);
            m_pSizeMenu->addAction(a);
        }
        m_pSizeBtn->setMenu(m_pSizeMenu);
    }
    connect(m_pCloseBtn, &QPushButton::clicked, this, &CWindowTitle::OnCloseWindow);
    connect(m_pMinimizeBtn, &QPushButton::clicked, this, &CWindowTitle::showSmall);
    // Picture buttons: what they do is said in words for tool tips and
    // screen readers.
    nameButton(m_pMinimizeBtn, tr("Minimize"));
    nameButton(m_pCloseBtn, tr("Close"));
    if (m_pSizeMenu)
        nameButton(m_pSizeBtn, tr("Window Size"));
    if (m_pMenuBar)
        m_pMenuBar->setAccessibleName(tr("Menu"));
    SetSizeButtonName();
}

void CWindowTitle::CreateSizeActions()
{
    m_pSizeGroup = new QActionGroup(this);
    m_pSizeGroup->setExclusive(true);
    m_pAction1024 = new QAction(tr("1024*768"), m_pSizeGroup);
    m_pAction1280 = new QAction(tr("1280*1024"), m_pSizeGroup);
    m_pActionFull = new QAction(tr("Full Screen"), m_pSizeGroup);
    connect(m_pAction1024, &QAction::triggered, this, &CWindowTitle::ChangSizeTo1024);
    connect(m_pAction1280, &QAction::triggered, this, &CWindowTitle::ChangSizeTo1280);
    connect(m_pActionFull, &QAction::triggered, this, &CWindowTitle::ChangSizeToFull);
    // Offered where a screen shows all of it, in logical pixels.
    bool fits1280 = false;
    for (const QScreen *s : QGuiApplication::screens())
        fits1280 = fits1280 || (s->availableGeometry().width() >= 1280 && s->availableGeometry().height() >= 1024);
    m_pAction1280->setEnabled(fits1280);
}

void CWindowTitle::CreateMenus()
{
    QMenu *view = m_pMenuBar->addMenu(tr("&View"));
    m_pViewMenu = view;
    m_pAction1024->setData(Size1024);
    m_pAction1280->setData(Size1280);
    m_pActionFull->setData(SizeFull);
    for (QAction *a : {m_pAction1024, m_pAction1280, m_pActionFull}) {
        a->setCheckable(true);
        view->addAction(a);
    }
    view->addSeparator();
    QAction *panel = view->addAction(QIcon(FindMenuIcon(QStringLiteral("ico_Control-Panel.png"))), tr("Control Panel"));
    panel->setData(260);

    for (const MenuKeyRow &row : kMenuKeys)
        m_mapEnabled[row.key] = m_listEnabledTools.contains(QString::number(row.key));
    m_mapEnabled[13] = true; // always offered

    QMenu *tools = m_pMenuBar->addMenu(tr("&Tools"));
    for (const ToolsMenuRow &row : kToolsMenu) {
        const QByteArray lib = m_mapLibrary.value(row.key).toLocal8Bit();
        if (!m_mapEnabled.value(row.key) || !Vela_DsoExists(lib.constData()))
            continue;
        const QString iconPath = FindMenuIcon(QString::fromLatin1(row.icon));
        QAction *a = tools->addAction(iconPath.isEmpty() ? QIcon() : QIcon(iconPath), tr(row.text));
        a->setData(row.data);
    }

    QMenu *help = m_pMenuBar->addMenu(tr("&Help"));
    const QString aboutIcon = FindMenuIcon(QStringLiteral("About.png"));
    QAction *about = help->addAction(aboutIcon.isEmpty() ? QIcon() : QIcon(aboutIcon), tr("About"));
    about->setData(769);
}

void CWindowTitle::AddTabActions(const QList<QAction *> &actions)
{
    if (!m_pViewMenu)
        return;
    m_pViewMenu->addSeparator();
    m_pViewMenu->addActions(actions);
}

QAction *CWindowTitle::SizeAction(int iCommand) const
{
    switch (iCommand) {
    case Size1024: return m_pAction1024;
    case Size1280: return m_pAction1280;
    case SizeFull: return m_pActionFull;
    default: return nullptr;
    }
}

void CWindowTitle::SetMinimizeBtnVisible(bool bVisible)
{
    m_pMinimizeBtn->setVisible(bVisible);
}

void CWindowTitle::showSmall()
{
    if (m_pControlWidget)
        m_pControlWidget->showMinimized();
}

void CWindowTitle::ShowSizeMenu()
{
    m_pSizeBtn->showMenu();
}

void CWindowTitle::OnShowSize(int iTitleMenuItemType)
{
    switch (iTitleMenuItemType) {
    case Size1024: ChangSizeTo1024(); break;
    case Size1280: ChangSizeTo1280(); break;
    case SizeFull: ChangSizeToFull(); break;
    default: break;
    }
}

void CWindowTitle::OnMenuShowPage(int iPageID)
{
    emit ShowPage(iPageID);
}

void CWindowTitle::FixSize(int iWidth, int iHeight, QAction *pAction)
{
    if (!m_pControlWidget)
        return;
    m_pControlWidget->showNormal();
    ensurePolished();
    // Cut down to what the screen shows (at 150 % a 1920 x 1080 screen has
    // 1280 x 720 logical pixels, less its panels).
    const QRect avail = ScreenFit::Available(m_pControlWidget);
    const QSize size = ScreenFit::Fitted(QSize(iWidth, iHeight), avail);
    m_pControlWidget->setFixedSize(size);
    pAction->setChecked(true);
    m_pControlWidget->move(ScreenFit::Centred(size, avail));
    m_bFullScreen = false;
    SetSizeButtonName();
}

void CWindowTitle::ChangSizeTo1024()
{
    FixSize(1024, 768, m_pAction1024);
    m_iSizeMode = Size1024;
    emit ChangeExtend(false);
}

void CWindowTitle::ChangSizeTo1280()
{
    FixSize(1280, 1024, m_pAction1280);
    m_iSizeMode = Size1280;
    emit ChangeExtend(true);
}

bool CWindowTitle::ScreenTooSmall() const
{
    return !ScreenFit::LargeEnough(ScreenFit::ScreenOf(m_pControlWidget));
}

void CWindowTitle::ChangSizeToFull()
{
    if (!m_pControlWidget || ScreenTooSmall())
        return;
    m_pActionFull->setChecked(true);
    m_pControlWidget->showFullScreen();
    m_bFullScreen = true;
    SetSizeButtonName();
    const QRect avail = ScreenFit::Available(m_pControlWidget);
    m_pControlWidget->setMinimumSize(0, 0);
    m_pControlWidget->setMaximumWidth(avail.width());
    m_pControlWidget->setMaximumHeight(avail.height());
    m_pControlWidget->resize(avail.size());
    m_pControlWidget->move(avail.topLeft());
    emit ChangeExtend(false);
}

void CWindowTitle::ChaneMaxSizeOrRestore()
{
    if (ScreenTooSmall())
        return;
    if (!m_bFullScreen) {
        ChangSizeToFull();
        return;
    }
    if (m_iSizeMode == Size1024)
        ChangSizeTo1024();
    else if (m_iSizeMode == Size1280)
        ChangSizeTo1280();
    m_bFullScreen = false;
}

void CWindowTitle::SelectMenu(QAction *action)
{
    if (!action)
        return;
    const int data = action->data().toInt();
    switch (data) {
    case Size1024: ChangSizeTo1024(); break;
    case Size1280: ChangSizeTo1280(); break;
    case SizeFull: ChangSizeToFull(); break;
    case 260: OnMenuShowPage(1); break;
    case 513: OnMenuShowPage(10); break;
    case 528: OnMenuShowPage(8); break;
    case 529: OnMenuShowPage(9); break;
    case 769: OnAbout(); break;
    default:
        if (data >= 514 && data <= 521)
            OnMenuShowPage(kPagesFrom514[data - 514]);
        break;
    }
}

void CWindowTitle::OnAbout()
{
    CDlgAbout dlg(this);
    dlg.exec();
}

void CWindowTitle::OnCloseWindow()
{
    if (m_pControlWidget)
        m_pControlWidget->close();
}

void CWindowTitle::SetSizeButtonName()
{
    const bool full = m_pControlWidget && (m_pControlWidget->isFullScreen() || m_bFullScreen);
    m_pSizeBtn->setObjectName(full ? QStringLiteral("m_pNormalSizeBtn") : QStringLiteral("m_pFullSizeBtn"));
    if (!m_pSizeMenu)
        nameButton(m_pSizeBtn, full ? tr("Restore") : tr("Maximize"));
    // Style-sheet rules select by object name: apply them again.
    m_pSizeBtn->style()->unpolish(m_pSizeBtn);
    m_pSizeBtn->style()->polish(m_pSizeBtn);
    m_pSizeBtn->update();
}

void CWindowTitle::mousePressEvent(QMouseEvent *event)
{
    pressTitle(this, m_pControlWidget, event, m_bFullScreen, m_bPressed, m_ptPress, m_ptPressOffset);
}

void CWindowTitle::mouseMoveEvent(QMouseEvent *event)
{
    dragTitle(m_pControlWidget, event, m_bFullScreen, m_bPressed, m_ptPressOffset);
}

void CWindowTitle::mouseReleaseEvent(QMouseEvent *)
{
    m_bPressed = false;
}

void CWindowTitle::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        ChaneMaxSizeOrRestore();
}

#else // plug-in edition

CWindowTitle::CWindowTitle(QWidget *parent) : QWidget(parent), m_pControlWidget(parent)
{
    QPalette pal = palette();
    pal.setBrush(QPalette::Window, QBrush(QPixmap(QStringLiteral(":/images/title/title_bg.png"))
                                              .scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    setPalette(pal);
    setAutoFillBackground(true);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);

    m_pIconBtn = new CPushButton(this);
    m_pIconBtn->setFixedSize(32, 32);
    m_pIconBtn->setFocusPolicy(Qt::NoFocus);
    m_pIconBtn->setStyleSheet(QStringLiteral("QPushButton{border-image:url(:/images/title/ZELTEye.png);}"));
    layout->addWidget(m_pIconBtn);

    m_pTitleLabel = new QLabel(tr("ZELT"), this);
    m_pTitleLabel->setStyleSheet(QStringLiteral("color:rgb(255, 255, 255);"));
    layout->addWidget(m_pTitleLabel);
    layout->addStretch();

    m_pMinimizeBtn = new CPushButton(this);
    m_pSizeBtn = new CPushButton(this);
    m_pCloseBtn = new CPushButton(this);
    for (CPushButton *b : {m_pMinimizeBtn, m_pSizeBtn, m_pCloseBtn}) {
        b->setFixedSize(20, 20);
        b->setFocusPolicy(Qt::TabFocus); // the keyboard reaches them, a click leaves focus where it was
        layout->addWidget(b);
    }
    m_pMinimizeBtn->setStyleSheet(QStringLiteral(
        "QPushButton{border:none;margin:0;border-image:url(:/images/title/mini.png);}"
        "QPushButton:hover,QPushButton:focus{border:none;margin:0;border-image:url(:/images/title/mini_hover.png);}"));
    m_pCloseBtn->setStyleSheet(QStringLiteral(
        "QPushButton{border:none;margin:0;border-image:url(:/images/title/close.png);}"
        "QPushButton:hover,QPushButton:focus{border:none;margin:0;border-image:url(:/images/title/close_hover.png);}"));
    SetSizeButtonImages();

    connect(m_pMinimizeBtn, &QPushButton::clicked, this, &CWindowTitle::showSmall);
    connect(m_pSizeBtn, &QPushButton::clicked, this, &CWindowTitle::ChaneMaxSizeOrRestore);
    connect(m_pCloseBtn, &QPushButton::clicked, this, &CWindowTitle::OnCloseWindow);
    m_pIconBtn->setAccessibleName(m_pTitleLabel->text());
    nameButton(m_pMinimizeBtn, tr("Minimize"));
    nameButton(m_pCloseBtn, tr("Close"));
}

void CWindowTitle::SetSizeButtonImages()
{
    const QString base = m_bMaximized ? QStringLiteral("back") : QStringLiteral("full-screen");
    nameButton(m_pSizeBtn, m_bMaximized ? tr("Restore") : tr("Maximize"));
    m_pSizeBtn->setStyleSheet(
        QStringLiteral(
            "QPushButton{border:none;margin:0;border-image:url(:/images/title/%1.png);}"
            "QPushButton:hover,QPushButton:focus{border:none;margin:0;border-image:url(:/images/title/%1_hover.png);}")
            .arg(base));
}

void CWindowTitle::showSmall()
{
    if (m_pControlWidget)
        m_pControlWidget->showMinimized();
}

void CWindowTitle::ChangSizeToFull()
{
    if (!m_pControlWidget)
        return;
    const QRect avail = ScreenFit::Available(m_pControlWidget);
    m_pControlWidget->setMinimumSize(0, 0);
    m_pControlWidget->setMaximumWidth(avail.width());
    m_pControlWidget->setMaximumHeight(avail.height());
    m_pControlWidget->resize(avail.size());
    m_pControlWidget->move(avail.topLeft());
    m_bMaximized = true;
    SetSizeButtonImages();
}

void CWindowTitle::ChaneMaxSizeOrRestore()
{
    if (!m_pControlWidget || !ScreenFit::LargeEnough(ScreenFit::ScreenOf(m_pControlWidget)))
        return;
    if (m_bMaximized) {
        const QRect avail = ScreenFit::Available(m_pControlWidget);
        const QSize size = ScreenFit::Fitted(ScreenFit::kWindowSize, avail);
        m_pControlWidget->setFixedSize(size);
        m_pControlWidget->move(ScreenFit::Centred(size, avail));
        m_bMaximized = false;
        SetSizeButtonImages();
    } else {
        ChangSizeToFull();
    }
}

void CWindowTitle::OnCloseWindow()
{
    if (m_pControlWidget)
        m_pControlWidget->close();
}

void CWindowTitle::mousePressEvent(QMouseEvent *event)
{
    pressTitle(this, m_pControlWidget, event, m_bMaximized, m_bPressed, m_ptPress, m_ptPressOffset);
}

void CWindowTitle::mouseMoveEvent(QMouseEvent *event)
{
    dragTitle(m_pControlWidget, event, m_bMaximized, m_bPressed, m_ptPressOffset);
}

void CWindowTitle::mouseReleaseEvent(QMouseEvent *)
{
    m_bPressed = false;
}

void CWindowTitle::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        ChaneMaxSizeOrRestore();
}

#endif
