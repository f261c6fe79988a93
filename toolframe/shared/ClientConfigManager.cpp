#include "ClientConfigManager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTranslator>
#include <QXmlStreamReader>

#include "vela.h"

namespace {

const char *const kKeyNames[] = {"Translator", "LogLevel", "VersionType", "Skin"};

struct LanguageRow {
    int id;
    const char *app;
    const char *toolkit; // null: none
    QLocale::Language language;
    QLocale::Territory territory;
    const char *picture;
};

#ifdef TOOLKIT_PLUGIN_EDITION
// The plug-in brings its own texts; the shell has installed the toolkit's.
const LanguageRow kLanguages[] = {
    {0, "translations/ZELT_en.qm", nullptr, QLocale::English, QLocale::UnitedStates, ":images/Loading_bg_English.png"},
    {1, "translations/ZELT_zh.qm", nullptr, QLocale::Chinese, QLocale::China, ":images/Loading_bg_Chinese.png"},
    {2, "translations/ZELT_en.qm", nullptr, QLocale::English, QLocale::UnitedStates,
     ":images/Loading_bg_English_Kestro.png"},
    {3, "translations/ZELT_zh.qm", nullptr, QLocale::Chinese, QLocale::China, ":images/Loading_bg_Chinese_Kestro.png"},
};
#else
const LanguageRow kLanguages[] = {
    {0, "translations/Tools_en.qm", "translations/qt_en_CN.qm", QLocale::English, QLocale::UnitedStates,
     ":images/Loading_bg_English.png"},
    {1, "translations/Tools_zh.qm", "translations/qt_zh_CN.qm", QLocale::Chinese, QLocale::China,
     ":images/Loading_bg_Chinese.png"},
    {2, "translations/Tools_en.qm", "translations/qt_en_CN.qm", QLocale::English, QLocale::UnitedStates,
     ":images/Loading_bg_English_Kestro.png"},
    {3, "translations/Tools_zh.qm", "translations/qt_zh_CN.qm", QLocale::Chinese, QLocale::China,
     ":images/Loading_bg_Chinese_Kestro.png"},
};
#endif

bool hasValue(const QString &name)
{
    for (const char *k : kKeyNames)
        if (name == QLatin1String(k))
            return true;
    return false;
}

} // namespace

QString ClientConfigManager::ProgramDir()
{
    return QString::fromLocal8Bit(Vela_ProgramDir());
}

QString ClientConfigManager::KeyName(int iKey)
{
    return iKey >= 0 && iKey < 4 ? QString::fromLatin1(kKeyNames[iKey]) : QString();
}

ClientConfigManager::~ClientConfigManager()
{
    Clear();
}

void ClientConfigManager::Clear()
{
    qDeleteAll(m_configs);
    m_configs.clear();
}

bool ClientConfigManager::Load(const QString &strFileName)
{
    Clear();
    const QString path = QDir::isAbsolutePath(strFileName) ? strFileName
                                                           : ProgramDir() + QLatin1Char('/') + strFileName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "No file to read...";
        return false;
    }
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Configs"))
        return true; // not ours: nothing to take
    while (xml.readNextStartElement()) {
        auto *entry = new ClientConfig;
        entry->m_strName = xml.name().toString();
        m_configs.append(entry);
        if (!hasValue(entry->m_strName)) {
            xml.skipCurrentElement();
            continue;
        }
        // The value is the text of the first nested "Value".
        bool found = false;
        while (xml.readNextStartElement()) {
            if (!found && xml.name() == QLatin1String("Value")) {
                entry->m_strValue = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                found = true;
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    if (xml.hasError())
        qDebug() << "Setup.xml:" << xml.errorString();
    return true;
}

const ClientConfig *ClientConfigManager::GetConfig(int iKey) const
{
    const QString name = KeyName(iKey);
    if (name.isEmpty())
        return nullptr;
    for (const ClientConfig *c : m_configs)
        if (c->m_strName == name)
            return c;
    return nullptr;
}

int ClientConfigManager::GetInt(int iKey, int iDefault) const
{
    const ClientConfig *c = GetConfig(iKey);
    if (!c)
        return iDefault;
    bool ok = false;
    const int v = c->m_strValue.toInt(&ok, 10);
    return ok ? v : iDefault;
}

QString ClientConfigManager::GetString(int iKey) const
{
    const ClientConfig *c = GetConfig(iKey);
    return c ? c->m_strValue : QString();
}

ClientLanguageManager::ClientLanguageManager()
{
    const QString dir = ClientConfigManager::ProgramDir() + QLatin1Char('/');
    for (const LanguageRow &row : kLanguages) {
        ClientLanguageProperty p;
        p.m_iId = row.id;
        p.m_strLoadingPicture = QString::fromLatin1(row.picture);
        auto *app = new QTranslator(QCoreApplication::instance());
        const bool appLoaded = app->load(dir + QLatin1String(row.app));
        p.m_pAppTranslator = app;
        const bool chinese = row.id == 1 || row.id == 3;
        if (chinese && !appLoaded) {
            // Without its texts the language is not offered.
            delete app;
            continue;
        }
        if (row.toolkit) {
            auto *tk = new QTranslator(QCoreApplication::instance());
            tk->load(dir + QLatin1String(row.toolkit));
            p.m_pToolkitTranslator = tk;
        }
        p.m_locale = QLocale(row.language, row.territory);
        m_languages.append(p);
    }
}

int ClientLanguageManager::CurrentLanguageId(int iTranslator, int iVersionType)
{
    if (iTranslator == 0)
        return iVersionType != 0 ? 0 : 2;
    if (iTranslator == 1)
        return iVersionType != 0 ? 1 : 3;
    return iTranslator;
}

const ClientLanguageProperty *ClientLanguageManager::CurrentLanguage() const
{
    const ClientConfigManager *cfg = ClientConfigManager::Instance();
    const int id = CurrentLanguageId(cfg->GetInt(ClientConfigManager::Translator),
                                     cfg->GetInt(ClientConfigManager::VersionType));
    for (const ClientLanguageProperty &p : m_languages)
        if (p.m_iId == id)
            return &p;
    for (const ClientLanguageProperty &p : m_languages)
        if (p.m_iId == 0)
            return &p;
    return nullptr;
}

void ClientLanguageManager::InstallTranslators() const
{
    const ClientLanguageProperty *p = CurrentLanguage();
    if (!p)
        return;
    if (p->m_pAppTranslator && !p->m_pAppTranslator->isEmpty())
        QCoreApplication::installTranslator(p->m_pAppTranslator);
    if (p->m_pToolkitTranslator && !p->m_pToolkitTranslator->isEmpty())
        QCoreApplication::installTranslator(p->m_pToolkitTranslator);
}
