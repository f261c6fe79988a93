// The vela runtime: mutexes, catalogue-name mapping and library loading.
#include <QtTest>

#include "vela.h"

namespace {
QByteArray resolve(const char *name)
{
    char buf[512];
    const int n = Vela_ResolveDsoName(name, buf, sizeof buf);
    return n < 0 ? QByteArray("<too long>") : QByteArray(buf, n);
}
} // namespace

class TestVela : public QObject
{
    Q_OBJECT
private slots:
    void mutexes()
    {
        Vela_Mutex *rec = Vela_CreateMutex(1);
        QVERIFY(rec);
        QCOMPARE(Vela_LockMutex(rec), 0);
        QCOMPARE(Vela_LockMutex(rec), 0); // re-entrant
        QCOMPARE(Vela_UnlockMutex(rec), 0);
        QCOMPARE(Vela_UnlockMutex(rec), 0);
        Vela_DestroyMutex(rec);

        Vela_Mutex *plain = Vela_CreateMutex(0);
        QCOMPARE(Vela_LockMutex(plain), 0);
        QCOMPARE(Vela_UnlockMutex(plain), 0);
        Vela_DestroyMutex(plain);
        QVERIFY(Vela_LockMutex(nullptr) != 0);
        Vela_DestroyMutex(nullptr);
    }

    void catalogueNamesMapToThisPlatform()
    {
        // Not installed anywhere: the mapped bare name is left to the system.
        QCOMPARE(resolve("NoSuchTool.dll"), QByteArray("libNoSuchTool.so"));
        QCOMPARE(resolve("NoSuchTool.DLL"), QByteArray("libNoSuchTool.so"));
        QCOMPARE(resolve("libplain.so.1"), QByteArray("libplain.so.1"));
        QCOMPARE(resolve("/opt/x/Tool.dll"), QByteArray("/opt/x/libTool.so"));
        QCOMPARE(resolve("C:\\x\\Tool.dll"), QByteArray("C:/x/libTool.so"));
        QCOMPARE(resolve("PACKET.dll"), QByteArray("libpcap.so.0.8"));
        QCOMPARE(resolve("packet.dll"), QByteArray("libpcap.so.0.8"));
        char small[4];
        QCOMPARE(Vela_ResolveDsoName("NoSuchTool.dll", small, sizeof small), -1);
    }

    void searchPathAndExistence()
    {
        // Found through VELA_DSO_PATH, so resolved to its full path.
        const QByteArray probe = resolve("VelaProbe.dll");
        QVERIFY2(probe.endsWith("/extra/libVelaProbe.so"), probe.constData());
        QVERIFY(Vela_DsoExists("VelaProbe.dll"));
        QVERIFY(!Vela_DsoExists("NoSuchTool.dll"));
        QVERIFY(!Vela_DsoExists(""));
        QVERIFY(!Vela_DsoExists(nullptr));
        // The packet-capture runtime is installed by the set-up script.
        QVERIFY(Vela_DsoExists("PACKET.dll"));
    }

    void loadingAndSymbols()
    {
        void *h = Vela_LoadDSo("VelaProbe.dll");
        QVERIFY2(h, Vela_GetLastDsoError());
        QCOMPARE(Vela_GetLastDsoError(), nullptr);
        auto fn = reinterpret_cast<int (*)()>(Vela_GetDsoSym(h, "VelaProbe_Answer"));
        QVERIFY(fn);
        QCOMPARE(fn(), 42);
        QVERIFY(!Vela_GetDsoSym(h, "NoSuchSymbol"));
        QVERIFY(Vela_GetLastDsoError());
        QVERIFY(!Vela_GetDsoSym(nullptr, "VelaProbe_Answer"));

        QVERIFY(Vela_LoadDSo("PACKET.dll"));
        QVERIFY(!Vela_LoadDSo("NoSuchTool.dll"));
        QVERIFY(QByteArray(Vela_GetLastDsoError()).contains("libNoSuchTool.so"));
        QVERIFY(!Vela_LoadDSo(nullptr));
    }

    void programDirectory()
    {
        QCOMPARE(QString::fromLocal8Bit(Vela_ProgramDir()), QCoreApplication::applicationDirPath());
    }
};

QTEST_GUILESS_MAIN(TestVela)
#include "tst_vela.moc"
