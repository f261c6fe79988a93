// The tool catalogue and the lazy library loader.
#pragma once

#include <atomic>

#include <QObject>
#include <QString>

#include "TBXSingleton.h"
#include "ToolServices.h"

class CLoadDll : public QObject
{
    Q_OBJECT
public:
    static CLoadDll *Instance() { return TBX::CSingleton<CLoadDll>::Instance(); }

    static constexpr int kFirstTool = 2;
    static constexpr int kLastTool = 14;

    // Loads the tool's library unless already loaded; true if it is loaded.
    bool Load(int iTypeId);
    bool IsLoaded(int iTypeId) const;

    // Entry points, looked up in the row's own library on every call.
    TBX_OpenDialogFunc GetOpenFunc(int iTypeId) const;
    TBX_ChangeSizeFunc GetSizeFunc(int iTypeId) const;
    TBX_DeviceCallbackFunc GetDeviceFunc(int iTypeId) const;
    TBX_ChangeExtendFunc GetExtendFunc(int iTypeId) const;

    // The catalogue's library file name ("Zeltscan.dll"), empty outside 2..14.
    static QString LibraryFileName(int iTypeId);
    // Whether the tool's library file is installed (same name mapping as loading).
    static bool IsInstalled(int iTypeId);

    struct CatalogueRow {
        int iTypeId;
        const char *szCode;
        const char *szLibrary;
        const char *szOpen;
        const char *szSize;
        const char *szDevice; // null: none
    };
    static const CatalogueRow *Row(int iTypeId);

private:
    friend class TBX::CSingleton<CLoadDll>;
    CLoadDll();

    void *Lookup(int iTypeId, const char *szName) const;

    QString m_strFiles[kLastTool - kFirstTool + 1];
    // Written once on the GUI thread; read on the engine thread for device events.
    std::atomic<void *> m_handles[kLastTool - kFirstTool + 1];
};
