#include "COrviApplication.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLockFile>
#include <QPluginLoader>
#include <QStandardPaths>

#include "COrviStyle.h"
#include "CPluginFactoryInterface.h"
#include "ClientConfigManager.h"
#include "Toolkit.h"

COrviApplication::COrviApplication(int &argc, char **argv, const QString &strKey)
    : QApplication(argc, argv)
    , m_strKey(strKey)
{
    Toolkit::InitResources();

    QFont font(QStringLiteral("Arial"), 9);
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    setFont(font);

    addLibraryPath(ClientConfigManager::ProgramDir() + QStringLiteral("/plugins"));

    ClientConfigManager *config = ClientConfigManager::Instance();
    config->Load(QStringLiteral("Setup.xml"));

    ClientLanguageManager::Instance()->InstallTranslators();

    QFont current = QApplication::font();
    current.setPointSize(10);
    setFont(current);

    if (const ClientConfig *skin = config->GetConfig(ClientConfigManager::Skin))
        LoadSkin(skin->m_strValue);

    setStyle(new COrviStyle);
    setStyleSheet(BuildStyleSheet(StyleSheetNames()));

    const int acquired = AcquireInstance(m_strKey, m_pInstanceLock);
    if (acquired == 0)
        m_bRunning = true;
    else if (acquired < 0)
        qDebug() << "Unable to create single instance.";
}

int COrviApplication::AcquireInstance(const QString &strKey, std::unique_ptr<QLockFile> &lock)
{
    const QString path = InstanceLockPath(strKey);
    if (path.isEmpty()) {
        lock.reset();
        return -1;
    }
    lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // stale only when its owner is gone
    if (lock->tryLock(0))
        return 1;
    return lock->error() == QLockFile::LockFailedError ? 0 : -1;
}

COrviApplication::~COrviApplication()
{
    ClientConfigManager::Instance()->Clear();
}

namespace {

// Makes path a directory of this user alone (mode 0700): created if
// missing, refused when it is anything else (a link, someone else's).
bool makePrivateDir(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 0777) == 0700 || ::chmod(native.constData(), 0700) == 0;
}

} // namespace

QString COrviApplication::InstanceLockPath(const QString &strKey)
{
    // Qt hands out a runtime directory only when it is this user's alone.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        // Never the shared temporary directory: another user's lock there
        // would keep this one from starting.
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        if (cache.isEmpty() || !QDir().mkpath(cache))
            return QString();
        dir = cache + QStringLiteral("/toolbay");
        if (!makePrivateDir(dir))
            return QString();
    }
    return dir + QLatin1Char('/') + strKey + QStringLiteral(".instance.lock");
}

QString COrviApplication::BuildStyleSheet(const QStringList &names)
{
    QString sheet;
    for (const QString &name : names) {
        QFile f(QStringLiteral(":/Orvi/Qss/Qss/") + name);
        if (f.open(QIODevice::ReadOnly))
            sheet += QString::fromLatin1(f.readAll());
    }
    return sheet;
}

bool COrviApplication::LoadSkin(const QString &strSkin)
{
    QDir dir(ClientConfigManager::ProgramDir() + QStringLiteral("/plugins/skins/"));
    const QStringList files = dir.entryList(QDir::Files, QDir::Unsorted);
    for (const QString &file : files) {
        QPluginLoader loader(dir.absoluteFilePath(file));
        if (loader.isLoaded())
            return false;
        QObject *root = loader.instance();
        auto *factory = qobject_cast<CPluginFactoryInterface *>(root);
        if (factory && factory->keys().contains(strSkin, Qt::CaseInsensitive)) {
            factory->create(strSkin);
            return true;
        }
        loader.unload();
    }
    return false;
}
