// The plug-in's three entry points, the only symbols it exports.

#include <QApplication>
#include <QGridLayout>
#include <QPointer>

#include "CTBX_ZELTMainWnd.h"
#include "QtZelt.h"
#include "ToolServices.h"
#include "ClientConfigManager.h"
#include "ZeltDeviceRecords.h"

#define ZELT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// The one main window; never destroyed by the plug-in.
QPointer<CTBX_ZELTMainWnd> g_pMainWnd;
} // namespace

ZELT_EXPORT bool TBX_ZELT_OpenDialog(QWidget *parent, QGridLayout *layout, bool showTitle,
                                     TBX_ModifyNetParamFunc modify, TBX_ResetPasswordFunc reset,
                                     TBX_RefreshFunc refresh)
{
    QCoreApplication::addLibraryPath(
        QStringLiteral("%1%2plugins").arg(QCoreApplication::applicationDirPath(), QStringLiteral("/")));
    ClientConfigManager::Instance()->Load(QStringLiteral("Setup.xml"));
    ClientLanguageManager::Instance()->InstallTranslators();

    if (!g_pMainWnd) {
        g_pMainWnd = new CTBX_ZELTMainWnd(parent, Qt::WindowFlags(), modify, reset, refresh);
        if (!g_pMainWnd)
            return false;
    }
    if (layout) {
        // The window is built as a frameless top-level window; inside the
        // host it must be a plain child, or it would float beside it.
        QWidget *host = layout->parentWidget() ? layout->parentWidget() : parent;
        if (g_pMainWnd->isWindow() || g_pMainWnd->parentWidget() != host)
            g_pMainWnd->setParent(host, g_pMainWnd->windowFlags() & ~Qt::WindowType_Mask);
        layout->addWidget(g_pMainWnd, 0, 0, 1, 1);
    }
    g_pMainWnd->SetTitleVisible(showTitle);
    g_pMainWnd->show();
    return true;
}

// The shell calls every tool's size entry point with a 32-bit value
// (1: a window of its own, 0: its tab page); read exactly that, so the call
// matches the caller's function type.
ZELT_EXPORT void TBX_ZELT_ChangeSize(int32_t iLarge)
{
    if (g_pMainWnd)
        g_pMainWnd->ChangeSize(iLarge != 0);
}

ZELT_EXPORT void TBX_ZELT_CallBack(const ZELT_DEVICE_EVENT *pEvent)
{
    OnDeviceEvent(pEvent, 0);
}

// The exported types must match what the shell looks up.
static_assert(std::is_same_v<decltype(&TBX_ZELT_OpenDialog), TBX_OpenDialogFunc>);
static_assert(std::is_same_v<decltype(&TBX_ZELT_CallBack), TBX_DeviceCallbackFunc>);
