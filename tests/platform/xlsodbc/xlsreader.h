// Reads a workbook back with xlrd (Debian's python3-xlrd), a reader
// nobody here wrote, through readxls.py.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#ifndef XLS_READER_SCRIPT
#error "XLS_READER_SCRIPT must name readxls.py"
#endif

struct XlsReadResult {
    bool ok = false;
    QString error;
    QJsonObject json;

    QJsonArray sheets() const { return json.value(QStringLiteral("sheets")).toArray(); }
    QJsonObject sheet(int i) const { return sheets().at(i).toObject(); }
    QString log() const { return json.value(QStringLiteral("log")).toString(); }
};

inline XlsReadResult readXls(const QString &path, bool summary = false)
{
    XlsReadResult r;
    QProcess p;
    QStringList args{QStringLiteral(XLS_READER_SCRIPT), path};
    if (summary)
        args << QStringLiteral("--summary");
    p.start(QStringLiteral("/usr/bin/python3"), args);
    if (!p.waitForFinished(300000)) {
        r.error = QStringLiteral("xlrd did not finish");
        p.kill();
        p.waitForFinished();
        return r;
    }
    const QByteArray out = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        r.error = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(out, &pe);
    if (pe.error != QJsonParseError::NoError) {
        r.error = pe.errorString();
        return r;
    }
    r.json = doc.object();
    r.ok = true;
    return r;
}

// Rows of a sheet as string lists; an empty cell becomes a null QString.
inline QList<QStringList> xlsRows(const QJsonObject &sheet)
{
    QList<QStringList> rows;
    for (const QJsonValue &row : sheet.value(QStringLiteral("rows")).toArray()) {
        QStringList cells;
        for (const QJsonValue &c : row.toArray())
            cells << (c.isNull() ? QString() : c.toString());
        rows << cells;
    }
    return rows;
}
