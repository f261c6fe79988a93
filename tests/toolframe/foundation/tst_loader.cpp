// The tool catalogue and loader against fake tool libraries in the test
// directory, which the loader searches first.
#include <QtTest>

#include "CLoadDll.h"
#include "fake_tool.h"
#include "vela.h"

namespace {
QByteArray programPath(const char *file)
{
    return QByteArray(Vela_ProgramDir()) + "/" + file;
}
} // namespace

class TestLoader : public QObject
{
    Q_OBJECT
private slots:
    void catalogue()
    {
        QCOMPARE(CLoadDll::LibraryFileName(2), QStringLiteral("Zeltscan.dll"));
        QCOMPARE(CLoadDll::LibraryFileName(14), QStringLiteral("AddressService.dll"));
        QVERIFY(CLoadDll::LibraryFileName(1).isEmpty());
        QVERIFY(CLoadDll::LibraryFileName(15).isEmpty());
        QVERIFY(CLoadDll::IsInstalled(4));
        QVERIFY(!CLoadDll::IsInstalled(5));
    }

    void missingLibraryGivesFalseAndNullEntryPoints()
    {
        CLoadDll *dll = CLoadDll::Instance();
        QVERIFY(!dll->Load(5));
        QVERIFY(!dll->Load(5));
        QVERIFY(!dll->Load(1));
        QVERIFY(!dll->Load(15));
        QVERIFY(!dll->GetOpenFunc(5));
        QVERIFY(!dll->GetSizeFunc(5));
        QVERIFY(!dll->GetDeviceFunc(5));
        QVERIFY(!dll->GetOpenFunc(99));
    }

    void symbolsComeFromTheRowsOwnLibrary()
    {
        CLoadDll *dll = CLoadDll::Instance();
        QVERIFY(dll->Load(6));
        // Row 6's library also exports row 5's open entry point; row 5 stays empty.
        QVERIFY(!dll->GetOpenFunc(5));
        QVERIFY(dll->Load(4));
        QVERIFY(dll->GetOpenFunc(4) != reinterpret_cast<TBX_OpenDialogFunc>(dll->GetOpenFunc(6)));

        dll->GetOpenFunc(4)(nullptr, nullptr, false, nullptr, nullptr, nullptr);
        dll->GetSizeFunc(4)(1);
        QCOMPARE(FakeToolCalls(programPath("libStoragePlanner.so")),
                 QStringList({"open title=0 modify=0 reset=0 refresh=0 layout=0", "size 1"}));
        QVERIFY(FakeToolCalls(programPath("libSharpnessAid.so")).isEmpty());
    }

    void rowsWithoutAnEntryPointLookNothingUp()
    {
        CLoadDll *dll = CLoadDll::Instance();
        QVERIFY(dll->Load(9));
        QVERIFY(dll->GetOpenFunc(9));
        QVERIFY(!dll->GetDeviceFunc(9)); // registered for events, but no device entry point
        QVERIFY(dll->Load(3));
        QVERIFY(!dll->GetDeviceFunc(3));
        QVERIFY(!dll->GetExtendFunc(3));
    }

    void extraEntryPointOnlyForRow11()
    {
        CLoadDll *dll = CLoadDll::Instance();
        QVERIFY(!dll->GetExtendFunc(11)); // not loaded yet
        QVERIFY(dll->Load(11));
        TBX_ChangeExtendFunc extend = dll->GetExtendFunc(11);
        QVERIFY(extend);
        extend(true);
        QCOMPARE(FakeToolCalls(programPath("libClipViewer.so")), QStringList({"extend 1"}));
    }

    // Last: it unloads row 3's library behind the loader's back.
    void secondLoadDoesNotLoadAgain()
    {
        CLoadDll *dll = CLoadDll::Instance();
        QVERIFY(dll->Load(3));
        QVERIFY(dll->Load(3));
        QVERIFY(dll->Load(3));
        const QByteArray path = programPath("libCamCountPlanner.so");
        void *h = ::dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
        QVERIFY(h);
        ::dlclose(h); // our reference
        ::dlclose(h); // the loader's: if it had loaded three times, two would remain
        QVERIFY(!::dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD));
    }
};

QTEST_GUILESS_MAIN(TestLoader)
#include "tst_loader.moc"
