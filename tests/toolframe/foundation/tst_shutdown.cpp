// The end of a run: the engine stops while the application object still
// exists, and a tool page that outlives the view store does not bring the
// store (and the engine) back. Each case runs in a child process of this
// program, since it ends that process.
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "CBaseFrame.h"
#include "CViewStoregeManager.h"
#include "zelt_sdk.h"

namespace {

// The engine answers an inquiry only while it runs.
bool engineRuns()
{
    return ZELT_SendInquiry() == 1;
}

int appExitChild(int argc, char **argv)
{
    auto *app = new QApplication(argc, argv);
    CViewStoregeManager::Instance();
    if (!engineRuns()) {
        std::puts("engine did not start");
        return 3;
    }
    delete app;
    const bool runs = engineRuns();
    std::printf("after the application: %s\n", runs ? "running" : "stopped");
    std::fflush(stdout);
    ::_exit(runs ? 1 : 0);
}

QWidget *g_page = nullptr;
QApplication *g_app = nullptr;

// Runs after the store's own end-of-process destruction (registered before
// the store was first used).
void destroyPageAfterTheStore()
{
    const bool storeGone = !CViewStoregeManager::Exists();
    delete g_page;
    const bool recreated = CViewStoregeManager::Exists();
    const bool runs = engineRuns();
    std::printf("store gone first: %d, recreated: %d, engine: %s\n", storeGone, recreated,
                runs ? "running" : "stopped");
    std::fflush(stdout);
    ::_exit(storeGone && !recreated && !runs ? 0 : 1);
}

int pageOutlivesStoreChild(int argc, char **argv)
{
    g_app = new QApplication(argc, argv); // kept: the page goes while it exists
    std::atexit(&destroyPageAfterTheStore);
    // A real tool page (its fake library lies in the test directory).
    g_page = CViewStoregeManager::Instance()->GetPage(3);
    if (!g_page) {
        std::puts("no page for type 3");
        return 3;
    }
    return 0; // static destruction: the store first, then the handler above
}

} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

    static QString runChild(const char *mode, int *code)
    {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode)});
        if (!p.waitForFinished(60000))
            p.kill();
        p.waitForFinished();
        *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    }

private slots:
    void engineStopsWithTheApplication()
    {
        int code = 0;
        const QString out = runChild("--app-exit", &code);
        QVERIFY2(code == 0, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("stopped")), qPrintable(out));
    }

    void pageOutlivingTheStoreLeavesItGone()
    {
        int code = 0;
        const QString out = runChild("--page-outlives-store", &code);
        QVERIFY2(code == 0, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("recreated: 0")), qPrintable(out));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--app-exit") == 0)
        return appExitChild(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--page-outlives-store") == 0)
        return pageOutlivesStoreChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestShutdown t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_shutdown.moc"
