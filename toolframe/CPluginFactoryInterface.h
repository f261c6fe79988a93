// The interface skin plug-ins under "plugins/skins/" offer.
#pragma once

#include <QObject>
#include <QStringList>
#include <QtPlugin>

class CPluginFactoryInterface
{
public:
    virtual ~CPluginFactoryInterface() = default;
    // The skin names this plug-in can create.
    virtual QStringList keys() const = 0;
    // Creates and applies the skin of that name.
    virtual QObject *create(const QString &strKey) = 0;
};

#define CPluginFactoryInterface_iid "com.CPluginFactoryInterface"
Q_DECLARE_INTERFACE(CPluginFactoryInterface, CPluginFactoryInterface_iid)
