// The vela runtime: mutexes, catalogue-name mapping and library loading.
#include <QtTest>
#include <QTemporaryDir>

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
    }

    // A library of a tool's name on the system's search path is no
    // installed tool: only the program directory and VELA_DSO_PATH count.
    void existenceIgnoresTheSystemSearchPath()
    {
        QTemporaryDir elsewhere;
        QVERIFY(elsewhere.isValid());
        const QString probe = QString::fromLocal8Bit(resolve("VelaProbe.dll"));
        QVERIFY(QFile::copy(probe, elsewhere.filePath(QStringLiteral("libElsewhereTool.so"))));
        const QByteArray saved = qgetenv("LD_LIBRARY_PATH");
        qputenv("LD_LIBRARY_PATH", QFile::encodeName(elsewhere.path()));
        const bool found = Vela_DsoExists("ElsewhereTool.dll");
        qputenv("LD_LIBRARY_PATH", saved);
        QVERIFY(!found);
        // The packet-capture runtime lives in a system folder: loadable,
        // but not a file of the program.
        QVERIFY(!Vela_DsoExists("PACKET.dll"));
        QVERIFY(!Vela_DsoExists("libpcap.so.0.8"));
        QVERIFY(Vela_LoadDSo("PACKET.dll"));
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
