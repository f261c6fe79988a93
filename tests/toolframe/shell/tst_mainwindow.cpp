// The shell's main window against fake tool libraries: control panel,
// menus, opening, closing and reopening tools, size commands, the close
// confirmation and F1.
#include <QtTest>

#include <QAccessible>
#include <QAction>
#include <QDesktopServices>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QTextBrowser>

#include "Buttons.h"
#include "CBaseDragFrame.h"
#include "CControlPanelFrame.h"
#include "CTBX.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "CWarnDlg.h"
#include "CWindowTitle.h"
#include "ClientConfigManager.h"
#include "ClientWriterProperty.h"
#include "ConfigXml.h"
#include "fake_tool.h"

namespace {
QByteArray libPath(const char *file)
{
    return (ClientConfigManager::ProgramDir() + QLatin1Char('/') + QLatin1String(file)).toLocal8Bit();
}

QList<int> tabTypes(CTabScene *scene)
{
    QList<int> out;
    for (int i = 0; i < scene->Count(); ++i)
        out << scene->TabData(i).toInt();
    return out;
}

QStringList texts(QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

int countStarting(const QStringList &calls, const QString &prefix)
{
    int n = 0;
    for (const QString &c : calls)
        n += c.startsWith(prefix);
    return n;
}

// Answers the next modal box: 1 presses Return (confirm), 0 closes it.
void answerNextBox(int answer)
{
    QTimer::singleShot(0, [answer] {
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget(), 5000);
        auto *dlg = qobject_cast<CWarnDlg *>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        if (answer == 1)
            QTest::keyClick(dlg, Qt::Key_Return);
        else
            dlg->reject();
    });
}
} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestMainWindow : public QObject
{
    Q_OBJECT
    CTBX *m_pMain = nullptr;
    UrlCatcher m_urls;

    CBaseDragFrame *frame() const { return m_pMain->MainFrame(); }
    CTabScene *scene() const { return frame()->TabScene(); }

private slots:
    void initTestCase()
    {
        // Every fake tool, plus 5 (library missing) and 13/14 (never listed).
        QFile cfg(ClientConfigManager::ProgramDir() + QStringLiteral("/Config.xml"));
        QVERIFY(cfg.open(QIODevice::WriteOnly | QIODevice::Truncate));
        cfg.write(ConfigXml::Encode({"3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}));
        cfg.close();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "open");

        m_pMain = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint);
        m_pMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pMain));
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void startsWithTheControlPanelAt1024x768Centred()
    {
        QCOMPARE(tabTypes(scene()), QList<int>({1}));
        QVERIFY(scene()->IsTabPinned(0));
        QCOMPARE(m_pMain->size(), QSize(1024, 768));
        QCOMPARE(m_pMain->pos(), QPoint((1280 - 1024) / 2, (1024 - 768) / 2));
        QCOMPARE(frame()->GetFrameId(), 0);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), CViewStoregeManager::Instance()->FindPage(1));
    }

    void controlPanelListsInstalledEnabledTools()
    {
        auto *panel = qobject_cast<CControlPanelFrame *>(CViewStoregeManager::Instance()->FindPage(1));
        QVERIFY(panel);
        // Page-table order; six in the first list, the rest in the second; 9 apart.
        QCOMPARE(texts(panel->OperationList()),
                 QStringList({"TBX-ARCH", "TBX-CAMC", "TBX-CLIP", "TBX-FWUP", "TBX-STOR", "TBX-FOCA"}));
        QCOMPARE(texts(panel->ManagementList()), QStringList({"TBX-OPTK", "TBX-BULK"}));
        QCOMPARE(texts(panel->TaskList()), QStringList({"TBX-TASK"}));
        QCOMPARE(panel->OperationList()->item(1)->data(32).toInt(), 3);
    }

    // The item under the pointer is drawn on its hover fill.
    void hoveredToolIsFilled()
    {
        auto *panel = qobject_cast<CControlPanelFrame *>(CViewStoregeManager::Instance()->FindPage(1));
        QVERIFY(panel);
        scene()->SetCurrentIndex(0);
        QListWidget *list = panel->OperationList();
        QListWidgetItem *item = list->item(2);
        QVERIFY(item && !item->isSelected());
        const QRect r = list->visualItemRect(item);
        const QPoint corner = r.topLeft() + QPoint(3, 3); // clear of icon and text
        auto colourAt = [&] { return list->viewport()->grab().toImage().pixelColor(corner); };
        const QColor before = colourAt();
        QMouseEvent move(QEvent::MouseMove, QPointF(r.center()), list->viewport()->mapToGlobal(QPointF(r.center())),
                         Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(list->viewport(), &move);
        QCOMPARE(panel->HoveredItem(), item);
        QCOMPARE(colourAt(), QColor(171, 171, 171));
        QVERIFY(before != QColor(171, 171, 171));
    }

    void toolsMenuFollowsConfigAndLibraries()
    {
        CWindowTitle *title = frame()->Title();
        QVERIFY(title->MenuBar());
        QMenu *tools = title->MenuBar()->actions().at(1)->menu();
        QStringList entries;
        for (QAction *a : tools->actions())
            entries << a->text();
        // Menu key 5 (StoragePlanner) and key 3 (CamCount) enabled; key 5's
        // "LinkPlanner" has no library; keys 11 and 14 have no entry.
        QCOMPARE(entries, QStringList({"Archive Fetch", "Open TBX-CAMC", "Clip Viewer", "Open Bulk Firmware",
                                       "Open Storage Planner", "Sharpness Aid", "Optics Picker", "Bulk Settings",
                                       "Task Planner"}));
        QVERIFY(title->IsToolEnabled(13));
        QVERIFY(!title->IsToolEnabled(2));
    }

    void taskPlannerIsOfferedWhateverConfigSays_data()
    {
        QTest::addColumn<QByteArray>("config"); // empty: no file
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("listed without 13")
            << ConfigXml::Encode({"3", "12"}) << QStringList({"Open TBX-CAMC", "Bulk Settings", "Task Planner"});
        QTest::newRow("empty list") << ConfigXml::Encode({}) << QStringList({"Task Planner"});
        QTest::newRow("malformed") << QByteArray("<Config><Tools>Mi**Mw==</Tools></Config>")
                                   << QStringList({"Task Planner"});
        QTest::newRow("missing") << QByteArray() << QStringList({"Task Planner"});
    }
    void taskPlannerIsOfferedWhateverConfigSays()
    {
        QFETCH(QByteArray, config);
        QFETCH(QStringList, entries);
        // Config.xml is read when a title bar with menus is built; the
        // window's own file comes back afterwards.
        const QString path = ClientConfigManager::ProgramDir() + QStringLiteral("/Config.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        file.close();
        const auto restore = qScopeGuard([&] {
            QFile f(path);
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write(saved);
        });
        QFile::remove(path);
        if (!config.isEmpty()) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(config);
            file.close();
        }

        CWindowTitle title(nullptr, true);
        QMenu *tools = title.MenuBar()->actions().at(1)->menu();
        QStringList labels;
        QAction *planner = nullptr;
        for (QAction *a : tools->actions()) {
            labels << a->text();
            if (a->text() == QStringLiteral("Task Planner"))
                planner = a;
        }
        QCOMPARE(labels, entries);
        QVERIFY(title.IsToolEnabled(13));
        QCOMPARE(title.IsToolEnabled(3), entries.contains(QStringLiteral("Open TBX-CAMC")));

        QVERIFY(planner);
        QSignalSpy pages(&title, &CWindowTitle::ShowPage);
        planner->trigger();
        QCOMPARE(pages.count(), 1);
        QCOMPARE(pages.at(0).at(0).toInt(), 9);
    }

    void toolsOpenBehindTheControlPanel()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        store->ShowPage(3);
        store->ShowPage(4);
        store->ShowPage(6);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 4, 3}));
        QCOMPARE(scene()->CurrentPageType(), 6);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), store->FindPage(6));
        QCOMPARE(ClientWriterProperty::Records().at(0).m_listTypes, QList<int>({1, 6, 4, 3}));

        // Tool 4 gets no services although its page had them; 6 gets all three.
        const QStringList stor = FakeToolCalls(libPath("libStoragePlanner.so"));
        QCOMPARE(stor.value(0), QStringLiteral("open title=0 modify=0 reset=0 refresh=0 layout=1"));
        QCOMPARE(stor.value(1), QStringLiteral("size 0"));
        QCOMPARE(FakeToolCalls(libPath("libSharpnessAid.so")).value(0),
                 QStringLiteral("open title=0 modify=1 reset=1 refresh=1 layout=1"));
        QCOMPARE(FakeToolCalls(libPath("libCamCountPlanner.so")).value(0),
                 QStringLiteral("open title=0 modify=0 reset=0 refresh=0 layout=1"));
    }

    // What a screen reader finds in the window: every control has a name,
    // the strip lists its tabs by their texts.
    void everyControlIsNamed()
    {
        const QSet<QAccessible::Role> controls = {QAccessible::PushButton,   QAccessible::CheckBox,
                                                  QAccessible::EditableText, QAccessible::ComboBox,
                                                  QAccessible::PageTab,      QAccessible::MenuItem};
        QStringList nameless, tabs;
        std::function<void(QAccessibleInterface *, const QString &)> walk = [&](QAccessibleInterface *iface,
                                                                                const QString &path) {
            const QString here = path + QLatin1Char('/')
                                 + (iface->object() ? QString::fromLatin1(iface->object()->metaObject()->className())
                                                    : QStringLiteral("?"));
            if (controls.contains(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
                nameless << here + QLatin1Char(' ') + iface->object()->objectName();
            if (iface->role() == QAccessible::PageTab)
                tabs << iface->text(QAccessible::Name);
            for (int i = 0; i < iface->childCount(); ++i)
                if (QAccessibleInterface *child = iface->child(i))
                    walk(child, here);
        };
        walk(QAccessible::queryAccessibleInterface(m_pMain), QString());
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QLatin1Char('\n'))));
        QStringList strip;
        for (int i = 0; i < scene()->Count(); ++i)
            strip << scene()->TabText(i);
        QCOMPARE(tabs, strip);
        QCOMPARE(frame()->Title()->findChild<QWidget *>(QStringLiteral("m_pCloseBtn"))->accessibleName(),
                 QStringLiteral("Close"));
    }

    void reopeningSelectsTheExistingTab()
    {
        CViewStoregeManager::Instance()->ShowPage(3);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 4, 3}));
        QCOMPARE(scene()->CurrentPageType(), 3);
        QCOMPARE(countStarting(FakeToolCalls(libPath("libCamCountPlanner.so")), "open"), 1);
    }

    void closedTabKeepsItsPage()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        CBaseFrame *page = store->FindPage(4);
        QVERIFY(page);
        page->setProperty("state", 42);
        frame()->OnTabClosed(2);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 6, 3}));
        QVERIFY(!page->IsShown());
        QCOMPARE(store->FindPage(4), page);

        store->ShowPage(4);
        QCOMPARE(tabTypes(scene()), QList<int>({1, 4, 6, 3}));
        QCOMPARE(store->FindPage(4)->property("state").toInt(), 42);
        QCOMPARE(countStarting(FakeToolCalls(libPath("libStoragePlanner.so")), "open"), 1);
    }

    void sizeChangeReachesTheTool()
    {
        CBaseFrame *page = CViewStoregeManager::Instance()->FindPage(3);
        page->ChangeSize(true);
        page->ChangeSize(false);
        const QStringList calls = FakeToolCalls(libPath("libCamCountPlanner.so"));
        QCOMPARE(calls.mid(calls.size() - 2), QStringList({"size 1", "size 0"}));
    }

    void extendGoesOnlyToTool11()
    {
        CViewStoregeManager::Instance()->ShowPage(11);
        CWindowTitle *title = frame()->Title();
        title->OnShowSize(258);
        title->OnShowSize(257);
        const QStringList calls = FakeToolCalls(libPath("libClipViewer.so"));
        QCOMPARE(calls.mid(calls.size() - 2), QStringList({"extend 1", "extend 0"}));
    }

    void sizeCommandsAndRestore()
    {
        CWindowTitle *title = frame()->Title();
        title->OnShowSize(258);
        QCOMPARE(m_pMain->size(), QSize(1280, 1024));
        QCOMPARE(title->SizeMode(), 258);
        QVERIFY(title->SizeAction(258)->isChecked());
        QCOMPARE(title->SizeButton()->objectName(), QStringLiteral("m_pFullSizeBtn"));

        title->OnShowSize(259);
        QVERIFY(title->IsFullScreen());
        QCOMPARE(title->SizeButton()->objectName(), QStringLiteral("m_pNormalSizeBtn"));
        QCOMPARE(title->SizeMode(), 258);

        // No dragging while full screen.
        const QPoint before = m_pMain->pos();
        QTest::mousePress(title, Qt::LeftButton, {}, QPoint(300, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(350, 40), title->mapToGlobal(QPointF(350, 40)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(title, &move);
        QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(350, 40));
        QCOMPARE(m_pMain->pos(), before);

        // A double click returns to the last fixed size.
        QTest::mouseDClick(title, Qt::LeftButton, {}, QPoint(300, 10));
        QVERIFY(!title->IsFullScreen());
        QCOMPARE(m_pMain->size(), QSize(1280, 1024));

        title->OnShowSize(257);
        QCOMPARE(m_pMain->size(), QSize(1024, 768));
        title->OnShowSize(999); // ignored
        QCOMPARE(m_pMain->size(), QSize(1024, 768));
    }

    void titleDragsTheWindow()
    {
        CWindowTitle *title = frame()->Title();
        const QPoint start = m_pMain->pos();
        // Only the left button drags.
        for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
            QTest::mousePress(title, button, {}, QPoint(300, 10));
            const QPointF to(340, 30);
            QMouseEvent move(QEvent::MouseMove, to, title->mapToGlobal(to), Qt::NoButton, button, {});
            QApplication::sendEvent(title, &move);
            QTest::mouseRelease(title, button, {}, to.toPoint());
            QCOMPARE(m_pMain->pos(), start);
        }

        const QPoint before = m_pMain->pos();
        QTest::mousePress(title, Qt::LeftButton, {}, QPoint(300, 10));
        // The window follows the cursor, keeping the press point under it.
        const QPoint offset = title->mapToParent(QPoint(300, 10));
        const QPointF local(340, 30);
        const QPoint expected = title->mapToGlobal(local).toPoint() - offset;
        QMouseEvent move(QEvent::MouseMove, local, title->mapToGlobal(local), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(title, &move);
        QTest::mouseRelease(title, Qt::LeftButton, {}, local.toPoint());
        QCOMPARE(m_pMain->pos(), expected);
        QVERIFY((m_pMain->pos() - before - QPoint(40, 20)).manhattanLength() <= 2);
    }

    void f1OpensTheCurrentToolsManual()
    {
        const QString manual = QDir::currentPath() + QStringLiteral("/Storage Planner User Manual.pdf");
        QFile pdf(manual);
        QVERIFY(pdf.open(QIODevice::WriteOnly));
        pdf.close();
        const auto removeManual = qScopeGuard([&] { QFile::remove(manual); });
        m_urls.urls.clear();
        scene()->SetCurrentIndex(0);
        QTest::keyClick(m_pMain, Qt::Key_F1);
        QVERIFY(m_urls.urls.isEmpty()); // control panel: no manual
        CViewStoregeManager::Instance()->ShowPage(4);
        QTest::keyClick(m_pMain, Qt::Key_F1);
        QCOMPARE(m_urls.urls.size(), 1);
        QCOMPARE(m_urls.urls.at(0), QUrl::fromLocalFile(manual));
        QVERIFY(m_urls.urls.at(0).toString().startsWith("file:///"));
        QVERIFY(!m_urls.urls.at(0).toString().startsWith("file:////"));
        QVERIFY(!CTBX::OpenManual(13));
        QVERIFY(!CTBX::OpenManual(14));
        QVERIFY(CTBX::ManualFileName(2, 1).endsWith(".pdf"));
        QVERIFY(CTBX::ManualFileName(2, 1) != CTBX::ManualFileName(2, 0));
    }

    // The main window acts on F1 only; other keys go on to whatever
    // handles them after it.
    void otherKeysAreNotTaken()
    {
        for (int key : {int(Qt::Key_A), int(Qt::Key_Escape), int(Qt::Key_F2)}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(m_pMain, &press);
            QVERIFY2(!press.isAccepted(), qPrintable(QKeySequence(key).toString()));
        }
    }

    // A manual that is not installed is reported, although the desktop
    // would accept the address.
    void f1WithoutTheManualSaysSo()
    {
        QVERIFY(!QFile::exists(QDir::currentPath() + QStringLiteral("/Cam Count Planner User Manual.pdf")));
        CViewStoregeManager::Instance()->ShowPage(3);
        QCOMPARE(scene()->CurrentPageType(), 3);
        m_urls.urls.clear();
        QString title, text;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget(), 5000);
            auto *dlg = qobject_cast<CWarnDlg *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            title = dlg->GetTitleText();
            text = dlg->Browser()->toPlainText();
            dlg->close();
        });
        QTest::keyClick(m_pMain, Qt::Key_F1);
        QCOMPARE(text, QStringLiteral("Can not find Manual."));
        QCOMPARE(title, QStringLiteral("Info"));
        QVERIFY(m_urls.urls.isEmpty());
    }

    void detachedWindowAndBack()
    {
        CViewStoregeManager *store = CViewStoregeManager::Instance();
        // What a drag out of the strip ends in: a new frame with the page.
        auto *detached = new CBaseDragFrame(frame(), true);
        detached->setParent(m_pMain, Qt::Dialog | Qt::FramelessWindowHint);
        frame()->OnTabClosed(tabTypes(scene()).indexOf(6)); // the page leaves the main strip
        detached->AddOrActivate(6, true);
        emit detached->SignalShowSize(257);
        detached->show();
        QCOMPARE(detached->size(), QSize(1024, 768));
        QVERIFY(!detached->Title()->MenuBar());
        QCOMPARE(detached->windowTitle(), QStringLiteral("TBX"));
        QVERIFY(detached->Title()->SizeButton()->menu());
        QCOMPARE(ClientWriterProperty::FrameHolding(6), detached->GetFrameId());
        QCOMPARE(detached->StackedWidget()->currentWidget(), store->FindPage(6));
        const QStringList calls = FakeToolCalls(libPath("libSharpnessAid.so"));
        QCOMPARE(calls.last(), QStringLiteral("size 1"));

        // Reopening from the main window while it lives: made current there.
        store->ShowPage(6);
        QVERIFY(!tabTypes(scene()).contains(6));

        QPointer<CBaseDragFrame> guard(detached);
        detached->close();
        QTRY_VERIFY(guard.isNull());
        QCOMPARE(ClientWriterProperty::FrameHolding(6), -1);
        CBaseFrame *page = store->FindPage(6);
        QVERIFY(page);
        QVERIFY(!page->IsShown());

        store->ShowPage(6);
        QVERIFY(tabTypes(scene()).contains(6));
        QCOMPARE(store->FindPage(6), page);
        QCOMPARE(frame()->StackedWidget()->currentWidget(), page);
    }

    void closingTheLastTabAsksToCloseTheApplication()
    {
        while (scene()->Count() > 1)
            frame()->OnTabClosed(1);
        QCOMPARE(tabTypes(scene()), QList<int>({1}));
        QVERIFY(scene()->IsTabPinned(0));

        answerNextBox(0);
        frame()->OnTabClosed(0);
        QVERIFY(m_pMain->isVisible());
        QCOMPARE(tabTypes(scene()), QList<int>({1}));

        answerNextBox(1);
        m_pMain->close();
        QVERIFY(!m_pMain->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
