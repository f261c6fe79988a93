#include "ZeltTimeSync.h"

#include <QCoreApplication>
#include <QWidget>

#include "CZeltDeviceAction.h"
#include "CZeltRunSummary.h"
#include "ZeltSdkWrapper.h"

namespace ZeltTimeSync {

namespace {
QString Text(const char *source)
{
    return QCoreApplication::translate("QtZelt", source);
}
} // namespace

void Run(CZeltDeviceController &devices, const QList<CZeltDeviceController::Target> &targets,
         const QByteArray &password, QWidget *pPanel)
{
    CZeltDeviceAction action(devices);
    for (const CZeltDeviceController::Target &t : targets) {
        const QByteArray mac = ZeltRecords::bytes(t.record.szMAC);
        // The password goes with the request: guarded as the device's trust asks.
        action.Add(t, [mac, password] { return ZeltSdkWrapper::SyncTime(mac, password); });
    }
    if (!action.Settle(pPanel, Text(QT_TRANSLATE_NOOP("QtZelt", "Send the password anyway?"))))
        return;
    // The row follows when the device's answer comes back through the hub
    // with the clock measured again.
    action.Run(Text(QT_TRANSLATE_NOOP("QtZelt", "Synchronize time")), pPanel, {},
               [pPanel](const CZeltRunSummary &summary) {
                   summary.Show(pPanel, Text(QT_TRANSLATE_NOOP("QtZelt", "Time synchronized.")),
                                Text(QT_TRANSLATE_NOOP("QtZelt", "Time synchronization failed!")));
               });
}

} // namespace ZeltTimeSync
