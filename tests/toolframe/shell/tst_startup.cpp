// The real program's start-up, run as child processes on the offscreen
// platform from a scratch program directory: a second copy while the first
// runs, and the smallest screen accepted (counted in device pixels, also on
// scaled screens, whose logical area the window then fits). The
// startupwatch plug-in inside each child reports the windows shown and
// closes message boxes.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

namespace {
const QByteArray kMainWindow = "window CTBX\n";
const QByteArray kAlreadyRunning = "box TBX\tSoftware is already running.\n";
const QByteArray kTooSmall = "box Hint\tThe least resolution is 1024*768.\n";
constexpr int kTimeout = 30000;

// One run of the program; killed when it goes out of scope.
class Child
{
public:
    QProcess proc;
    QByteArray out;

    ~Child() { stop(); }

    // Everything printed so far on stdout.
    const QByteArray &output()
    {
        out += proc.readAllStandardOutput();
        return out;
    }
    QByteArray describe() { return "stdout:\n" + output() + "stderr:\n" + proc.readAllStandardError(); }
    // Both wait until the program shows its main window or ends.
    bool waitForMainWindow()
    {
        waitForWindowOrEnd();
        return output().contains(kMainWindow);
    }
    bool waitForEnd()
    {
        waitForWindowOrEnd();
        return proc.state() == QProcess::NotRunning || proc.waitForFinished(1000);
    }
    void waitForWindowOrEnd()
    {
        QDeadlineTimer deadline(kTimeout);
        while (!output().contains(kMainWindow) && proc.state() != QProcess::NotRunning && !deadline.hasExpired())
            proc.waitForReadyRead(100);
    }
    void stop()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(5000);
        }
    }
};
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir; // program directory, screen files and runtime directories
    QString m_strProgram;

    // A screen file for the offscreen platform.
    QString screen(int width, int height)
    {
        const QString path = m_dir.filePath(QStringLiteral("screen-%1x%2.json").arg(width).arg(height));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(QStringLiteral("{\"synchronousWindowSystemEvents\": true, \"windowFrameMargins\": false, "
                                   "\"screens\": [{\"name\": \"s\", \"x\": 0, \"y\": 0, \"width\": %1, \"height\": %2, "
                                   "\"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                        .arg(width)
                        .arg(height)
                        .toUtf8());
        return path;
    }

    // Starts the program with that screen; copies share the instance guard
    // only when they share runtimeDir.
    void start(Child &child, const QString &screenFile, const QString &runtimeDir, const QString &scale = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!scale.isEmpty())
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + screenFile);
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(TOOLBAY_WATCH_DIR));
        env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("startupwatch"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        child.proc.setProcessEnvironment(env);
        child.proc.setWorkingDirectory(m_dir.path());
        child.proc.start(m_strProgram, {});
    }

    QString runtimeDir(const QString &name)
    {
        const QString path = m_dir.filePath(QStringLiteral("run-") + name);
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A copy, so the program directory is a scratch one.
        const QString built = qEnvironmentVariable("TOOLBAY_BIN_DIR") + QStringLiteral("/Toolbay");
        QVERIFY2(QFile::exists(built), qPrintable(built));
        m_strProgram = m_dir.filePath(QStringLiteral("Toolbay"));
        QVERIFY(QFile::copy(built, m_strProgram));
    }

    void secondCopyIsRefusedWhileTheFirstRuns()
    {
        const QString run = runtimeDir(QStringLiteral("instance"));
        const QString big = screen(1280, 1024);
        Child first;
        start(first, big, run);
        QVERIFY2(first.waitForMainWindow(), first.describe().constData());

        Child second;
        start(second, big, run);
        QVERIFY2(second.waitForEnd(), second.describe().constData());
        QCOMPARE(second.proc.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.proc.exitCode(), 0);
        QCOMPARE(second.output(), kAlreadyRunning); // the box and nothing else

        QCOMPARE(first.proc.state(), QProcess::Running);
        QVERIFY(!first.output().contains("box "));

        // The first copy dies without cleaning up: the next start is not refused.
        first.stop();
        Child third;
        start(third, big, run);
        QVERIFY2(third.waitForMainWindow(), third.describe().constData());
        QVERIFY(!third.output().contains("box "));
    }

    void smallScreenIsRefused_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("800x600") << 800 << 600 << QString() << false;
        QTest::newRow("1023x768") << 1023 << 768 << QString() << false;
        QTest::newRow("1024x767") << 1024 << 767 << QString() << false;
        QTest::newRow("1024x768") << 1024 << 768 << QString() << true;
        QTest::newRow("1920x1080") << 1920 << 1080 << QString() << true;
        // Scaled screens count their device pixels, and the window fits
        // their logical area.
        QTest::newRow("1920x1080 at 150 %") << 1920 << 1080 << QStringLiteral("1.5") << true;
        QTest::newRow("2560x1440 at 200 %") << 2560 << 1440 << QStringLiteral("2") << true;
        QTest::newRow("1366x768 at 150 %") << 1366 << 768 << QStringLiteral("1.5") << true;
        QTest::newRow("1000x700 at 125 %") << 1000 << 700 << QStringLiteral("1.25") << false;
    }
    void smallScreenIsRefused()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, scale);
        QFETCH(bool, accepted);
        Child child;
        start(child, screen(width, height), runtimeDir(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-')),
              scale);
        if (accepted) {
            QVERIFY2(child.waitForMainWindow(), child.describe().constData());
            QCOMPARE(child.proc.state(), QProcess::Running);
            QVERIFY2(!child.output().contains("box "), child.output().constData());
            QVERIFY2(!child.output().contains("exceeds"), child.output().constData());
        } else {
            QVERIFY2(child.waitForEnd(), child.describe().constData());
            QCOMPARE(child.proc.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.proc.exitCode(), 0);
            QCOMPARE(child.output(), kTooSmall);
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
