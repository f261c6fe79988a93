#include "ZeltKeyFile.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcZeltKeyFile, "zelt.password")

namespace ZeltKeyFile {

QString PathIn(const QString &strFolder)
{
    return strFolder + QStringLiteral("DeviceKey.xml");
}

bool IsLink(const QString &strPath)
{
    return QFileInfo(strPath).isSymLink();
}

bool Write(const QString &strPath, const QByteArray &key)
{
    QTemporaryFile file(strPath + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        qCWarning(lcZeltKeyFile) << "key file" << strPath << file.errorString();
        return false;
    }
    const bool written = file.write(key) == key.size() && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        qCWarning(lcZeltKeyFile) << "key file" << strPath << file.errorString();
        return false;
    }
    // Readable as a plain file the user saves would be.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                        | QFileDevice::ReadOther);
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(strPath).constData()) != 0) {
        qCWarning(lcZeltKeyFile) << "key file" << strPath << std::strerror(errno);
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

} // namespace ZeltKeyFile
