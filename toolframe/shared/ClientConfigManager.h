// "Setup.xml" and the user-interface languages. Compiled into the shell and,
// in its plug-in form, into the device-search plug-in.
#pragma once

#include <QList>
#include <QLocale>
#include <QPixmap>
#include <QPointer>
#include <QString>

#include "TBXSingleton.h"

class QTranslator;

class ClientConfig
{
public:
    QString m_strName;
    QString m_strValue;
};

class ClientConfigManager
{
public:
    enum ConfigKey { Translator = 0, LogLevel = 1, VersionType = 2, Skin = 3 };

    static ClientConfigManager *Instance() { return TBX::CSingleton<ClientConfigManager>::Instance(); }
    ~ClientConfigManager();

    // Reads the file (relative names are taken from the program directory),
    // replacing what was read before. False if it cannot be opened.
    bool Load(const QString &strFileName = QStringLiteral("Setup.xml"));
    void Clear();

    // The first entry named like the key, or null.
    const ClientConfig *GetConfig(int iKey) const;
    // The key's value as a decimal integer; iDefault when absent or not a number.
    int GetInt(int iKey, int iDefault = 0) const;
    QString GetString(int iKey) const;
    const QList<ClientConfig *> &Entries() const { return m_configs; }

    static QString KeyName(int iKey);
    static QString ProgramDir();

private:
    friend class TBX::CSingleton<ClientConfigManager>;
    ClientConfigManager() = default;
    QList<ClientConfig *> m_configs;
};

class ClientLanguageProperty
{
public:
    int m_iId = 0;
    QLocale m_locale;
    QPointer<QTranslator> m_pAppTranslator;
    QPointer<QTranslator> m_pToolkitTranslator;
    QString m_strLoadingPicture;
    QPixmap LoadingPicture() const { return QPixmap(m_strLoadingPicture); }
};

class ClientLanguageManager
{
public:
    static ClientLanguageManager *Instance() { return TBX::CSingleton<ClientLanguageManager>::Instance(); }

    // The language id chosen by "Translator" and "VersionType".
    static int CurrentLanguageId(int iTranslator, int iVersionType);
    // The property of the current language: the first listed with the
    // current id, else the one with id 0; null only if nothing is listed.
    const ClientLanguageProperty *CurrentLanguage() const;
    const QList<ClientLanguageProperty> &Languages() const { return m_languages; }
    // Installs the current language's translators into the application.
    void InstallTranslators() const;

private:
    friend class TBX::CSingleton<ClientLanguageManager>;
    ClientLanguageManager();
    QList<ClientLanguageProperty> m_languages;
};
