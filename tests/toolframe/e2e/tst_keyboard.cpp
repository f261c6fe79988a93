// The shell worked by keys alone, with the real device-search plug-in and
// two fake tools: the control panel's tools by arrows and Return, tabs by
// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+W and Ctrl+Shift+D, the menus by Alt and
// F10, and the title bar's buttons and the tab strip in the Tab chain.
#include <QtTest>

#include <QAbstractItemView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>

#include "Buttons.h"
#include "CBaseDragFrame.h"
#include "CControlPanelFrame.h"
#include "CTBX.h"
#include "CTabScene.h"
#include "CTabView.h"
#include "CViewStoregeManager.h"
#include "CWindowTitle.h"
#include "ClientConfigManager.h"
#include "ConfigXml.h"

namespace {
QList<int> tabTypes(const CTabScene *scene)
{
    QList<int> out;
    for (int i = 0; i < scene->Count(); ++i)
        out << scene->TabData(i).toInt();
    return out;
}

// A key as the user types it: to an open menu, or else to whatever has the
// focus in the active window.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::activePopupWidget();
    if (!target)
        target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    QVERIFY2(target, "no window takes keys");
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

bool activate(QWidget *window)
{
    // What the window manager does for a window that appears.
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}
} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
    CTBX *m_pMain = nullptr;

    CBaseDragFrame *frame() const { return m_pMain->MainFrame(); }
    CTabScene *scene() const { return frame()->TabScene(); }
    CControlPanelFrame *panel() const
    {
        return qobject_cast<CControlPanelFrame *>(CViewStoregeManager::Instance()->FindPage(1));
    }
    QListWidget *focusedList() const { return qobject_cast<QListWidget *>(QApplication::focusWidget()); }

    // Arrows to the control panel's tool of a page type, Return to open it.
    void openByKeys(int type)
    {
        QVERIFY(focusedList());
        for (int i = 0; i < 12 && focusedList() && focusedList()->currentItem()
                        && focusedList()->currentItem()->data(32).toInt() != type;
             ++i)
            press(Qt::Key_Right);
        QVERIFY(focusedList() && focusedList()->currentItem());
        QCOMPARE(focusedList()->currentItem()->data(32).toInt(), type);
        press(Qt::Key_Return);
    }

