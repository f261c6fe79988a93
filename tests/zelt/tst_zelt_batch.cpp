// Batch actions of the panel against the simulator, through the shell's hub
// and the real SDK: a run over many devices in the background, the GUI
// thread's event loop meanwhile, Cancel with devices that no longer answer,
// and the progress dialog of a slow command.

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include "Buttons.h"
#include "CTableView.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "CZeltBatchRunner.h"
#include "CZeltProgressDialog.h"
#include "ZeltDialogCatcher.h"
#include "ZeltHubPanel.h"
#include "ZeltTestSupport.h"
#include "simprocess.h"

using Col = QtZeltItemModel::Column;
using ZeltTest::g_modifyCalls;

namespace {
constexpr int kDevices = 40;
constexpr int kTimeoutMs = 1500; // the SDK's command timeout in this test

// The longest pause between ticks of a 10 ms timer on the GUI thread.
class GapMeter
{
public:
    GapMeter()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_max = qMax(m_max, m_clock.restart());
            ++m_ticks;
        });
        m_clock.start();
        m_timer.start();
    }
    qint64 Longest() const { return qMax(m_max, m_clock.elapsed()); }
    int Ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_max = 0;
    int m_ticks = 0;
};
} // namespace

class ZeltBatchTest : public QObject, public ZeltTest::HubPanel
{
    Q_OBJECT

    SimProcess m_sim{9};
    QTemporaryDir m_tmp;
    DialogCatcher *m_msgs = nullptr;

    QString Cell(int r, int c) { return Model()->index(r, c).data().toString(); }
    QString StatePath() const { return m_sim.dir.filePath("state.json"); }
    QJsonObject State(const QString &serial) { return ZeltTest::SimDeviceState(StatePath(), "serial", serial); }
    // Rows in table order whose safety state is the given one (or all).
    QList<int> Rows(const QString &safety = QString())
    {
        QList<int> rows;
        for (int r = 0; r < Model()->rowCount(); ++r)
            if (safety.isEmpty() || Cell(r, Col::ColSafety) == safety)
                rows << r;
        return rows;
    }
    void SetNetFields(const QString &ip, const QString &mask)
    {
        Type("lineEditIPAddr", ip);
        Type("lineEditIPMask", mask);
        Type("lineEditPort", "8000");
        Type("lineEditHttpPort", "80");
        Type("lineEditPort_Password", "Admin12345");
    }
    // The first row (with this safety state, if given) whose device's type
    // may be changed: the fleet has types the panel never changes.
    int FirstChangeableRow(const QString &safety = QString())
    {
        QSet<QString> changeable;
        for (const ZELT_DEVICE_INFO_MY &d : m_panel->DeviceList())
            if (d.dwDeviceType < 0x9D00 || d.dwDeviceType > 0x9FFF)
                changeable.insert(ZeltRecords::text(d.szSerialNO));
        for (int r : Rows(safety))
            if (changeable.contains(Cell(r, Col::ColSerial)))
                return r;
        return -1;
    }
    QString Ids(const QList<int> &rows)
    {
        QString ids;
        for (int r : rows)
            ids += Cell(r, Col::ColId) + " ";
        return ids;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_STATE_HOME", m_tmp.path().toLocal8Bit());
        qputenv("ZELT_PORT", QByteArray::number(m_sim.port));
        qputenv("ZELT_TIMEOUT_MS", QByteArray::number(kTimeoutMs));
        QVERIFY2(m_sim.start({"--count", QString::number(kDevices), "--state", StatePath(), "--quiet"}),
                 m_sim.errors().constData());

        m_msgs = new DialogCatcher;
        QVERIFY(StartPanel());
        QTRY_COMPARE_WITH_TIMEOUT(Model()->rowCount(), kDevices, 15000);
    }
    void cleanupTestCase()
    {
        StopPanel();
        delete m_msgs;
        m_sim.terminate();
    }
    void init()
    {
        m_msgs->clear();
        g_modifyCalls = 0;
    }

