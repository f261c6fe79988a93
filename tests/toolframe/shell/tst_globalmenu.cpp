// The title bar's menus on a desktop with a global menu bar (a platform
// theme of the test's own stands for one): they stay in the window.
#include <QtTest>

#include <QMenuBar>

#include "CWindowTitle.h"

class TestGlobalMenu : public QObject
{
    Q_OBJECT
private slots:
    void menusStayInTheTitleBar()
    {
        QWidget window;
        window.resize(1024, 60);
        auto *title = new CWindowTitle(&window, true, &window);
        title->setGeometry(0, 0, 1024, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QMenuBar *bar = title->MenuBar();
        QVERIFY(bar);
        QVERIFY(!bar->isNativeMenuBar());
        QVERIFY(bar->isVisible());
        QVERIFY(bar->width() > 0);
        QVERIFY(bar->actions().size() >= 3); // View, Tools, Help
    }

    // The test's theme really offers a global menu bar: a plain menu bar
    // goes there.
    void aPlainMenuBarWouldLeave()
    {
        QWidget window;
        auto *bar = new QMenuBar(&window);
        bar->addMenu(QStringLiteral("&File"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(bar->isNativeMenuBar());
    }
};

QTEST_MAIN(TestGlobalMenu)
#include "tst_globalmenu.moc"
