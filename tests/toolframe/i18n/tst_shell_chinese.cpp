// The shell started in Chinese: "Setup.xml" chooses "Translator" 1, start-up
// installs the compiled translations from the program directory's
// "translations/", and the main window, its menus, the control panel, the
// About box and the message boxes show Chinese. The test's program directory
// is a directory of its own holding the translations (see CMakeLists.txt).
#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QTextBrowser>

#include "CBaseDragFrame.h"
#include "CControlPanelFrame.h"
#include "CDlgAbout.h"
#include "COrviApplication.h"
#include "CTBX.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "CWarnDlg.h"
#include "CWindowTitle.h"
#include "ClientConfigManager.h"
#include "ConfigXml.h"

namespace {
QString programFile(const QString &name)
{
    return ClientConfigManager::ProgramDir() + QLatin1Char('/') + name;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

bool hasHan(const QString &s)
{
    for (const QChar c : s)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        if (!a->isSeparator())
            out << a->text();
    return out;
}

struct BoxSeen {
    QString title, text, confirm, cancel;
    bool seen = false;
};

// Reads the next modal box, then closes it with the given answer (1 confirm).
void readNextBox(BoxSeen *seen, int answer)
{
    QTimer::singleShot(0, [seen, answer] {
        QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<CWarnDlg *>(QApplication::activeModalWidget()), 5000);
        auto *dlg = qobject_cast<CWarnDlg *>(QApplication::activeModalWidget());
        seen->seen = true;
        seen->title = dlg->GetTitleText();
        seen->text = dlg->Browser()->toPlainText();
        if (auto *b = dlg->findChild<QPushButton *>(QStringLiteral("m_pConfirmBtn")); b && b->isVisible())
            seen->confirm = b->text();
        if (auto *b = dlg->findChild<QPushButton *>(QStringLiteral("m_pCancelBtn")); b && b->isVisible())
            seen->cancel = b->text();
        if (answer == 1)
            QTest::keyClick(dlg, Qt::Key_Return);
        else
            dlg->reject();
    });
}
} // namespace

class TestShellChinese : public QObject
{
    Q_OBJECT
    CTBX *m_pMain = nullptr;

