// The driver through the real stack: Qt's QODBC plugin, the unixODBC
// driver manager (registration from the build tree's odbcinst.ini via
// ODBCSYSINI) and our library, with the export's own connection string and
// statements; the files are read back with xlrd. Also unixODBC's isql and
// iusql clients, and the failures the driver must report, not crash on.

#include "xlsreader.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kConnection = QStringLiteral("excelexport");

QString connectionString(const QString &folder, const QString &name)
{
    return QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};")
           + QStringLiteral("DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=") + QLatin1Char('"') + name
           + QStringLiteral(".xls") + QLatin1Char('"') + QStringLiteral(";DBQ=") + folder + name
           + QStringLiteral(".xls");
}

struct ExportResult {
    bool opened = false;
    int failedRow = -1; // first row whose INSERT failed, -1 if none
    QString error;
};

// The export's sequence: connection "excelexport", CREATE TABLE with
// char(64) columns (result ignored), the prepared INSERT with :1.. bound
// per row, close, and the connection removed afterwards.
ExportResult exportTable(const QString &folder, const QString &name, const QStringList &titles,
                         const QList<QStringList> &rows)
{
    ExportResult r;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnection);
        db.setDatabaseName(connectionString(folder, name));
        if (!db.open()) {
            r.error = db.lastError().text();
        } else {
            r.opened = true;
            QString create = QStringLiteral("CREATE TABLE [%1] (").arg(name);
            QStringList defs, quoted, holders;
            for (int i = 0; i < titles.size(); ++i) {
                defs << QStringLiteral("[") + titles[i] + QStringLiteral("] char(64)");
                quoted << QLatin1Char('"') + titles[i] + QLatin1Char('"');
                holders << QStringLiteral(":%1").arg(i + 1);
            }
            create += defs.join(QLatin1Char(',')) + QLatin1Char(')');
            {
                QSqlQuery q(db);
                q.prepare(create);
                q.exec();
            }
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO [%1] ").arg(name) + QLatin1Char('(')
                           + quoted.join(QLatin1Char(',')) + QLatin1Char(')') + QStringLiteral("VALUES(")
                           + holders.join(QLatin1Char(',')) + QLatin1Char(')'));
            for (int row = 0; row < rows.size(); ++row) {
                for (int c = 0; c < titles.size(); ++c)
                    insert.bindValue(QStringLiteral(":%1").arg(c + 1), rows[row].value(c), QSql::In);
                if (!insert.exec()) {
                    r.failedRow = row;
                    r.error = insert.lastError().text();
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(kConnection);
    return r;
}

QString sanitizerPreload()
{
#ifdef XLS_SANITIZER_PRELOAD
    return QStringLiteral(XLS_SANITIZER_PRELOAD);
#else
    return QString();
#endif
}

// Runs an unixODBC client with the given input; returns its output.
QString runClient(const QString &program, const QStringList &args, const QByteArray &input, int *exitCode,
                  const QString &sysini = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The driver of a sanitizer build needs its runtime loaded first in a
    // client that was built without it.
    // The clients' own string handling is not under test (iusql copies
    // overlapping strings), so only the driver's memory use is checked.
    if (!sanitizerPreload().isEmpty()) {
        env.insert(QStringLiteral("LD_PRELOAD"), sanitizerPreload());
        env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0:replace_str=0:replace_intrin=0"));
    }
    if (!sysini.isEmpty())
        env.insert(QStringLiteral("ODBCSYSINI"), sysini);
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

} // namespace

class TestXlsOdbc : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString folder() const { return tmp.path() + QLatin1Char('/'); }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        QVERIFY2(!qEnvironmentVariableIsEmpty("ODBCSYSINI"), "ODBCSYSINI must point at the build tree's registration");
        QVERIFY2(QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")), "Qt's ODBC plugin is missing");
    }

    void exportReadsBackWithXlrd()
    {
        const QString name = QStringLiteral("设备列表");
        const QStringList titles{"序号", "IP", "设备类型", "MAC", "Name"};
        const QList<QStringList> rows{
            {"1", "192.168.1.64", "网络摄像机", "44-19-b6-00-00-01", "Front door"},
            {"2", "192.168.1.65", "硬盘录像机", "44-19-b6-00-00-02", ""},
            {"3", "10.0.0.7", "Ünïcödé 😀", "44-19-b6-00-00-03", "O'Brien \"quoted\""},
        };
        const ExportResult r = exportTable(folder(), name, titles, rows);
        QVERIFY2(r.opened, qPrintable(r.error));
        QCOMPARE(r.failedRow, -1);

        const XlsReadResult x = readXls(folder() + name + QStringLiteral(".xls"));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.log(), QString());
        QCOMPARE(x.sheets().size(), 1);
        QCOMPARE(x.sheet(0).value("name").toString(), name);
        QVERIFY(x.sheet(0).value("textOnly").toBool());
        QList<QStringList> expected{titles};
        expected += rows;
        QList<QStringList> got = xlsRows(x.sheet(0));
        QCOMPARE(got.size(), expected.size());
        QCOMPARE(got[2].size(), 5); // the empty text is a cell of its own
        QCOMPARE(got, expected);
        // No temporary file is left next to the workbook.
        QCOMPARE(QDir(tmp.path()).entryList(QStringList{"." + name + "*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void emptyTableHasHeaderOnly()
    {
        const ExportResult r = exportTable(folder(), QStringLiteral("empty"), {"IP", "MAC"}, {});
        QVERIFY2(r.opened, qPrintable(r.error));
        const XlsReadResult x = readXls(folder() + QStringLiteral("empty.xls"));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"IP", "MAC"}}));
    }

    // A name with a leading space is used as it is, in the file name and
    // the sheet name; a second export in the same process works too.
    void leadingSpaceAndSecondExport()
    {
        const QString name = QStringLiteral(" 前门");
        QVERIFY(exportTable(folder(), name, {"A"}, {{"1"}}).opened);
        const ExportResult again = exportTable(folder(), QStringLiteral("second"), {"B"}, {{"2"}, {"3"}});
        QVERIFY2(again.opened, qPrintable(again.error));
        const XlsReadResult x = readXls(folder() + name + QStringLiteral(".xls"));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.sheet(0).value("name").toString(), name);
        const XlsReadResult y = readXls(folder() + QStringLiteral("second.xls"));
        QVERIFY2(y.ok, qPrintable(y.error));
        QCOMPARE(xlsRows(y.sheet(0)), (QList<QStringList>{{"B"}, {"2"}, {"3"}}));
    }

    // A name in apostrophes keeps them in the file name; the sheet, which
    // may not begin or end with one, gets underscores there.
    void apostrophesAroundTheName()
    {
        const QString name = QStringLiteral("'quoted'");
        const ExportResult r = exportTable(folder(), name, {"A"}, {{"1"}});
        QVERIFY2(r.opened, qPrintable(r.error));
        const XlsReadResult x = readXls(folder() + name + QStringLiteral(".xls"));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.sheet(0).value("name").toString(), QStringLiteral("_quoted_"));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"A"}, {"1"}}));
    }

    // An empty folder gives a path relative to the working folder.
    void relativePath()
    {
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()));
        const ExportResult r = exportTable(QString(), QStringLiteral("relative"), {"A"}, {{"x"}});
        QDir::setCurrent(old);
        QVERIFY2(r.opened, qPrintable(r.error));
        QVERIFY(QFile::exists(folder() + QStringLiteral("relative.xls")));
    }

    // 65,535 rows fit under the header; one more fails that INSERT, and the
    // workbook is then not written at all.
    void rowLimit()
    {
        QList<QStringList> rows;
        for (int i = 0; i < 65535; ++i)
            rows << QStringList{QString::number(i)};
        ExportResult r = exportTable(folder(), QStringLiteral("full"), {"N"}, rows);
        QVERIFY2(r.opened, qPrintable(r.error));
        QCOMPARE(r.failedRow, -1);
        const XlsReadResult x = readXls(folder() + QStringLiteral("full.xls"), true);
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.sheet(0).value("nrows").toInt(), 65536);
        QCOMPARE(x.sheet(0).value("last").toArray().at(0).toString(), QStringLiteral("65534"));

        rows << QStringList{QStringLiteral("one too many")};
        r = exportTable(folder(), QStringLiteral("overfull"), {"N"}, rows);
        QVERIFY(r.opened);
        QCOMPARE(r.failedRow, 65535);
        QVERIFY2(r.error.contains(QStringLiteral("65535")), qPrintable(r.error));
        QVERIFY(!QFile::exists(folder() + QStringLiteral("overfull.xls")));
        QCOMPARE(QDir(tmp.path()).entryList(QStringList{".overfull*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void connectionFailures_data()
    {
        QTest::addColumn<QString>("conn");
        QTest::newRow("missing folder") << connectionString(folder() + QStringLiteral("no/such/"), QStringLiteral("x"));
        QTest::newRow("no file named") << QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};READONLY=FALSE");
        QTest::newRow("no CREATE_DB") << QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};DBQ=") + folder()
                                             + QStringLiteral("absent.xls");
        QTest::newRow("folder as file") << QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};CREATE_DB=x;DBQ=")
                                               + tmp.path();
        QTest::newRow("bad flag") << connectionString(folder(), QStringLiteral("x"))
                                         + QStringLiteral(";READONLY=maybe");
    }
    void connectionFailures()
    {
        QFETCH(QString, conn);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnection);
            db.setDatabaseName(conn);
            QVERIFY(!db.open());
            QVERIFY2(db.lastError().text().contains(QStringLiteral("XLS driver")), qPrintable(db.lastError().text()));
        }
        QSqlDatabase::removeDatabase(kConnection);
    }

    // Statements the driver does not support come back as errors with the
    // driver's message; the connection stays usable and the workbook holds
    // only what was accepted.
    void refusedStatements_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("message");
        const QString only = QStringLiteral("Only CREATE TABLE and INSERT INTO");
        QTest::newRow("select") << "SELECT * FROM [t]" << only;
        QTest::newRow("drop") << "DROP TABLE [t]" << only;
        QTest::newRow("update") << "UPDATE t SET a='1'" << only;
        QTest::newRow("delete") << "DELETE FROM t" << only;
        QTest::newRow("missing table") << "INSERT INTO [missing] VALUES('1')"
                                       << "'missing' does not exist";
        QTest::newRow("more values than columns") << "INSERT INTO [t] (\"a\") VALUES('1','2')"
                                                  << "number of values does not match";
        QTest::newRow("unknown column") << "INSERT INTO [t] (\"zz\") VALUES('1')"
                                        << "'zz' does not exist";
        QTest::newRow("fewer values than columns") << "INSERT INTO [t] VALUES('1')"
                                                   << "number of values does not match";
        QTest::newRow("open column list") << "CREATE TABLE [bad] ([a] char(64)"
                                          << "Unterminated column list";
        QTest::newRow("table again, other case") << "CREATE TABLE [T] ([x] char(64))"
                                                 << "already exists";
        QTest::newRow("column twice") << "CREATE TABLE [u] ([x] char(64), [X] char(64))"
                                      << "appears twice";
    }
    void refusedStatements()
    {
        QFETCH(QString, sql);
        QFETCH(QString, message);
        const QString name =
            QStringLiteral("refused-%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnection);
            db.setDatabaseName(connectionString(folder(), name));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE [t] ([a] char(64), [b] char(64))")));
            QVERIFY(!q.exec(sql));
            QVERIFY2(q.lastError().text().contains(QStringLiteral("[XLS driver]")), qPrintable(q.lastError().text()));
            QVERIFY2(q.lastError().text().contains(message), qPrintable(q.lastError().text()));
            QVERIFY2(q.exec(QStringLiteral("INSERT INTO [t] VALUES('still', 'open')")),
                     qPrintable(q.lastError().text()));
            db.close();
        }
        QSqlDatabase::removeDatabase(kConnection);
        const XlsReadResult x = readXls(folder() + name + QStringLiteral(".xls"));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.sheets().size(), 1);
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"a", "b"}, {"still", "open"}}));
    }

    // Calls the driver does not support; literal values and columns left
    // out of an INSERT.
    void catalogueCallsAndLiterals()
    {
        const QString path = folder() + QStringLiteral("errors.xls");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnection);
            db.setDatabaseName(connectionString(folder(), QStringLiteral("errors")));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE [t] ([a] char(64), [b] char(64))")));
            QVERIFY(!q.prepare(QStringLiteral("SELECT 1")));
            QVERIFY(q.lastError().text().contains(QStringLiteral("CREATE TABLE and INSERT")));
            // Catalog calls fail quietly; Qt reports empty results.
            QCOMPARE(db.tables(), QStringList());
            QVERIFY(db.record(QStringLiteral("t")).isEmpty());
            QVERIFY(!db.transaction() || db.commit());
            // Columns not named get no cell; literal values work too.
            QVERIFY2(q.exec(QStringLiteral("INSERT INTO [t] (\"b\") VALUES('only b')")),
                     qPrintable(q.lastError().text()));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO t VALUES(NULL, 42)")));
            QCOMPARE(q.numRowsAffected(), 1);
            db.close();
        }
        QSqlDatabase::removeDatabase(kConnection);
        const XlsReadResult x = readXls(path);
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(x.sheets().size(), 1);
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"a", "b"}, {QString(), "only b"}, {QString(), "42"}}));
    }

    void readOnlyWritesNothing()
    {
        const QString conn = QStringLiteral(
                                 "DRIVER={Microsoft Excel Driver (*.xls)};READONLY=TRUE;CREATE_DB=\"ro.xls\";DBQ=")
                             + folder() + QStringLiteral("ro.xls");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), kConnection);
            db.setDatabaseName(conn);
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery q(db);
            QVERIFY(!q.exec(QStringLiteral("CREATE TABLE [t] ([a] char(64))")));
            QVERIFY(q.lastError().text().contains(QStringLiteral("read-only")));
            db.close();
        }
        QSqlDatabase::removeDatabase(kConnection);
        QVERIFY(!QFile::exists(folder() + QStringLiteral("ro.xls")));
    }

    // Replacing a file: the old workbook stays until the new one is
    // complete, then it is replaced as a whole.
    void replacesExistingFile()
    {
        QVERIFY(exportTable(folder(), QStringLiteral("again"), {"old"}, {{"1"}}).opened);
        QVERIFY(exportTable(folder(), QStringLiteral("again"), {"new"}, {{"2"}}).opened);
        const XlsReadResult x = readXls(folder() + QStringLiteral("again.xls"));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"new"}, {"2"}}));
    }

    // unixODBC's own clients: isql (UTF-8 statements through the ANSI
    // calls, connection string via SQLDriverConnect) and iusql (wide calls,
    // a data source from the user's odbc.ini).
    void isqlClient()
    {
        const QString path = folder() + QStringLiteral("isql.xls");
        const QByteArray sql = "CREATE TABLE [设备 list] ([IP] char(64), [名称] char(64))\n"
                               "INSERT INTO [设备 list] (\"IP\",\"名称\")VALUES('10.1.1.1', '摄像机')\n"
                               "SELECT 1\n"
                               "\n";
        int code = 0;
        const QString out = runClient(QStringLiteral("isql"),
                                      {connectionString(folder(), QStringLiteral("isql")), QStringLiteral("-k"),
                                       QStringLiteral("-b"), QStringLiteral("-v")},
                                      sql, &code);
        QVERIFY2(out.contains(QStringLiteral("Only CREATE TABLE and INSERT INTO")), qPrintable(out));
        const XlsReadResult x = readXls(path);
        QVERIFY2(x.ok, qPrintable(x.error + out));
        QCOMPARE(x.sheet(0).value("name").toString(), QStringLiteral("设备 list"));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"IP", "名称"}, {"10.1.1.1", "摄像机"}}));
    }

    void iusqlClient()
    {
        // A registration folder of its own: the build tree's driver entry
        // plus a data source naming the workbook.
        QTemporaryDir sysini;
        QVERIFY(sysini.isValid());
        QVERIFY(QFile::copy(qEnvironmentVariable("ODBCSYSINI") + QStringLiteral("/odbcinst.ini"),
                            sysini.filePath(QStringLiteral("odbcinst.ini"))));
        const QString path = folder() + QStringLiteral("iusql.xls");
        QFile ini(sysini.filePath(QStringLiteral("odbc.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[xlsout]\nDriver=Microsoft Excel Driver (*.xls)\nCREATE_DB=iusql.xls\nDBQ=" + path.toUtf8() + "\n");
        ini.close();
        const QByteArray sql = "CREATE TABLE [devices] ([IP] char(64), [Name] char(64))\n"
                               "INSERT INTO [devices] VALUES('10.1.1.2', 'cam')\n"
                               "INSERT INTO [nowhere] VALUES('x')\n"
                               "\n";
        int code = 0;
        const QString out = runClient(QStringLiteral("iusql"),
                                      {QStringLiteral("xlsout"), QStringLiteral("-b"), QStringLiteral("-v")}, sql,
                                      &code, sysini.path());
        QVERIFY2(out.contains(QStringLiteral("'nowhere' does not exist")), qPrintable(out));
        const XlsReadResult x = readXls(path);
        QVERIFY2(x.ok, qPrintable(x.error + out));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"IP", "Name"}, {"10.1.1.2", "cam"}}));
    }
};

QTEST_GUILESS_MAIN(TestXlsOdbc)
#include "tst_xlsodbc.moc"
