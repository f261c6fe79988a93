#pragma once
// "Synchronize time": each device's clock set to this computer's, with the
// device's password, through the runner like every other action; the
// summary names the devices whose clock was set and those whose was not.

#include <QByteArray>
#include <QList>

#include "CZeltDeviceController.h"

class QObject;
class QWidget;

namespace ZeltTimeSync {

// Starts the commands (after the consent question when a device cannot
// prove who it is) and returns; pPanel is the parent of the questions and
// of the summary, and the summary is told only while it exists.
void Run(CZeltDeviceController &devices, const QList<CZeltDeviceController::Target> &targets,
         const QByteArray &password, QWidget *pPanel);

} // namespace ZeltTimeSync
