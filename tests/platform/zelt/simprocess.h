// Runs zelt-devsim for a test on its own port (derived from the test's
// process id, so parallel tests never see each other's devices).
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class SimProcess {
public:
    static QString binDir() { return qEnvironmentVariable("TOOLBAY_BIN_DIR"); }
    static quint16 portFor(int slot) { return quint16(30000 + (QCoreApplication::applicationPid() % 3000) * 8 + slot * 2); }

    explicit SimProcess(int slot = 0) : port(portFor(slot)) {}
    ~SimProcess() { kill(); }

    bool start(const QStringList &extra = {}) {
        QFile::remove(readyFile());
        QStringList args{"--interfaces", "lo", "--port", QString::number(port), "--ready-file", readyFile(),
                         "--maker-key", dir.filePath("maker.key")};
        args += extra;
        proc.setProgram(binDir() + "/zelt-devsim");
        proc.setArguments(args);
        proc.start();
        if (!proc.waitForStarted(5000)) return false;
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(readyFile()) && t.elapsed() < 10000 && proc.state() == QProcess::Running) QTest::qWait(20);
        stdoutText += proc.readAllStandardOutput();
        return QFile::exists(readyFile());
    }
    // Security code printed for the device with this serial number.
    QString securityCode(const QString &serial) {
        stdoutText += proc.readAllStandardOutput();
        for (const QByteArray &line : stdoutText.split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 6 && f[1] == serial.toLatin1()) return QString::fromLatin1(f.last());
        }
        return {};
    }
    void terminate() { signal(SIGTERM); }
    void kill() { signal(SIGKILL); }
    void signal(int sig) {
        if (proc.state() == QProcess::NotRunning) return;
        ::kill(pid_t(proc.processId()), sig);
        proc.waitForFinished(5000);
    }
    QString readyFile() const { return dir.filePath("ready"); }

    QTemporaryDir dir;
    QProcess proc;
    quint16 port;
    QByteArray stdoutText;
};
