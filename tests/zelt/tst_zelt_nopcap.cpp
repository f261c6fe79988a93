// Without a loadable packet-capture runtime the panel does not complete
// its start, yet the table still fills from device events. This test runs
// from a program directory of its own, where an unloadable file stands in
// for the runtime (the library loader looks there first).

#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QTreeView>
#include <QtTest>

#include "ZeltTestSupport.h"
#include "vela.h"

namespace {
int g_refreshCalls = 0;
bool Refresh()
{
    ++g_refreshCalls;
    return true;
}
} // namespace

class ZeltNoPcapTest : public QObject
{
    Q_OBJECT
    QString m_fake;

private slots:
    void initTestCase()
    {
        m_fake = QString::fromLocal8Bit(Vela_ProgramDir()) + QStringLiteral("/libpcap.so.0.8");
        QFile f(m_fake);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a library");
        f.close();
        QVERIFY(!Vela_LoadDSo("PACKET.dll"));
    }

    void cleanupTestCase() { QFile::remove(m_fake); }

    void panelStartsWithoutCapture()
    {
        ZeltTest::Plugin plugin;
        QVERIFY2(plugin.Load(), qPrintable(plugin.error));
        QWidget host;
        auto *layout = new QGridLayout(&host);
        host.resize(1200, 800);
        host.show();
        QVERIFY(plugin.open(&host, layout, true, nullptr, nullptr, Refresh));
        QCOMPARE(g_refreshCalls, 0); // the start was not completed
        auto *table = host.findChild<QTreeView *>(QStringLiteral("tableWidgetDevice"));
        QVERIFY(table);
        QVERIFY(!table->isColumnHidden(21));
        QVERIFY(!host.findChild<QWidget *>(QStringLiteral("widgetBatch"))->isHidden());

        const ZELT_DEVICE_EVENT a = ZeltTest::MakeEvent(1, 1);
        const ZELT_DEVICE_EVENT b = ZeltTest::MakeEvent(4, 2);
        plugin.callBack(&a);
        plugin.callBack(&b);
        QCOMPARE(table->model()->rowCount(), 2);
        QCOMPARE(table->model()->index(1, 0).data().toString(), QStringLiteral("002"));
        const ZELT_DEVICE_EVENT off = ZeltTest::MakeEvent(3, 1);
        plugin.callBack(&off);
        QTRY_COMPARE(table->model()->rowCount(), 1);
        QCOMPARE(table->model()->index(0, 0).data().toString(), QStringLiteral("001"));
        QCOMPARE(g_refreshCalls, 0);
    }
};

QTEST_MAIN(ZeltNoPcapTest)
#include "tst_zelt_nopcap.moc"
