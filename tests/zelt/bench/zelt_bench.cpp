// Benchmark: device events from a producer thread (standing in for the
// SDK's thread) through the shell's discovery hub and its forwarder into
// the real plug-in's TBX_ZELT_CallBack, shown in the table; offscreen.
//
//   scripts/dev-build.sh zelt_bench
//   QT_QPA_PLATFORM=offscreen TOOLBAY_BIN_DIR=build/dev/bin build/dev/zelt/zelt_bench

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QTreeView>

#include <cstdio>
#include <thread>

#include "CDeviceHub.h"
#include "ZeltTestSupport.h"

namespace {
ZeltTest::Plugin g_plugin;

// The shell's forwarder: the hub hands each event to the open page.
void Forwarder(const ZELT_DEVICE_EVENT *pEvent, void *)
{
    g_plugin.callBack(pEvent);
}

bool Refresh()
{
    return true;
}

long StatusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Runs the producer on its own thread and the GUI loop until the table has
// `rows` rows; returns the elapsed milliseconds. With a hub the events go
// through its cache and forwarder, without one straight to the plug-in.
double Drive(CDeviceHub *hub, QAbstractItemModel *model, int kind, int first, int count, int rows)
{
    QEventLoop loop;
    auto check = [&] {
        if (model->rowCount() == rows)
            loop.quit();
    };
    const auto c1 = QObject::connect(model, &QAbstractItemModel::rowsInserted, &loop, check);
    const auto c2 = QObject::connect(model, &QAbstractItemModel::rowsRemoved, &loop, check);
    QElapsedTimer t;
    t.start();
    std::thread producer([&] {
        for (int i = first; i < first + count; ++i) {
            const ZELT_DEVICE_EVENT ev = ZeltTest::MakeEvent(kind, i);
            if (hub)
                hub->HandleEvent(ev);
            else
                g_plugin.callBack(&ev);
        }
    });
    if (model->rowCount() != rows)
        loop.exec();
    const double ms = t.nsecsElapsed() / 1e6;
    producer.join();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    QCoreApplication::processEvents();
    return ms;
}
} // namespace

int main(int argc, char **argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("zelt.*.debug=false\ndefault.debug=false"));
    QApplication app(argc, argv);
    if (!g_plugin.Load()) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(g_plugin.path), qPrintable(g_plugin.error));
        return 1;
    }
    QWidget host;
    auto *layout = new QGridLayout(&host);
    host.resize(1280, 900);
    host.show();
    if (!g_plugin.open(&host, layout, true, nullptr, nullptr, Refresh))
        return 1;
    auto *table = host.findChild<QTreeView *>(QStringLiteral("tableWidgetDevice"));
    QAbstractItemModel *model = table->model();

    CDeviceHub hub; // not started: the producer thread plays the SDK
    hub.Register(Forwarder, nullptr);

    std::printf("%-52s %10s\n", "measurement", "result");
    int base = 0;
    for (CDeviceHub *path : {static_cast<CDeviceHub *>(nullptr), &hub}) {
        const char *via = path ? "hub -> plug-in" : "plug-in only";
        for (int n : {1000, 10000, 50000}) {
            const long rssBefore = StatusKb("VmRSS:");
            const double ms = Drive(path, model, 1, base, n, n);
            const long rssAfter = StatusKb("VmRSS:");
            std::printf("%-52s %8.0f ms\n", qPrintable(QStringLiteral("[%1] %2 online events shown").arg(via).arg(n)),
                        ms);
            if (n == 50000 && !path)
                std::printf("%-52s %8.0f KB\n", "memory per 1,000 devices (RSS growth / 50)",
                            double(rssAfter - rssBefore) / 50.0);
            if (n == 10000) {
                if (!path) {
                    // Sort by "IPv4 Address" the way a header click does.
                    QElapsedTimer t;
                    t.start();
                    QMetaObject::invokeMethod(table->header(), "sectionClicked", Q_ARG(int, 2));
                    std::printf("%-52s %8.1f ms\n", "sort 10,000 rows by IPv4 Address", t.nsecsElapsed() / 1e6);
                } else {
                    // Reversed, so that every row moves before the departures.
                    QElapsedTimer t;
                    t.start();
                    table->sortByColumn(2, Qt::DescendingOrder);
                    std::printf("%-52s %8.1f ms\n", "sort 10,000 rows by IPv4 Address, descending",
                                t.nsecsElapsed() / 1e6);
                }
                const double offMs = Drive(path, model, 3, base, n, 0);
                std::printf("%-52s %8.0f ms\n",
                            qPrintable(QStringLiteral("[%1] 10,000 offline events on 10,000 rows").arg(via)), offMs);
            } else {
                const double offMs = Drive(path, model, 3, base, n, 0);
                std::printf("%-52s %8.0f ms\n", qPrintable(QStringLiteral("[%1] %2 offline events").arg(via).arg(n)),
                            offMs);
            }
            base += n;
        }
    }
    std::printf("%-44s %8ld KB\n", "peak RSS (VmHWM)", StatusKb("VmHWM:"));
    return 0;
}