    // Every active device of the fleet gets its address of the run; the
    // summary lists them in selection order, and the event loop never
    // stalls meanwhile.
    void runOverTheFleet()
    {
        const QList<int> rows = Rows("Active");
        QVERIFY(rows.size() > CZeltBatchRunner::kParallel);
        Select(rows);
        SetNetFields("10.90.1.10", "255.255.0.0");
        GapMeter gaps;
        QVERIFY(Act("pushButtonModifyNetwork"));
        QCOMPARE(g_modifyCalls.load(), int(rows.size()));
        QCOMPARE(m_msgs->shown.size(), 1);
        QCOMPARE(m_msgs->lastText(), "Modify network parameter succeed, please reboot your device!ID:" + Ids(rows));
        QVERIFY2(gaps.Longest() < 500, qPrintable(QString::number(gaps.Longest())));

        const QStringList want = [&] {
            QStringList a;
            for (int k = 0; k < rows.size(); ++k)
                a << QString("10.90.1.%1").arg(10 + k);
            return a;
        }();
        for (int k = 0; k < rows.size(); ++k) {
            QCOMPARE(Cell(rows[k], Col::ColIPv4), want[k]);
            const QString serial = Cell(rows[k], Col::ColSerial);
            QTRY_COMPARE(State(serial).value("ipv4").toString(), want[k]);
        }
    }

