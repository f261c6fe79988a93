// End to end in one process: the shell's page factory opens the real
// device-search plug-in, whose table fills from the real SDK talking to the
// device simulator on loopback; an update and a removal follow.
#include <QtTest>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>

#include "CBaseDragFrame.h"
#include "CControlPanelFrame.h"
#include "CTBX.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "ShellOnSimulator.h"

namespace {
// The column holding a header text, or -1.
int column(QAbstractItemModel *m, const QString &header)
{
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal).toString() == header)
            return c;
    return -1;
}

int rowWith(QAbstractItemModel *m, int col, const QString &text)
{
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->index(r, col).data().toString() == text)
            return r;
    return -1;
}
} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
    SimProcess m_sim;
    CTBX *m_pMain = nullptr;
    QAbstractItemModel *m_pModel = nullptr;

    int zeltctl(const QStringList &args)
    {
        QStringList all{"--interfaces", "lo", "--port", QString::number(m_sim.port), "--timeout", "5"};
        all += args;
        return runProgram(SimProcess::binDir() + "/zeltctl", all, m_sim.dir.path());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(PrepareShellOnSimulator(m_sim));

        m_pMain = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint);
        m_pMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pMain));
    }

    void cleanupTestCase() { m_sim.kill(); }

    void controlPanelOpensTheDeviceSearchTool()
    {
        auto *panel = qobject_cast<CControlPanelFrame *>(CViewStoregeManager::Instance()->FindPage(1));
        QVERIFY(panel);
        QListWidget *list = panel->OperationList();
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->data(32).toInt(), 2);
        const QRect r = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        CTabScene *scene = m_pMain->MainFrame()->TabScene();
        QTRY_COMPARE(scene->Count(), 2);
        QCOMPARE(scene->CurrentPageType(), 2);
        CBaseFrame *page = CViewStoregeManager::Instance()->FindPage(2);
        QVERIFY(page);
        auto *table = page->findChild<QAbstractItemView *>(QStringLiteral("tableWidgetDevice"));
        QVERIFY2(table, "the plug-in's panel is in the page");
        m_pModel = table->model();
    }

    void simulatorsDevicesAppear()
    {
        QVERIFY(m_pModel);
        QTRY_COMPARE_WITH_TIMEOUT(m_pModel->rowCount(), 24, 20000);
        const int serialCol = column(m_pModel, QStringLiteral("Serial Number"));
        const int idCol = column(m_pModel, QStringLiteral("ID"));
        QVERIFY(serialCol >= 0);
        QCOMPARE(idCol, 0);
        QSet<QString> serials;
        for (int r = 0; r < 24; ++r) {
            serials << m_pModel->index(r, serialCol).data().toString();
            QCOMPARE(m_pModel->index(r, 0).data().toString(), QStringLiteral("%1").arg(r + 1, 3, 10, QLatin1Char('0')));
        }
        QCOMPARE(serials.size(), 24);
    }

    void anUpdateChangesItsRow()
    {
        // An active device, from the command-line tool's view of the fleet.
        QVERIFY(zeltctl({"list", "--json", "--count", "24"}) == 0);
        QFile out(m_sim.dir.filePath("run.out"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QString mac;
        for (const QJsonValue &v : QJsonDocument::fromJson(out.readAll()).array())
            if (v.toObject().value("active").toBool() && !v.toObject().value("dhcp").toBool()) {
                mac = v.toObject().value("mac").toString();
                break;
            }
        QVERIFY(!mac.isEmpty());
        const int macCol = column(m_pModel, QStringLiteral("MAC"));
        const int ipCol = column(m_pModel, QStringLiteral("IPv4 Address"));
        QVERIFY(macCol >= 0 && ipCol >= 0);
        QVERIFY(rowWith(m_pModel, macCol, mac) >= 0);

        QCOMPARE(zeltctl({"set-ip", mac, "--password", "Admin12345", "--ip", "10.9.8.7"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_pModel->index(rowWith(m_pModel, macCol, mac), ipCol).data().toString(),
                                  QStringLiteral("10.9.8.7"), 10000);
        QCOMPARE(m_pModel->rowCount(), 24);
    }

    void devicesThatLeaveAreRemoved()
    {
        m_sim.terminate(); // every device says goodbye
        QTRY_COMPARE_WITH_TIMEOUT(m_pModel->rowCount(), 0, 10000);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_zeltscan.moc"
