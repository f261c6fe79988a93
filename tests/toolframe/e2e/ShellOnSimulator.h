// The shell in a test process with the real device-search plug-in, whose
// SDK talks to the device simulator on loopback: the simulator started, the
// process's environment pointed at it, and a program folder whose only
// tool is the device search.
#pragma once

#include <QFile>

#include "ClientConfigManager.h"
#include "ConfigXml.h"
#include "simprocess.h"

inline bool PrepareShellOnSimulator(SimProcess &sim)
{
    if (!sim.start({"--quiet"}))
        return false;
    qputenv("ZELT_PORT", QByteArray::number(sim.port));
    qputenv("ZELT_INTERFACES", "lo");
    qputenv("VELA_DSO_PATH", SimProcess::binDir().toLocal8Bit()); // the real plug-in
    QFile cfg(ClientConfigManager::ProgramDir() + QStringLiteral("/Config.xml"));
    if (!cfg.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return cfg.write(ConfigXml::Encode({"2"})) > 0;
}
