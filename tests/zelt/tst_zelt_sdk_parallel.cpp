// The SDK's commands issued from several threads at once, as the panel's
// batch runner does: every answer reaches the thread that asked, the last
// error is each thread's own, and ThreadSanitizer sees no race in the engine.

#include "simprocess.h"
#include "zelt_sdk.h"

#include <QtTest>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Fleet {
    std::mutex mu;
    std::vector<ZELT_DEVICE_INFO> online;
};
Fleet g_fleet;

void ZELT_CALLBACK OnDevice(const ZELT_DEVICE_INFO *info, void *)
{
    if (info->iResult != ZELT_EVENT_ONLINE && info->iResult != ZELT_EVENT_ONLINE2)
        return;
    std::lock_guard lock(g_fleet.mu);
    g_fleet.online.push_back(*info);
}

size_t OnlineCount()
{
    std::lock_guard lock(g_fleet.mu);
    return g_fleet.online.size();
}

// A change that changes nothing: every field empty, IPv6 "::".
ZELT_NET_PARAM NoChange()
{
    ZELT_NET_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strcpy(p.szIPv6Address, "::");
    std::strcpy(p.szIPv6Gateway, "::");
    return p;
}

struct Outcome {
    int result = -1;
    uint32_t error = 0xffffffffu;
};

} // namespace

class ZeltSdkParallelTest : public QObject
{
    Q_OBJECT

    SimProcess m_sim{7};
    QTemporaryDir m_tmp;
    std::vector<ZELT_DEVICE_INFO> m_active, m_inactive;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_STATE_HOME", m_tmp.path().toLocal8Bit());
        qputenv("ZELT_PORT", QByteArray::number(m_sim.port));
        QVERIFY2(m_sim.start({"--count", "40", "--quiet", "--lockout-seconds", "0"}), m_sim.errors().constData());
        QCOMPARE(ZELT_Start_V30(&OnDevice, 0, nullptr), 1);
        QTRY_COMPARE_WITH_TIMEOUT(OnlineCount(), size_t(40), 15000);
        std::lock_guard lock(g_fleet.mu);
        for (const ZELT_DEVICE_INFO &d : g_fleet.online)
            (d.byActivated ? m_inactive : m_active).push_back(d);
        QVERIFY(m_active.size() >= 16);
        QVERIFY(m_inactive.size() >= 4);
    }
    void cleanupTestCase()
    {
        ZELT_Stop();
        m_sim.terminate();
    }

    // Sixteen threads, each with its own device and its own mix of calls
    // that succeed and fail; every result and error code is the one for
    // that thread's call.
    void commandsFromManyThreads()
    {
        constexpr int kThreads = 16;
        constexpr int kRounds = 6;
        std::vector<std::vector<Outcome>> got(kThreads);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                const ZELT_DEVICE_INFO &d = m_active[size_t(t)];
                const ZELT_NET_PARAM p = NoChange();
                ++ready;
                while (ready < kThreads)
                    std::this_thread::yield();
                for (int r = 0; r < kRounds; ++r) {
                    Outcome o;
                    switch ((t + r) % 4) {
                    case 0: o.result = ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p); break;
                    case 1: o.result = ZELT_ModifyDeviceNetParam(d.szMAC, "Wrong#Pass9", &p); break;
                    case 2: {
                        ZELT_DEVICE_KEY key;
                        std::memset(&key, 0, sizeof key);
                        o.result = ZELT_GetDeviceConfig(d.szSerialNO, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key,
                                                        sizeof key);
                        if (o.result && key.dwLength == 0)
                            o.result = -2;
                        break;
                    }
                    default: o.result = ZELT_ModifyDeviceNetParam("02-ff-ff-ff-ff-ff", "Admin12345", &p); break;
                    }
                    o.error = ZELT_GetLastError();
                    got[size_t(t)].push_back(o);
                }
            });
        }
        for (std::thread &th : threads)
            th.join();

        for (int t = 0; t < kThreads; ++t) {
            for (int r = 0; r < kRounds; ++r) {
                const Outcome &o = got[size_t(t)][size_t(r)];
                const QByteArray where = QByteArray::number(t) + "/" + QByteArray::number(r);
                switch ((t + r) % 4) {
                case 0: QVERIFY2(o.result == 1 && o.error == ZELT_ERR_NONE, where); break;
                case 1: QVERIFY2(o.result == 0 && o.error == ZELT_ERR_WRONG_PASSWORD, where); break;
                case 2: QVERIFY2(o.result == 1 && o.error == ZELT_ERR_NONE, where); break;
                default: QVERIFY2(o.result == 0 && o.error == ZELT_ERR_NO_DEVICE, where); break;
                }
            }
        }
    }

    // Activations of several devices at once: each is done exactly once, a
    // second try reports that it already was.
    void activationsInParallel()
    {
        const size_t n = m_inactive.size();
        std::vector<Outcome> first(n), second(n);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < n; ++i) {
            threads.emplace_back([&, i] {
                first[i].result = ZELT_ActivateDevice(m_inactive[i].szSerialNO, "Parallel#2026");
                first[i].error = ZELT_GetLastError();
                second[i].result = ZELT_ActivateDevice(m_inactive[i].szSerialNO, "Parallel#2026");
                second[i].error = ZELT_GetLastError();
            });
        }
        for (std::thread &th : threads)
            th.join();
        for (size_t i = 0; i < n; ++i) {
            QVERIFY2(first[i].result != 0 && first[i].error == ZELT_ERR_NONE, m_inactive[i].szSerialNO);
            QVERIFY2(second[i].result == 0 && second[i].error == ZELT_ERR_ALREADY_ACTIVATED, m_inactive[i].szSerialNO);
        }
        // Now active with the new password.
        const ZELT_NET_PARAM p = NoChange();
        for (size_t i = 0; i < n; ++i)
            QCOMPARE(ZELT_ModifyDeviceNetParam(m_inactive[i].szMAC, "Parallel#2026", &p), 1);
    }

    // Commands running while another thread stops the engine end with an
    // error, never a crash or a hang.
    void stopWhileCommandsRun()
    {
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        std::atomic<int> finished{0};
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                while (!go)
                    std::this_thread::yield();
                const ZELT_NET_PARAM p = NoChange();
                for (int r = 0; r < 20; ++r)
                    ZELT_ModifyDeviceNetParam(m_active[size_t(t)].szMAC, "Admin12345", &p);
                ++finished;
            });
        }
        go = true;
        QTest::qWait(30);
        QCOMPARE(ZELT_Stop(), 1);
        for (std::thread &th : threads)
            th.join();
        QCOMPARE(finished.load(), 8);
        const ZELT_NET_PARAM p = NoChange();
        QCOMPARE(ZELT_ModifyDeviceNetParam(m_active[0].szMAC, "Admin12345", &p), 0);
        QCOMPARE(ZELT_GetLastError(), uint32_t(ZELT_ERR_NOT_STARTED));
    }
};

QTEST_MAIN(ZeltSdkParallelTest)
#include "tst_zelt_sdk_parallel.moc"
