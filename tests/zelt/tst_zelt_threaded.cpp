// Device events delivered from another thread, as the hub's thread does,
// while the GUI thread runs the panel.

#include <QAbstractItemModel>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QTreeView>
#include <QtTest>

#include <atomic>
#include <thread>

#include "ZeltTestSupport.h"

using ZeltTest::MakeEvent;

class ZeltThreadedTest : public QObject
{
    Q_OBJECT

    ZeltTest::Plugin m_plugin;
    QWidget *m_host = nullptr;
    QTreeView *m_table = nullptr;
    QAbstractItemModel *m_model = nullptr;

    static bool Refresh() { return true; }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_plugin.Load(), qPrintable(m_plugin.error));
        m_host = new QWidget;
        auto *layout = new QGridLayout(m_host);
        m_host->resize(1200, 800);
        m_host->show();
        QVERIFY(m_plugin.open(m_host, layout, true, nullptr, nullptr, Refresh));
        m_table = m_host->findChild<QTreeView *>(QStringLiteral("tableWidgetDevice"));
        QVERIFY(m_table);
        m_model = m_table->model();
    }

    void eventsFromAnotherThread()
    {
        constexpr int kDevices = 600;
        std::atomic<bool> done{false};
        std::thread hub([&] {
            for (int i = 0; i < kDevices; ++i) {
                const ZELT_DEVICE_EVENT on = MakeEvent(1, i);
                m_plugin.callBack(&on);
            }
            for (int i = 0; i < kDevices; i += 3) {
                ZELT_DEVICE_EVENT up = MakeEvent(2, i);
                ZeltTest::Put(up.szIPv4Address, "172.16.0.1");
                m_plugin.callBack(&up);
            }
            // Every second device leaves, interleaved with a few arrivals.
            for (int i = 0; i < kDevices; i += 2) {
                const ZELT_DEVICE_EVENT off = MakeEvent(3, i);
                m_plugin.callBack(&off);
                if (i % 100 == 0) {
                    const ZELT_DEVICE_EVENT on = MakeEvent(4, kDevices + i);
                    m_plugin.callBack(&on);
                }
            }
            done = true;
        });
        // The GUI thread keeps working (selecting rows) meanwhile.
        while (!done) {
            if (m_model->rowCount() > 0)
                m_table->setCurrentIndex(m_model->index(m_model->rowCount() / 2, 2));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        hub.join();
        const int expected = kDevices / 2 + kDevices / 100; // half left, six arrived
        QTRY_COMPARE(m_model->rowCount(), expected);
        QTest::qWait(50);
        QCOMPARE(m_model->rowCount(), expected);
        for (int r = 0; r < m_model->rowCount(); ++r) {
            QCOMPARE(m_model->index(r, 0).data().toString(), QString::asprintf("%03d", r + 1));
            const int n = m_model->index(r, 8).data().toString().mid(3).toInt() - 100000;
            QVERIFY2(n % 2 == 1 || n >= kDevices, qPrintable(QString::number(n)));
            if (n < kDevices && n % 3 == 0)
                QCOMPARE(m_model->index(r, 2).data().toString(), QStringLiteral("172.16.0.1"));
        }
        auto *count = m_host->findChild<QLabel *>(QStringLiteral("m_pLabelCount"));
        QCOMPARE(count->text(), QString::number(expected));
    }
};

QTEST_MAIN(ZeltThreadedTest)
#include "tst_zelt_threaded.moc"
