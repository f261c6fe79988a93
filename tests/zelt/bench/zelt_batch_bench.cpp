// Benchmark: network changes of many devices from the panel, against the
// simulator on loopback, through the shell's hub and the real SDK.
//
//   1. set-ip of every device of an all-active fleet (one run of addresses):
//      the time from the click until the summary, and the longest pause of
//      the GUI thread's event loop meanwhile (a 10 ms timer);
//   2. the simulator is killed, so no device answers; a run over the first
//      --unreachable devices: the longest pause, then Cancel on the progress
//      dialog after --cancel-after ms and the time until the run is over.
//
//   zelt_batch_bench [--devices N] [--unreachable M] [--cancel-after MS] [--loss P]
//   (--loss: the simulator drops that share of datagrams each way, so that
//   commands wait for retransmissions as they do on a lossy network)
//   (QT_QPA_PLATFORM=offscreen, TOOLBAY_BIN_DIR = the program directory with
//   zelt-devsim).

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CWarnDlg.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltHubPanel.h"

extern char **environ;

using ZeltTest::g_modifyCalls;

namespace {
pid_t Spawn(const QStringList &args, const QString &out)
{
    std::vector<QByteArray> store;
    for (const QString &a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &s : store)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    const QByteArray o = out.toLocal8Bit();
    posix_spawn_file_actions_addopen(&fa, 1, o.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, o.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

// The longest pause between ticks of a 10 ms timer.
struct GapMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
    void Start()
    {
        longest = 0;
        timer.setInterval(10);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { longest = qMax(longest, clock.restart()); });
        clock.start();
        timer.start();
    }
    qint64 Stop()
    {
        longest = qMax(longest, clock.elapsed());
        timer.stop();
        QObject::disconnect(&timer, nullptr, nullptr, nullptr);
        return longest;
    }
};

// Closes the summary box as soon as it shows and notes when that was.
struct SummaryCatcher {
    QTimer timer;
    QElapsedTimer *clock = nullptr;
    qint64 seenAt = -1;
    QString text;
    void Start(QElapsedTimer *c)
    {
        clock = c;
        seenAt = -1;
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dlg = qobject_cast<CWarnDlg *>(w);
                if (!dlg || !dlg->isVisible())
                    continue;
                if (seenAt < 0) {
                    seenAt = clock->elapsed();
                    text = dlg->Browser()->toPlainText();
                }
                dlg->done(1);
            }
        });
        timer.start();
    }
    void Stop()
    {
        timer.stop();
        QObject::disconnect(&timer, nullptr, nullptr, nullptr);
    }
};

QWidget *ProgressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && QByteArray(w->metaObject()->className()) == "CZeltProgressDialog")
            return w;
    return nullptr;
}

