// Times an export of a device table through QODBC, unixODBC and the
// workbook driver: the export's connection string, CREATE TABLE, one
// prepared INSERT per row with 21 bound text values, close.
//
//   xlsodbc_bench [rows] [folder]      (defaults: 10000, the temp folder)

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>

int main(int argc, char **argv)
{
    // Registration of the build tree unless the caller chose another.
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        qputenv("ODBCSYSINI", XLS_ODBCSYSINI);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rowCount = args.size() > 1 ? args[1].toInt() : 10000;
    const QString folder = (args.size() > 2 ? args[2] : QDir::tempPath()) + QLatin1Char('/');
    const QString name = QStringLiteral("xlsodbc-bench");
    QFile::remove(folder + name + QStringLiteral(".xls"));

    const QStringList titles{
        "ID",           "Device Type",        "IPv4 Address",    "Safety state",        "Port",
        "Soft Vision",  "IPv4 GateWay",       "Http Port",       "Serial Number",       "IPv4 Mask",
        "MAC",          "Channel NO",         "DSP Vision",      "Start Time",          "IPv6 Address",
        "IPv6 GateWay", "IPv6 Prefix Length", "Is Support IPv6", "Is Support Mod IPv6", "Is Support DHCP",
        "IPv4 DHCP"};
    QList<QStringList> rows;
    rows.reserve(rowCount);
    for (int i = 0; i < rowCount; ++i) {
        const QString ip = QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256);
        rows << QStringList{QString::asprintf("%03d", i + 1),
                            QStringLiteral("网络摄像机-%1").arg(i % 7),
                            ip,
                            QStringLiteral("Active"),
                            QString::asprintf("%5d", 8000),
                            QStringLiteral("V5.7.3 build 220112"),
                            QStringLiteral("10.0.0.1"),
                            QStringLiteral("80"),
                            QStringLiteral("DS-2CD%1-SN%2").arg(i % 97).arg(i),
                            QStringLiteral("255.0.0.0"),
                            QString::asprintf("44-19-b6-%02x-%02x-%02x", (i >> 16) & 255, (i >> 8) & 255, i & 255),
                            QString::asprintf("%2d", 1 + i % 4),
                            QStringLiteral("V7.3 build 211124"),
                            QStringLiteral("2026-12-08 01:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')),
                            QStringLiteral("::"),
                            QStringLiteral("::"),
                            QString::asprintf("%2d", 64),
                            QStringLiteral("Yes"),
                            QStringLiteral("No"),
                            QStringLiteral("Yes"),
                            i % 2 ? QStringLiteral("ON") : QStringLiteral("OFF")};
    }

    QTextStream out(stdout);
    QElapsedTimer timer;
    timer.start();
    bool ok = true;
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("excelexport"));
        db.setDatabaseName(QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};DSN='';FIRSTROWHASNAMES=1;"
                                          "READONLY=FALSE;CREATE_DB=\"")
                           + name + QStringLiteral(".xls\";DBQ=") + folder + name + QStringLiteral(".xls"));
        if (!db.open()) {
            ok = false;
            error = db.lastError().text();
        } else {
            QStringList defs, quoted, holders;
            for (int c = 0; c < titles.size(); ++c) {
                defs << QLatin1Char('[') + titles[c] + QStringLiteral("] char(64)");
                quoted << QLatin1Char('"') + titles[c] + QLatin1Char('"');
                holders << QStringLiteral(":%1").arg(c + 1);
            }
            QSqlQuery create(db);
            create.prepare(QStringLiteral("CREATE TABLE [%1] (").arg(name) + defs.join(QLatin1Char(','))
                           + QLatin1Char(')'));
            create.exec();
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO [%1] (").arg(name) + quoted.join(QLatin1Char(','))
                           + QStringLiteral(")VALUES(") + holders.join(QLatin1Char(',')) + QLatin1Char(')'));
            for (const QStringList &row : rows) {
                for (int c = 0; c < row.size(); ++c)
                    insert.bindValue(QStringLiteral(":%1").arg(c + 1), row[c], QSql::In);
                if (!insert.exec()) {
                    ok = false;
                    error = insert.lastError().text();
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("excelexport"));
    const qint64 ms = timer.elapsed();
    if (!ok) {
        out << "export failed: " << error << Qt::endl;
        return 1;
    }
    const QFileInfo file(folder + name + QStringLiteral(".xls"));
    out << rowCount << " rows x " << titles.size() << " columns through QODBC: " << ms << " ms, " << file.size() / 1024
        << " KiB written to " << file.filePath() << Qt::endl;
    return 0;
}
