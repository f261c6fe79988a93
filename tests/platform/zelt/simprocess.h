// Runs zelt-devsim for a test on its own port (derived from the test's
// process id, so parallel tests never see each other's devices).
// posix_spawn rather than QProcess: ThreadSanitizer does not survive a fork
// of a process that already runs threads.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// Starts a program with its output in files; returns the pid or -1.
inline pid_t spawnProgram(const QString &program, const QStringList &args, const QString &outFile,
                          const QString &errFile)
{
    std::vector<QByteArray> store;
    store.push_back(program.toLocal8Bit());
    for (const QString &a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (auto &s : store)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    const QByteArray out = outFile.toLocal8Bit(), err = errFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&fa, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

// Runs a program to its end; its exit code, or -1.
inline int runProgram(const QString &program, const QStringList &args, const QString &dir)
{
    pid_t pid = spawnProgram(program, args, dir + "/run.out", dir + "/run.err");
    if (pid < 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class SimProcess
{
public:
    static QString binDir() { return qEnvironmentVariable("TOOLBAY_BIN_DIR"); }
    // Each test process has a block of 16 slots of three ports (device,
    // client, spare); a slot never reaches into the block of another
    // process, which may be running beside this one.
    static constexpr int kSlots = 16;
    static quint16 portFor(int slot)
    {
        Q_ASSERT(slot >= 0 && slot < kSlots);
        return quint16(30000 + (QCoreApplication::applicationPid() % 700) * kSlots * 3 + slot * 3);
    }

    explicit SimProcess(int slot = 0) : port(portFor(slot)) {}
    ~SimProcess() { kill(); }

    // Makes the SDKs of this process and of the programs it starts trust the
    // maker key in that file (created if missing): its public key goes into
    // one trust file of this process, named in ZELT_TRUSTED_MAKERS.
    static bool trustMaker(const QString &makerKeyFile)
    {
        static QTemporaryDir trustDir;
        const QString trustFile = trustDir.filePath("trusted-makers.txt");
        const QString line = trustDir.filePath("line.txt");
        const QString err = trustDir.filePath("line.err");
        pid_t pid = spawnProgram(binDir() + "/zelt-devsim", {"maker-key", "--public", "--maker-key", makerKeyFile},
                                 line, err);
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return false;
        QFile in(line), out(trustFile);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::Append))
            return false;
        out.write(in.readAll());
        out.close();
        if (qEnvironmentVariable("ZELT_TRUSTED_MAKERS") != trustFile)
            qputenv("ZELT_TRUSTED_MAKERS", trustFile.toLocal8Bit());
        return true;
    }
    QString makerKey() const { return dir.filePath("maker.key"); }

    // trusted = false plays a fleet whose maker nobody here trusts.
    bool start(const QStringList &extra = {}, bool trusted = true)
    {
        if (trusted && !trustMaker(makerKey()))
            return false;
        QFile::remove(readyFile());
        QStringList args{"--interfaces",      "lo",        "--port",      QString::number(port),
                         "--ready-file",      readyFile(), "--maker-key", dir.filePath("maker.key"),
                         "--exit-with-parent"};
        args += extra;
        pid_ = spawnProgram(binDir() + "/zelt-devsim", args, dir.filePath("sim.out"), dir.filePath("sim.err"));
        if (pid_ < 0)
            return false;
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(readyFile()) && t.elapsed() < 10000 && running())
            QTest::qWait(20);
        return QFile::exists(readyFile());
    }
    bool running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    QByteArray output() { return readAll(dir.filePath("sim.out")); }
    QByteArray errors() { return readAll(dir.filePath("sim.err")); }
    // Security code printed for the device with this serial number.
    QString securityCode(const QString &serial)
    {
        for (const QByteArray &line : output().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 6 && f[1] == serial.toLatin1())
                return QString::fromLatin1(f.last());
        }
        return {};
    }
    void terminate() { signal(SIGTERM); }
    void kill() { signal(SIGKILL); }
    void signal(int sig)
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, sig);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    QString readyFile() const { return dir.filePath("ready"); }
    int sign(const QString &in, const QString &out)
    {
        return runProgram(binDir() + "/zelt-devsim", {"sign-key", "--maker-key", dir.filePath("maker.key"), in, out},
                          dir.path());
    }

    QTemporaryDir dir;
    quint16 port;

private:
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    pid_t pid_ = -1;
};
