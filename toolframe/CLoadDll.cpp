#include "CLoadDll.h"

#include "vela.h"

namespace {

const CLoadDll::CatalogueRow kCatalogue[] = {
    {2, "ZELT", "Zeltscan.dll", "TBX_ZELT_OpenDialog", "TBX_ZELT_ChangeSize", "TBX_ZELT_CallBack"},
    {3, "CAMC", "CamCountPlanner.dll", "CAMC_OpenDialog", "CAMC_ChangeSize", nullptr},
    {4, "STOR", "StoragePlanner.dll", "STOR_OpenDialog", "STOR_ChangeSize", "STOR_ZELT_CallBack"},
    {5, "LINK", "LinkPlanner.dll", "LINK_OpenDialog", "LINK_ChangeSize", "LINK_ZELT_CallBack"},
    {6, "FOCA", "SharpnessAid.dll", "TBX_FOCA_OpenDialog", "TBX_FOCA_ChangeSize", "TBX_FOCA_CallBack"},
    {7, "OPTK", "OpticsPicker.dll", "TBX_OPTK_OpenDialog", "TBX_OPTK_ChangeSize", nullptr},
    {8, "BULK", "BulkSettings.dll", "BulkTool_OpenDialog", "BulkTool_ChangeSize", "BulkTool_ZELT_CallBack"},
    {9, "TASK", "TaskPlanner.dll", "TaskTool_OpenDialog", "TaskTool_ChangeSize", nullptr},
    {10, "ARCH", "ArchiveFetch.dll", "ARCH_OpenDialog", "ARCH_ChangeSize", nullptr},
    {11, "CLIP", "ClipViewer.dll", "CLIP_OpenDialog", "CLIP_ChangeSize", nullptr},
    {12, "FWUP", "BulkFirmware.dll", "FWUP_OpenDialog", "FWUP_ChangeSize", "FWUP_ZELT_CallBack"},
    {13, "BSET", "BulkSetup.dll", "BSET_OpenDialog", "TBX_BSET_ChangeSize", nullptr},
    {14, "ADDR", "AddressService.dll", "ADDR_OpenDialog", "TBX_ADDR_ChangeSize", nullptr},
};
constexpr const char *kClipExtend = "CLIP_ChangeExtend";

bool inRange(int id)
{
    return id >= CLoadDll::kFirstTool && id <= CLoadDll::kLastTool;
}

} // namespace

const CLoadDll::CatalogueRow *CLoadDll::Row(int iTypeId)
{
    return inRange(iTypeId) ? &kCatalogue[iTypeId - kFirstTool] : nullptr;
}

CLoadDll::CLoadDll()
{
    for (int id = kFirstTool; id <= kLastTool; ++id) {
        m_strFiles[id - kFirstTool] = QString::fromLatin1(Row(id)->szLibrary);
        m_handles[id - kFirstTool].store(nullptr, std::memory_order_relaxed);
    }
}

QString CLoadDll::LibraryFileName(int iTypeId)
{
    const CatalogueRow *row = Row(iTypeId);
    return row ? QString::fromLatin1(row->szLibrary) : QString();
}

bool CLoadDll::IsInstalled(int iTypeId)
{
    const CatalogueRow *row = Row(iTypeId);
    return row && Vela_DsoExists(row->szLibrary) != 0;
}

bool CLoadDll::Load(int iTypeId)
{
    if (!inRange(iTypeId))
        return false;
    std::atomic<void *> &handle = m_handles[iTypeId - kFirstTool];
    if (handle.load(std::memory_order_acquire))
        return true;
    const QByteArray name = m_strFiles[iTypeId - kFirstTool].toLocal8Bit();
    void *h = Vela_LoadDSo(name.constData());
    if (!h)
        qDebug("CLoadDll: cannot load %s: %s", name.constData(), Vela_GetLastDsoError() ? Vela_GetLastDsoError() : "");
    handle.store(h, std::memory_order_release);
    return h != nullptr;
}

bool CLoadDll::IsLoaded(int iTypeId) const
{
    return inRange(iTypeId) && m_handles[iTypeId - kFirstTool].load(std::memory_order_acquire) != nullptr;
}

void *CLoadDll::Lookup(int iTypeId, const char *szName) const
{
    if (!inRange(iTypeId) || !szName)
        return nullptr;
    void *h = m_handles[iTypeId - kFirstTool].load(std::memory_order_acquire);
    return h ? Vela_GetDsoSym(h, szName) : nullptr;
}

TBX_OpenDialogFunc CLoadDll::GetOpenFunc(int iTypeId) const
{
    const CatalogueRow *row = Row(iTypeId);
    return row ? reinterpret_cast<TBX_OpenDialogFunc>(Lookup(iTypeId, row->szOpen)) : nullptr;
}

TBX_ChangeSizeFunc CLoadDll::GetSizeFunc(int iTypeId) const
{
    const CatalogueRow *row = Row(iTypeId);
    return row ? reinterpret_cast<TBX_ChangeSizeFunc>(Lookup(iTypeId, row->szSize)) : nullptr;
}

TBX_DeviceCallbackFunc CLoadDll::GetDeviceFunc(int iTypeId) const
{
    const CatalogueRow *row = Row(iTypeId);
    return row && row->szDevice ? reinterpret_cast<TBX_DeviceCallbackFunc>(Lookup(iTypeId, row->szDevice)) : nullptr;
}

TBX_ChangeExtendFunc CLoadDll::GetExtendFunc(int iTypeId) const
{
    return iTypeId == 11 ? reinterpret_cast<TBX_ChangeExtendFunc>(Lookup(iTypeId, kClipExtend)) : nullptr;
}
