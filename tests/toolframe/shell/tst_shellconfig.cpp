// Start-up configuration: "Setup.xml", the current-language rule,
// "Config.xml", skins and the single-instance guard and its lock's place.
#include <QtTest>

#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "COrviApplication.h"
#include "ClientConfigManager.h"
#include "ConfigXml.h"

namespace {
QString programFile(const QString &name)
{
    return ClientConfigManager::ProgramDir() + QLatin1Char('/') + name;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}
} // namespace

class TestShellConfig : public QObject
{
    Q_OBJECT
private slots:
    void setupXmlEntries()
    {
        writeFile(programFile("Setup-test.xml"),
                  "<?xml version=\"1.0\"?><Configs>"
                  "<Translator><Value>1</Value></Translator>"
                  "<Other><Value>9</Value></Other>"
                  "<VersionType><Ignored>x</Ignored><Value> 1 </Value><Value>5</Value></VersionType>"
                  "<Skin><Value>Graphite</Value></Skin>"
                  "<Translator><Value>0</Value></Translator>"
                  "</Configs>");
        ClientConfigManager *cfg = ClientConfigManager::Instance();
        QVERIFY(cfg->Load(QStringLiteral("Setup-test.xml")));
        QCOMPARE(cfg->Entries().size(), 5);
        QCOMPARE(cfg->Entries().at(1)->m_strName, QStringLiteral("Other"));
        QVERIFY(cfg->Entries().at(1)->m_strValue.isEmpty());
        QCOMPARE(cfg->GetInt(ClientConfigManager::Translator), 1); // the first entry wins
        QCOMPARE(cfg->GetInt(ClientConfigManager::VersionType), 1);
        QCOMPARE(cfg->GetString(ClientConfigManager::Skin), QStringLiteral("Graphite"));
        QVERIFY(!cfg->GetConfig(ClientConfigManager::LogLevel));
        QCOMPARE(cfg->GetInt(ClientConfigManager::LogLevel, -3), -3);

        QVERIFY(!cfg->Load(QStringLiteral("Setup-missing.xml")));
        QVERIFY(cfg->Entries().isEmpty());
        QVERIFY(!cfg->GetConfig(ClientConfigManager::Translator));
    }

    void currentLanguageRule_data()
    {
        QTest::addColumn<int>("translator");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("id");
        QTest::newRow("english neutral") << 0 << 1 << 0;
        QTest::newRow("english maker") << 0 << 0 << 2;
        QTest::newRow("chinese neutral") << 1 << 1 << 1;
        QTest::newRow("chinese maker") << 1 << 0 << 3;
        QTest::newRow("direct id") << 7 << 1 << 7;
        QTest::newRow("direct id 3") << 3 << 0 << 3;
    }
    void currentLanguageRule()
    {
        QFETCH(int, translator);
        QFETCH(int, version);
        QFETCH(int, id);
        QCOMPARE(ClientLanguageManager::CurrentLanguageId(translator, version), id);
    }

    void languageTableFallsBackToEnglish()
    {
        // The test directory carries no Chinese translation: ids 1 and 3 are
        // not listed, so a Chinese or unknown choice ends at id 0.
        ClientLanguageManager *lang = ClientLanguageManager::Instance();
        QList<int> ids;
        for (const ClientLanguageProperty &p : lang->Languages())
            ids << p.m_iId;
        QCOMPARE(ids, QList<int>({0, 2}));
        writeFile(
            programFile("Setup-test.xml"),
            "<Configs><Translator><Value>7</Value></Translator><VersionType><Value>1</Value></VersionType></Configs>");
        ClientConfigManager::Instance()->Load(QStringLiteral("Setup-test.xml"));
        QCOMPARE(lang->CurrentLanguage()->m_iId, 0);
        writeFile(programFile("Setup-test.xml"), "<Configs><Translator><Value>1</Value></Translator></Configs>");
        ClientConfigManager::Instance()->Load(QStringLiteral("Setup-test.xml"));
        QCOMPARE(lang->CurrentLanguage()->m_iId, 0);
        QCOMPARE(lang->CurrentLanguage()->m_locale.language(), QLocale::English);
        QVERIFY(!lang->CurrentLanguage()->LoadingPicture().isNull());
    }