private slots:
    void initTestCase()
    {
        qputenv("VELA_DSO_PATH", qgetenv("TOOLBAY_BIN_DIR")); // the real plug-in
        QFile cfg(ClientConfigManager::ProgramDir() + QStringLiteral("/Config.xml"));
        QVERIFY(cfg.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cfg.write(ConfigXml::Encode({"2", "3", "4"}));
        cfg.close();

        m_pMain = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint);
        m_pMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pMain));
        QVERIFY(activate(m_pMain));
    }

    void cleanupTestCase() { delete m_pMain; }

    void panelToolsByArrowsAndReturn()
    {
        QVERIFY(panel());
        // The first tool has the focus from the start.
        QCOMPARE(QApplication::focusWidget(), panel()->OperationList());
        QCOMPARE(panel()->OperationList()->currentItem()->data(32).toInt(), 2);
        QCOMPARE(panel()->HoveredItem(), panel()->OperationList()->currentItem());

        openByKeys(2);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 2}));
        QCOMPARE(scene()->CurrentPageType(), 2);
        CBaseFrame *search = CViewStoregeManager::Instance()->FindPage(2);
        QVERIFY(search);
        QVERIFY2(search->findChild<QAbstractItemView *>(QStringLiteral("tableWidgetDevice")),
                 "the device-search panel is in the page");
        QCOMPARE(frame()->StackedWidget()->currentWidget(), search);
        // The keyboard focus went along into the tool.
        QVERIFY2(search->isAncestorOf(QApplication::focusWidget()),
                 qPrintable(QApplication::focusWidget()->objectName()));

        // Back to the panel (the strip wraps), and a second tool.
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(scene()->CurrentPageType(), 1);
        QVERIFY(focusedList());
        openByKeys(3);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3, 2}));
        QCOMPARE(scene()->CurrentPageType(), 3);
        // A tool without controls of its own: the focus waits on the strip.
        QCOMPARE(QApplication::focusWidget(), frame()->TabView());
    }

    void tabsByKeys()
    {
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(scene()->CurrentPageType(), 2);
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(scene()->CurrentPageType(), 1);
        // Shift+Tab arrives as Backtab.
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(scene()->CurrentPageType(), 2);
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(scene()->CurrentPageType(), 3);
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(scene()->CurrentPageType(), 2);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), CViewStoregeManager::Instance()->FindPage(2));

        // Ctrl+W hides the device-search tab; its left neighbour shows.
        press(Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
        QCOMPARE(scene()->CurrentPageType(), 3);
        QVERIFY(!CViewStoregeManager::Instance()->FindPage(2)->IsShown());

        // The control panel is pinned: it stays.
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(scene()->CurrentPageType(), 1);
        QVERIFY(!frame()->TabAction(CBaseDragFrame::DetachTab)->isEnabled());
        press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 3}));
    }

    void detachByKeys()
    {
        press(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(scene()->CurrentPageType(), 3);
        press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabTypes(scene()), QList<int>({1}));
        CBaseDragFrame *detached = nullptr;
        for (CBaseDragFrame *f : m_pMain->findChildren<CBaseDragFrame *>(QString(), Qt::FindDirectChildrenOnly))
            if (f->isVisible() && f->isWindow())
                detached = f;
        QVERIFY(detached);
        QCOMPARE(tabTypes(detached->TabScene()), QList<int>({3}));
        QVERIFY(QTest::qWaitForWindowExposed(detached));
        QVERIFY(activate(detached));

        // Its own Ctrl+W closes it; the main window keeps its tabs.
        QPointer<CBaseDragFrame> guard(detached);
        press(Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(guard.isNull());
        QCOMPARE(tabTypes(scene()), QList<int>({1}));
        QVERIFY(activate(m_pMain));
    }

    void menusByKeys()
    {
        QMenuBar *bar = frame()->Title()->MenuBar();
        QVERIFY(bar);
        press(Qt::Key_V, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QCOMPARE(menu, frame()->Title()->ViewMenu());
        // The tab commands are listed with their keys.
        QStringList keys;
        for (QAction *a : menu->actions())
            if (!a->shortcut().isEmpty())
                keys << a->shortcut().toString();
        QVERIFY2(keys.contains(QStringLiteral("Ctrl+W")), qPrintable(keys.join(", ")));
        QVERIFY2(keys.contains(QStringLiteral("Ctrl+Shift+D")), qPrintable(keys.join(", ")));
        press(Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(activate(m_pMain)); // a closed menu leaves the window active

        // F10 opens the first menu; Right goes on to the next one.
        press(Qt::Key_F10);
        QTRY_COMPARE(QApplication::activePopupWidget(), frame()->Title()->ViewMenu());
        press(Qt::Key_Right);
        QTRY_VERIFY(QApplication::activePopupWidget()
                    && QApplication::activePopupWidget() != frame()->Title()->ViewMenu());
        while (QApplication::activePopupWidget())
            press(Qt::Key_Escape);
        QVERIFY(activate(m_pMain));
        // The bar keeps the keys until one more Escape gives them back.
        if (qobject_cast<QMenuBar *>(QApplication::focusWidget()))
            press(Qt::Key_Escape);
        QVERIFY(!qobject_cast<QMenuBar *>(QApplication::focusWidget()));
    }

    void tabChainReachesTitleButtonsAndStrip()
    {
        QSet<QWidget *> reached;
        for (int i = 0; i < 40; ++i) {
            press(Qt::Key_Tab);
            if (QApplication::focusWidget())
                reached << QApplication::focusWidget();
        }
        CWindowTitle *title = frame()->Title();
        for (const char *name : {"m_pMinimizeBtn", "m_pCloseBtn"}) {
            QWidget *button = title->findChild<QWidget *>(QLatin1String(name));
            QVERIFY(button);
            QVERIFY2(reached.contains(button), name);
        }
        QVERIFY(reached.contains(title->SizeButton()));
        QVERIFY(reached.contains(frame()->TabView()));

        // On the strip, the arrows choose the tab.
        CViewStoregeManager::Instance()->ShowPage(4);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 4}));
        frame()->TabView()->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Left);
        QCOMPARE(scene()->CurrentPageType(), 1);
        press(Qt::Key_Right);
        QCOMPARE(scene()->CurrentPageType(), 4);
        press(Qt::Key_Right); // wraps
        QCOMPARE(scene()->CurrentPageType(), 1);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