    CBaseDragFrame *frame() const { return m_pMain->MainFrame(); }

private slots:
    void initTestCase()
    {
        m_pMain = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint);
        m_pMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pMain));
    }

    void chineseIsTheCurrentLanguage()
    {
        ClientLanguageManager *lang = ClientLanguageManager::Instance();
        QList<int> ids;
        for (const ClientLanguageProperty &p : lang->Languages())
            ids << p.m_iId;
        QCOMPARE(ids, QList<int>({0, 1, 2, 3})); // the Chinese rows loaded here
        const ClientLanguageProperty *current = lang->CurrentLanguage();
        QVERIFY(current);
        QCOMPARE(current->m_iId, 1);
        QCOMPARE(current->m_locale.language(), QLocale::Chinese);
        QVERIFY(current->m_pAppTranslator && !current->m_pAppTranslator->isEmpty());
        QVERIFY(current->m_pToolkitTranslator && !current->m_pToolkitTranslator->isEmpty());
    }

    void entryPointMessages()
    {
        QCOMPARE(QCoreApplication::translate("main", "Software is already running."), QStringLiteral("软件已在运行。"));
        QCOMPARE(QCoreApplication::translate("main", "Hint"), QStringLiteral("提示"));
        QVERIFY(hasHan(QCoreApplication::translate("main", "The least resolution is 1024*768.")));
    }

    void menusAreChinese()
    {
        QMenuBar *bar = frame()->Title()->MenuBar();
        QVERIFY(bar);
        QCOMPARE(actionTexts(bar->actions()), QStringList({"视图(&V)", "工具(&T)", "帮助(&H)"}));
        QCOMPARE(actionTexts(bar->actions().at(0)->menu()->actions()),
                 QStringList({"1024*768", "1280*1024", "全屏", "控制面板", "下一个标签页", "上一个标签页", "关闭标签页",
                              "分离标签页"}));
        // The installed fake tools that Config.xml enables, in menu order.
        QCOMPARE(actionTexts(bar->actions().at(1)->menu()->actions()),
                 QStringList({"打开 TBX-CAMC", "打开存储规划", "清晰度辅助", "任务规划"}));
        QCOMPARE(actionTexts(bar->actions().at(2)->menu()->actions()), QStringList({"关于"}));
    }

    void menuTitlesAreDrawnWhole()
    {
        // A title with a mnemonic gets exactly the room of its text without
        // the '&'; the bar must draw it whole, as a bar with the plain base
        // style and the same style sheet does, not elided ("视图(...").
        QMenuBar *bar = frame()->Title()->MenuBar();
        std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(plain);
        QMenuBar ref;
        ref.setStyle(plain.get());
        ref.setStyleSheet(bar->styleSheet());
        ref.setFont(bar->font());
        ref.setPalette(bar->palette());
        for (QAction *a : bar->actions())
            ref.addMenu(a->text());
        ref.resize(bar->size());
        ref.ensurePolished();
        const QImage drawn = bar->grab().toImage();
        const QImage expected = ref.grab().toImage();
        for (int i = 0; i < bar->actions().size(); ++i) {
            const QRect r = bar->actionGeometry(bar->actions().at(i));
            QCOMPARE(r, ref.actionGeometry(ref.actions().at(i)));
            QVERIFY2(drawn.copy(r) == expected.copy(r), qPrintable(bar->actions().at(i)->text()));
        }
    }

    void controlPanelIsChinese()
    {
        auto *panel = qobject_cast<CControlPanelFrame *>(CViewStoregeManager::Instance()->FindPage(1));
        QVERIFY(panel);
        QCOMPARE(frame()->TabScene()->TabText(0), QStringLiteral("控制面板"));
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("工具列表"));
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("label_4"))->text(), QStringLiteral("任务模式"));

        // Hovering a tool shows its description in the tip label.
        QListWidget *list = panel->OperationList();
        QVERIFY(list->count() > 0);
        QListWidgetItem *storage = nullptr;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->data(32).toInt() == 4)
                storage = list->item(i);
        QVERIFY(storage);
        QCOMPARE(storage->text(), QStringLiteral("TBX-STOR")); // code names stay
        emit list->itemEntered(storage);
        QVERIFY(panel->TipLabel()->text().contains(QStringLiteral("存储规划：已知磁盘空间时计算可录像时长")));
        QVERIFY(!panel->TipLabel()->text().contains(QStringLiteral("recording time")));
    }

    void openedToolTabKeepsItsName()
    {
        CViewStoregeManager::Instance()->ShowPage(3);
        CTabScene *scene = frame()->TabScene();
        QTRY_COMPARE(scene->Count(), 2);
        QCOMPARE(scene->TabText(1), QStringLiteral("TBX-CAMC"));
        QCOMPARE(scene->TabText(0), QStringLiteral("控制面板"));
    }

    void aboutBoxIsChinese()
    {
        CDlgAbout dlg(m_pMain);
        QCOMPARE(dlg.GetTitleText(), QStringLiteral("关于"));
        QCOMPARE(dlg.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("名称："));
        QCOMPARE(dlg.OkButton()->text(), QStringLiteral("确定"));
        QVERIFY(dlg.VersionLabel()->text().contains(QStringLiteral("构建")));
    }

    void closeConfirmationIsChinese()
    {
        BoxSeen seen;
        readNextBox(&seen, 0);
        m_pMain->close();
        QTRY_VERIFY(seen.seen);
        QVERIFY(m_pMain->isVisible()); // cancelled
        QCOMPARE(seen.title, QStringLiteral("确认"));
        QCOMPARE(seen.text, QStringLiteral("确定要关闭软件吗？"));
        QCOMPARE(seen.confirm, QStringLiteral("确定"));
        QCOMPARE(seen.cancel, QStringLiteral("取消"));
    }

    void alreadyRunningBoxIsChinese()
    {
        // The entry point's parentless box for a second start.
        CWarnDlg dlg(nullptr);
        BoxSeen seen;
        readNextBox(&seen, 1);
        dlg.ExecMsg(QCoreApplication::translate("main", "TBX"),
                    QCoreApplication::translate("main", "Software is already running."));
        QVERIFY(seen.seen);
        QCOMPARE(seen.title, QStringLiteral("TBX"));
        QCOMPARE(seen.text, QStringLiteral("软件已在运行。"));
    }

    void qtStandardTextsAreChinese()
    {
        // Qt's own dialog and editor texts come with the toolkit translation.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QVERIFY(hasHan(QCoreApplication::translate("QLineEdit", "&Undo")));
        // And the toolkit's own texts.
        QCOMPARE(QCoreApplication::translate("CRankButton", "Middle"), QStringLiteral("中"));
        QCOMPARE(QCoreApplication::translate("CSearchLineEdit", "Search..."), QStringLiteral("搜索..."));
    }

    void cleanupTestCase()
    {
        BoxSeen seen;
        readNextBox(&seen, 1);
        m_pMain->close();
        QTRY_VERIFY(seen.seen);
        QVERIFY(!m_pMain->isVisible());
        delete m_pMain;
    }
};

int main(int argc, char **argv)
{
    // Before the application object: start-up reads these.
    if (!writeFile(programFile(QStringLiteral("Setup.xml")),
                   "<?xml version=\"1.0\"?><Configs><Translator><Value>1</Value></Translator>"
                   "<VersionType><Value>1</Value></VersionType></Configs>")
        || !writeFile(programFile(QStringLiteral("Config.xml")), ConfigXml::Encode({"3", "4", "6", "13"}))) {
        qCritical("cannot write the test's configuration into %s", qPrintable(ClientConfigManager::ProgramDir()));
        return 1;
    }
    COrviApplication app(argc, argv, QStringLiteral("TBX-zh-test-%1").arg(QCoreApplication::applicationPid()));
    TestShellChinese test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell_chinese.moc"