    // A quick single command shows no progress dialog.
    void quickSingleCommandShowsNoDialog()
    {
        const int row = FirstChangeableRow("Active");
        QVERIFY(row >= 0);
        Select({row});
        QVERIFY(W<QPushButton>("pushButtonModifyNetwork")->isEnabled());
        SetNetFields("10.90.2.10", "255.255.0.0");
        bool sawDialog = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { sawDialog = sawDialog || m_panel->Runner()->Dialog(); });
        watch.start(5);
        QElapsedTimer t;
        t.start();
        QVERIFY(Act("pushButtonModifyNetwork"));
        watch.stop();
        QVERIFY2(t.elapsed() < CZeltBatchRunner::kDialogDelayMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!sawDialog);
        QCOMPARE(m_msgs->lastText(),
                 "Modify network parameter succeed, please reboot your device!ID:" + Cell(row, Col::ColId) + " ");
    }

    // From here on no device answers (the simulator is gone; the SDK still
    // lists the devices for a while).
    void cancelStopsFurtherCommands()
    {
        m_sim.kill();
        const QList<int> rows = Rows();
        QCOMPARE(rows.size(), kDevices);
        Select(rows);
        SetNetFields("10.90.3.10", "255.255.0.0");

        // Device events keep coming in from another thread while commands
        // wait: the panel lock is not held across the waits.
        std::atomic<bool> stop{false};
        std::atomic<qint64> longestIntake{0};
        std::atomic<int> intakes{0};
        std::thread hub([&] {
            int i = 0;
            while (!stop) {
                const ZELT_DEVICE_EVENT ev = ZeltTest::MakeEvent(2, 1000 + (i++ % 5)); // not listed: no change
                QElapsedTimer t;
                t.start();
                OnDeviceEvent(&ev, 0);
                const ZELT_DEVICE_EVENT on = ZeltTest::MakeEvent(1, 5000 + i);
                OnDeviceEvent(&on, 0);
                longestIntake = qMax(longestIntake.load(), t.elapsed());
                ++intakes;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });

        QElapsedTimer clock;
        qint64 cancelledAt = -1;
        QString stoppingText;
        QTimer driver;
        connect(&driver, &QTimer::timeout, [&] {
            CZeltProgressDialog *dlg = m_panel->Runner()->Dialog();
            if (!dlg || !dlg->isVisible())
                return;
            if (cancelledAt < 0) {
                QCOMPARE(dlg->findChild<QLabel *>("labelProgressCount")->text(), QString("0 of %1").arg(kDevices));
                QVERIFY(!dlg->findChild<QLabel *>("labelProgressDevice")->text().isEmpty());
                cancelledAt = clock.elapsed();
                QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
                stoppingText = dlg->findChild<QLabel *>("labelProgressDevice")->text();
                QVERIFY(!dlg->CancelButton()->isEnabled());
            }
        });
        driver.start(10);
        GapMeter gaps;
        clock.start();
        QVERIFY(Act("pushButtonModifyNetwork"));
        const qint64 end = clock.elapsed();
        driver.stop();
        stop = true;
        hub.join();

        QVERIFY(cancelledAt >= CZeltBatchRunner::kDialogDelayMs);
        QCOMPARE(stoppingText, QString("Stopping..."));
        // The commands in flight were the first wave; nothing was sent after.
        QCOMPARE(g_modifyCalls.load(), CZeltBatchRunner::kParallel);
        QVERIFY2(end - cancelledAt < kTimeoutMs + 500, qPrintable(QString::number(end - cancelledAt)));
        QCOMPARE(m_msgs->shown.size(), 1);
        QCOMPARE(m_msgs->lastText(),
                 "Modify network parameter failed!ID:" + Ids(rows.mid(0, CZeltBatchRunner::kParallel)));
        QVERIFY2(gaps.Longest() < 500, qPrintable(QString::number(gaps.Longest())));
        QVERIFY(intakes > 10);
        QVERIFY2(longestIntake < 200, qPrintable(QString::number(longestIntake.load())));
        QTRY_COMPARE(Model()->rowCount(), kDevices + intakes.load());
    }

    // A command that waits shows the dialog after half a second.
    void slowSingleCommandShowsTheDialog()
    {
        const int row = FirstChangeableRow();
        QVERIFY(row >= 0);
        Select({row});
        QVERIFY(W<QPushButton>("pushButtonModifyNetwork")->isEnabled());
        SetNetFields("10.90.4.10", "255.255.0.0");
        QElapsedTimer clock;
        qint64 shownAt = -1;
        Qt::WindowModality modality = Qt::NonModal;
        QWidget *parent = nullptr;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (shownAt < 0 && m_panel->Runner()->Dialog() && m_panel->Runner()->Dialog()->isVisible()) {
                shownAt = clock.elapsed();
                modality = m_panel->Runner()->Dialog()->windowModality();
                parent = m_panel->Runner()->Dialog()->parentWidget();
            }
        });
        watch.start(5);
        clock.start();
        QVERIFY(Act("pushButtonModifyNetwork"));
        watch.stop();
        QVERIFY2(shownAt >= CZeltBatchRunner::kDialogDelayMs - 20,
                 qPrintable(QString("%1 %2 %3").arg(shownAt).arg(clock.elapsed()).arg(m_msgs->lastText())));
        QVERIFY2(shownAt < CZeltBatchRunner::kDialogDelayMs + 300, qPrintable(QString::number(shownAt)));
        QCOMPARE(modality, Qt::WindowModal); // the panel's window only
        QCOMPARE(parent, static_cast<QWidget *>(m_panel));
        QVERIFY(!m_panel->Runner()->Dialog());
        QCOMPARE(g_modifyCalls.load(), 1);
        QCOMPARE(m_msgs->lastText(), "Modify network parameter failed!ID:" + Cell(row, Col::ColId) + " ");
    }

    // Commands that end at once: the pool threads' results arrive in every
    // order around the end of a run, also after the run's last result was
    // taken. Every run ends with each job's own outcome, and the next run
    // can start from the last one's continuation.
    void instantRunsEndWithTheirOutcomes()
    {
        CZeltBatchRunner runner;
        for (int round = 0; round < 150; ++round) {
            const int n = 1 + round % 24;
            QList<CZeltBatchRunner::Job> jobs;
            QList<CZeltBatchRunner::Outcome> expected;
            for (int i = 0; i < n; ++i) {
                const bool ok = (i + round) % 3 != 0;
                jobs.append({QString::number(i), QStringLiteral("job %1").arg(i), [ok] { return ok; }});
                expected.append(ok ? CZeltBatchRunner::Outcome::Succeeded : CZeltBatchRunner::Outcome::Failed);
            }
            int ended = 0;
            // Some rounds wait in a nested loop (as a message box would) at
            // their first result, so that further results pile up.
            const bool nested = round % 10 == 0;
            QFuture<CZeltBatchRunner::Result> done = runner.Run(QStringLiteral("round"), jobs, [&](int, bool) {
                if (nested && ended == 0)
                    QTest::qWait(150);
                ++ended;
            });
            QVERIFY(runner.IsRunning());
            QVERIFY(QTest::qWaitFor([&] { return done.isFinished(); }, 5000));
            QVERIFY(!runner.IsRunning());
            QCOMPARE(done.result().outcomes, expected);
            QCOMPARE(ended, n);
        }
    }
};

QTEST_MAIN(ZeltBatchTest)
#include "tst_zelt_batch.moc"
