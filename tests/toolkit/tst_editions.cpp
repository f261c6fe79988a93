// Both editions in one process: this program carries the shell edition and
// loads a library that carries the plug-in edition. Neither may bind to the
// other's classes.

#include "CBaseDialog.h"
#include "CWarnDlg.h"
#include "Toolkit.h"

#include <QLibrary>
#include <QtTest>

class TstEditions : public QObject
{
    Q_OBJECT
private slots:
    void bothEditionsKeepTheirOwnClasses();
};

void TstEditions::bothEditionsKeepTheirOwnClasses()
{
    QVERIFY(!Toolkit::IsPluginEdition());
    QLibrary probe(QCoreApplication::applicationDirPath() + QStringLiteral("/toolkit_editions_probe"));
    QVERIFY2(probe.load(), qPrintable(probe.errorString()));
    using ProbeFn = int (*)(int);
    auto fn = reinterpret_cast<ProbeFn>(probe.resolve("toolkit_probe"));
    QVERIFY(fn);

    // The library's classes are the plug-in edition's...
    QCOMPARE(fn(0), 437);
    QCOMPARE(fn(1), 400);
    QCOMPARE(fn(2), -1);
    QCOMPARE(fn(3), 1);
    // ...and none of them is visible from outside.
    QVERIFY(!probe.resolve("_ZN11CBaseDialogC1EP7QWidgetbbb"));
    QVERIFY(!probe.resolve("_ZN8CWarnDlg7ShowMsgERK7QStringS2_P7QWidget"));
    QVERIFY(!probe.resolve("_ZN7Toolkit13InitResourcesEv"));

    // This program's classes are still the shell edition's, with the
    // resources of both registered.
    CBaseDialog dlg;
    QCOMPARE(dlg.width(), 436);
    QWidget parent;
    CWarnDlg box(&parent);
    box.PrepareText(QStringLiteral("T"), QStringLiteral("A long message that goes on and on ").repeated(40), false);
    QCOMPARE(box.width(), 1024);
    QVERIFY(Toolkit::InitResources());
    QVERIFY(!QImage(QStringLiteral(":/images/Dialog/dialog_bg.png")).isNull());
}

QTEST_MAIN(TstEditions)
#include "tst_editions.moc"