    void enabledToolList()
    {
        const QString path = programFile("Config-test.xml");
        writeFile(path, ConfigXml::Encode({"2", "3", "13"}));
        QCOMPARE(ConfigXml::ReadEnabledTools(path), QStringList({"2", "3", "13"}));

        // Longer than the old 49-byte buffer: read whole.
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << QString::number(100 + i);
        writeFile(path, ConfigXml::Encode(many));
        QCOMPARE(ConfigXml::ReadEnabledTools(path), many);

        // Wrapped over lines by hand, as editors and encoders do.
        const QByteArray base64 = many.join(QLatin1Char(',')).toLatin1().toBase64();
        QByteArray folded;
        for (int i = 0; i < base64.size(); i += 20)
            folded += base64.mid(i, 20) + (i % 40 ? "\r\n\t" : " \n    ");
        writeFile(path, "<Config>\n  <Tools>\n    " + folded + "</Tools>\n</Config>\n");
        QCOMPARE(ConfigXml::ReadEnabledTools(path), many);

        writeFile(path, "<Config><Tools>Mi**Mw==</Tools></Config>"); // bad Base64
        QVERIFY(ConfigXml::ReadEnabledTools(path).isEmpty());
        writeFile(path, "<Config><Tools>MiwzLDEz</Tools>"); // bad XML
        QVERIFY(ConfigXml::ReadEnabledTools(path).isEmpty());
        writeFile(path, "<Config/>");
        QVERIFY(ConfigXml::ReadEnabledTools(path).isEmpty());
        QVERIFY(ConfigXml::ReadEnabledTools(programFile("Config-missing.xml")).isEmpty());
    }

    void skinPluginIsCreatedByName()
    {
        QVERIFY(!COrviApplication::LoadSkin(QStringLiteral("NoSuchSkin")));
        QVERIFY(COrviApplication::LoadSkin(QStringLiteral("graphite"))); // case-insensitive
        QCOMPARE(qApp->property("testSkinCreated").toString(), QStringLiteral("graphite"));
    }

    void styleSheetComesFromResources()
    {
        const QString sheet = COrviApplication::BuildStyleSheet(COrviApplication::StyleSheetNames());
        QVERIFY(sheet.contains(QStringLiteral("CBaseDialogClass")));
        QVERIFY(COrviApplication::BuildStyleSheet({QStringLiteral("missing.qss")}).isEmpty());
    }

    // Without a runtime directory (none named, and Qt's stand-in under the
    // temporary directory unusable) the lock goes into a directory of this
    // user alone, never into the temporary directory every user shares.
    void instanceLockIsPrivateWithoutARuntimeDir()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QByteArray savedTmp = qgetenv("TMPDIR"), savedRuntime = qgetenv("XDG_RUNTIME_DIR"),
                         savedCache = qgetenv("XDG_CACHE_HOME");
        const auto restore = qScopeGuard([&] {
            auto put = [](const char *name, const QByteArray &value) {
                if (value.isEmpty())
                    qunsetenv(name);
                else
                    qputenv(name, value);
            };
            put("TMPDIR", savedTmp);
            put("XDG_RUNTIME_DIR", savedRuntime);
            put("XDG_CACHE_HOME", savedCache);
        });
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        qputenv("XDG_CACHE_HOME", tmp.filePath(QStringLiteral("cache")).toLocal8Bit());
        const passwd *pw = getpwuid(geteuid());
        QVERIFY(pw);
        writeFile(tmp.filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(pw->pw_name)), "in the way");
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).isEmpty());

        const QString key = QStringLiteral("TBX-private-%1").arg(QCoreApplication::applicationPid());
        const QString path = COrviApplication::InstanceLockPath(key);
        QVERIFY2(!path.isEmpty(), "no lock at all");
        const QString dir = QFileInfo(path).absolutePath();
        QVERIFY2(QDir(dir) != QDir(tmp.path()), qPrintable(path));
        QVERIFY2(dir.startsWith(tmp.filePath(QStringLiteral("cache"))), qPrintable(path));
        struct stat st;
        QCOMPARE(::lstat(QFile::encodeName(dir).constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_uid, geteuid());
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
        std::unique_ptr<QLockFile> lock;
        QCOMPARE(COrviApplication::AcquireInstance(key, lock), 1);
        lock.reset();

        // A directory someone put there for us, leading elsewhere, is not used.
        QVERIFY(QDir(dir).removeRecursively());
        const QString shared = tmp.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(QFile::link(shared, dir));
        QCOMPARE(COrviApplication::AcquireInstance(key, lock), -1);
        QVERIFY(QDir(shared).isEmpty());
    }

    void singleInstanceGuardSurvivesACrash()
    {
        const QString key = QStringLiteral("TBX-test-%1").arg(QCoreApplication::applicationPid());
        const QString path = COrviApplication::InstanceLockPath(key);
        QFile::remove(path);

        // A process holding the lock that dies without releasing it.
        QProcess holder;
        holder.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"), QStringLiteral("echo $$ > '%1'; echo; echo; kill -9 $$").arg(path)});
        QVERIFY(holder.waitForFinished(5000));
        QVERIFY(QFile::exists(path));

        std::unique_ptr<QLockFile> first, second;
        QCOMPARE(COrviApplication::AcquireInstance(key, first), 1);  // the dead owner's lock does not count
        QCOMPARE(COrviApplication::AcquireInstance(key, second), 0); // a living owner's does
        first.reset();
        QCOMPARE(COrviApplication::AcquireInstance(key, second), 1);
    }
};

QTEST_MAIN(TestShellConfig)
#include "tst_shellconfig.moc"