// The panel's action runs in the background: the event loop goes on until
// the action is over (its summary told).
void WaitIdle(QtZelt *panel)
{
    while (panel->IsBusy())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

const QString kOk = QStringLiteral("Modify network parameter succeed, please reboot your device!");
const QString kFailed = QStringLiteral("Modify network parameter failed!");

// The IDs listed after a sentence of the summary, up to the next sentence.
int Ids(const QString &text, const QString &sentence)
{
    const int at = int(text.indexOf(sentence));
    if (at < 0)
        return 0;
    QString part = text.mid(at + sentence.size());
    for (const QString &other : {kOk, kFailed})
        if (const int next = int(part.indexOf(other)); next >= 0)
            part.truncate(next);
    return int(part.count(QLatin1Char(' ')));
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("zelt.*=false"));
    int devices = 1000, unreachable = 100, cancelAfter = 4000;
    QString loss = QStringLiteral("0");
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray a = argv[i];
        if (a == "--devices")
            devices = atoi(argv[i + 1]);
        else if (a == "--unreachable")
            unreachable = atoi(argv[i + 1]);
        else if (a == "--cancel-after")
            cancelAfter = atoi(argv[i + 1]);
        else if (a == "--loss")
            loss = QString::fromLatin1(argv[i + 1]);
    }
    unreachable = qMin(unreachable, devices);

    QTemporaryDir dir;
    const quint16 port = quint16(36000 + (QCoreApplication::applicationPid() % 1000) * 2);
    QJsonArray fleet;
    for (int n = 0; n < devices; ++n)
        fleet.append(
            QJsonObject{{"serial", QString::asprintf("ZB-%06d", n)},
                        {"mac", QString::asprintf("02-5b-00-%02x-%02x-%02x", n >> 16, (n >> 8) & 0xff, n & 0xff)},
                        {"ipv4", QString::asprintf("10.80.%d.%d", n / 250, n % 250 + 1)},
                        {"mask", "255.255.0.0"},
                        {"gateway", "10.80.0.254"},
                        {"support", 0x04},
                        {"password", "Admin12345"}});
    QFile cfg(dir.filePath("fleet.json"));
    if (!cfg.open(QIODevice::WriteOnly))
        return 1;
    cfg.write(QJsonDocument(QJsonObject{{"devices", fleet}}).toJson());
    cfg.close();
    const QString bin = qEnvironmentVariable("TOOLBAY_BIN_DIR", QStringLiteral("."));
    const QString ready = dir.filePath("ready");
    // The SDK lists only certified devices: trust the simulator's maker.
    const QString makerKey = dir.filePath("maker.key"), trust = dir.filePath("trusted-makers.txt");
    const pid_t keyTool = Spawn({bin + "/zelt-devsim", "maker-key", "--public", "--maker-key", makerKey}, trust);
    int keyStatus = 0;
    if (keyTool < 0 || waitpid(keyTool, &keyStatus, 0) != keyTool || !WIFEXITED(keyStatus)
        || WEXITSTATUS(keyStatus) != 0) {
        std::fprintf(stderr, "cannot get the simulator's maker key\n");
        return 1;
    }
    qputenv("ZELT_TRUSTED_MAKERS", trust.toLocal8Bit());
    const pid_t sim = Spawn({bin + "/zelt-devsim", "--interfaces", "lo", "--port", QString::number(port), "--config",
                             cfg.fileName(), "--quiet", "--ready-file", ready, "--maker-key", makerKey, "--loss", loss,
                             "--exit-with-parent"},
                            dir.filePath("sim.out"));
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(ready) && wait.elapsed() < 20000)
        QThread::msleep(20);
    if (!QFile::exists(ready)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    qputenv("ZELT_PORT", QByteArray::number(port));
    qputenv("ZELT_INTERFACES", "lo");
    qputenv("XDG_STATE_HOME", dir.path().toLocal8Bit());

    ZeltTest::HubPanel host;
    if (!host.StartPanel())
        return 1;
    QtZelt *panel = host.Panel();
    QTreeView *table = panel->findChild<QTreeView *>(QStringLiteral("tableWidgetDevice"));
    QAbstractItemModel *model = table->model();
    wait.restart();
    while (model->rowCount() < devices && wait.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::printf("fleet: %d devices shown after %lld ms\n", model->rowCount(), wait.elapsed());
    if (model->rowCount() == 0) {
        std::fprintf(stderr, "no device was listed: nothing to measure\n");
        return 1;
    }
    QThread::msleep(500);
    QCoreApplication::processEvents();

    auto select = [&](int count) {
        QItemSelectionModel *sel = table->selectionModel();
        sel->clearSelection();
        sel->select(QItemSelection(model->index(0, 0), model->index(count - 1, 0)),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sel->setCurrentIndex(model->index(count - 1, 0), QItemSelectionModel::NoUpdate);
        panel->OnDeviceTableClicked(model->index(count - 1, 0));
        auto set = [&](const char *name, const char *text) {
            panel->findChild<QLineEdit *>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
        };
        set("lineEditIPAddr", "10.81.0.1");
        set("lineEditIPMask", "255.255.0.0");
        set("lineEditPort", "8000");
        set("lineEditHttpPort", "80");
        set("lineEditPort_Password", "Admin12345");
    };

    // 1. set-ip of the whole fleet.
    {
        select(devices);
        GapMeter gaps;
        SummaryCatcher summary;
        QElapsedTimer clock;
        g_modifyCalls = 0;
        clock.start();
        summary.Start(&clock);
        gaps.Start();
        panel->OnModifyNetPara();
        WaitIdle(panel);
        const qint64 longest = gaps.Stop();
        summary.Stop();
        std::printf("set-ip of %d devices: %lld ms until the summary; commands %d, succeeded %d, failed %d; "
                    "longest event-loop pause %lld ms\n",
                    devices, summary.seenAt, g_modifyCalls.load(), Ids(summary.text, kOk), Ids(summary.text, kFailed),
                    longest);
    }

    // 2. Nobody answers any more.
    ::kill(sim, SIGKILL);
    waitpid(sim, nullptr, 0);
    {
        select(unreachable);
        GapMeter gaps;
        SummaryCatcher summary;
        QElapsedTimer clock;
        qint64 cancelledAt = -1;
        int sentAtCancel = 0;
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            if (cancelledAt >= 0 || clock.elapsed() < cancelAfter)
                return;
            if (QWidget *dlg = ProgressDialog()) {
                if (auto *cancel = dlg->findChild<QAbstractButton *>(QStringLiteral("pCancelBtn"))) {
                    sentAtCancel = g_modifyCalls;
                    cancelledAt = clock.elapsed();
                    cancel->click();
                }
            }
        });
        g_modifyCalls = 0;
        clock.start();
        summary.Start(&clock);
        canceller.start(10);
        gaps.Start();
        panel->OnModifyNetPara();
        WaitIdle(panel);
        const qint64 longest = gaps.Stop();
        summary.Stop();
        canceller.stop();
        const qint64 end = summary.seenAt >= 0 ? summary.seenAt : clock.elapsed();
        std::printf("%d unreachable devices: longest event-loop pause %lld ms; ", unreachable, longest);
        if (cancelledAt >= 0)
            std::printf("Cancel after %lld ms (%d commands sent by then); run over %lld ms after Cancel; "
                        "%d commands in all, %d reported failed\n",
                        cancelledAt, sentAtCancel, end - cancelledAt, g_modifyCalls.load(), Ids(summary.text, kFailed));
        else
            std::printf("no Cancel possible; run over after %lld ms, %d commands\n", end, g_modifyCalls.load());
    }
    host.StopPanel();
    return 0;
}
