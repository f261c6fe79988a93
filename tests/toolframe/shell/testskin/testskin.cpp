// A skin plug-in for tests: creating the skin marks the application.
#include <QCoreApplication>
#include <QObject>

#include "CPluginFactoryInterface.h"

class CTestSkinPlugin : public QObject, public CPluginFactoryInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CPluginFactoryInterface_iid)
    Q_INTERFACES(CPluginFactoryInterface)
public:
    QStringList keys() const override { return {QStringLiteral("Graphite")}; }
    QObject *create(const QString &strKey) override
    {
        QCoreApplication::instance()->setProperty("testSkinCreated", strKey);
        return this;
    }
};

#include "testskin.moc"
