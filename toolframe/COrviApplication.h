// The shell's application object: configuration, language, fonts, skin,
// style and the single-instance guard.
#pragma once

#include <memory>

#include <QApplication>
#include <QStringList>

class QLockFile;

class COrviApplication : public QApplication
{
    Q_OBJECT
public:
    COrviApplication(int &argc, char **argv, const QString &strKey = QStringLiteral("TBX"));
    ~COrviApplication() override;

    // Whether another copy of the program was already running at start.
    bool IsRunning() const { return m_bRunning; }

    // The style sheet names read from ":/Orvi/Qss/Qss/", in order.
    static QStringList StyleSheetNames() { return {QStringLiteral("TBX.qss")}; }
    static QString BuildStyleSheet(const QStringList &names);
    // Loads the skin plug-in offering strSkin from "plugins/skins/"; true if one was created.
    static bool LoadSkin(const QString &strSkin);
    // The lock file guarding the single instance of key strKey, in a
    // directory of this user alone; empty when there is no such directory.
    static QString InstanceLockPath(const QString &strKey);
    // Takes the instance lock: 1 taken, 0 another living process holds it,
    // -1 it cannot be created. A lock left by a dead process is taken over.
    static int AcquireInstance(const QString &strKey, std::unique_ptr<QLockFile> &lock);

private:
    QString m_strKey;
    // Released by the system when the process dies, so a crash never
    // blocks later starts.
    std::unique_ptr<QLockFile> m_pInstanceLock;
    bool m_bRunning = false;
};
