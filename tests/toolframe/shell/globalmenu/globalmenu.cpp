// A platform theme whose desktop has a global menu bar, as some Linux
// desktops do: every QMenuBar that allows it is handed to the "desktop"
// (here: kept in a list) instead of being shown in its window.
#include <QtGui/qpa/qplatformmenu.h>
#include <QtGui/qpa/qplatformtheme.h>
#include <QtGui/qpa/qplatformthemeplugin.h>

namespace {

class GlobalMenuBar : public QPlatformMenuBar
{
public:
    void insertMenu(QPlatformMenu *, QPlatformMenu *) override {}
    void removeMenu(QPlatformMenu *) override {}
    void syncMenu(QPlatformMenu *) override {}
    void handleReparent(QWindow *) override {}
    QPlatformMenu *menuForTag(quintptr) const override { return nullptr; }
};

class GlobalMenuTheme : public QPlatformTheme
{
public:
    QPlatformMenuBar *createPlatformMenuBar() const override { return new GlobalMenuBar; }
};

} // namespace

class GlobalMenuThemePlugin : public QPlatformThemePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QPlatformThemeFactoryInterface_iid FILE "globalmenu.json")
public:
    QPlatformTheme *create(const QString &key, const QStringList &) override
    {
        return key.compare(QLatin1String("globalmenu"), Qt::CaseInsensitive) == 0 ? new GlobalMenuTheme : nullptr;
    }
};

#include "globalmenu.moc"
