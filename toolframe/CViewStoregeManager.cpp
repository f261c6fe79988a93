#include "CViewStoregeManager.h"

#include <atomic>

#include <QCoreApplication>

#include "CBaseDragFrame.h"
#include "CBaseFrame.h"
#include "ClientWriterProperty.h"
#include "HostPages.h"

namespace {
// The store the modify service reaches; set once the store exists.
std::atomic<CViewStoregeManager *> g_pStore{nullptr};

// Tool types that take device events, in registration order.
constexpr int kEventTypes[] = {2, 4, 5, 6, 8, 9, 12};
} // namespace

CViewStoregeManager::CViewStoregeManager() : m_creator(&CreateShellPage)
{
    g_pStore.store(this, std::memory_order_release);
    for (int type : kEventTypes) {
        m_contexts.push_back(std::make_unique<CForwardContext>(CForwardContext{this, type}));
        m_hub.Register(&CViewStoregeManager::Forward, m_contexts.back().get());
    }
    m_hub.Start(); // a failed start leaves the tools without events
    // The engine's thread reaches the tools, which post to Qt objects: it
    // ends while the application object still exists, not at process exit.
    qAddPostRoutine(&CViewStoregeManager::StopEngine);
}

void CViewStoregeManager::StopEngine()
{
    if (CViewStoregeManager *store = g_pStore.load(std::memory_order_acquire))
        store->m_hub.Stop();
}

CViewStoregeManager::~CViewStoregeManager()
{
    // No event may reach a store that is going away.
    m_hub.Stop();
    g_pStore.store(nullptr, std::memory_order_release);
}

bool CViewStoregeManager::ReplaysOnCreation(int iType)
{
    switch (iType) {
    case 2:
    case 4:
    case 5:
    case 6:
    case 8:
    case 12: return true;
    default: return false;
    }
}

CBaseFrame *CViewStoregeManager::FindPageLocked(int iType) const
{
    for (const QPointer<CBaseFrame> &p : m_pages)
        if (p && p->GetTypeId() == iType)
            return p.data();
    return nullptr;
}

CBaseFrame *CViewStoregeManager::FindPage(int iType) const
{
    return FindPageLocked(iType);
}

QList<CBaseFrame *> CViewStoregeManager::Pages() const
{
    QList<CBaseFrame *> out;
    for (const QPointer<CBaseFrame> &p : m_pages)
        if (p)
            out.append(p.data());
    return out;
}

CBaseFrame *CViewStoregeManager::GetPage(int iType)
{
    if (CBaseFrame *page = FindPageLocked(iType))
        return page;
    if (!m_creator)
        return nullptr;
    // Created and given the cache under the hub mutex, so no live event
    // reaches the page before its replay.
    QMutexLocker lock(&m_hub.Mutex());
    CBaseFrame *page = m_creator(iType, m_pParent);
    if (page && ReplaysOnCreation(iType))
        m_hub.ReplayLocked(iType, &CViewStoregeManager::ContextType);
    return page;
}

void CViewStoregeManager::AddPageLocked(CBaseFrame *pPage)
{
    for (const QPointer<CBaseFrame> &p : m_pages)
        if (p == pPage)
            return;
    m_pages.append(QPointer<CBaseFrame>(pPage));
}

void CViewStoregeManager::RemovePage(CBaseFrame *pPage)
{
    QMutexLocker lock(&m_hub.Mutex());
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        // The guarded pointer may already read null while the page is in its
        // base destructor; drop such entries too.
        if (m_pages.at(i) == pPage || m_pages.at(i).isNull()) {
            m_pages.removeAt(i);
            --i;
        }
    }
}

void CViewStoregeManager::Forward(const ZELT_DEVICE_EVENT *pEvent, void *pContext)
{
    auto *ctx = static_cast<CForwardContext *>(pContext);
    if (!ctx || ctx->iTypeId < 0)
        return;
    if (CBaseFrame *page = ctx->pStore->FindPageLocked(ctx->iTypeId))
        page->DeviceEvent(pEvent);
}

int CViewStoregeManager::ContextType(void *pContext)
{
    auto *ctx = static_cast<CForwardContext *>(pContext);
    return ctx ? ctx->iTypeId : -1;
}

bool CViewStoregeManager::ModifyNetParamService(const char *mac, const char *ipv4, const char *mask,
                                                const char *password, const char *port, const char *httpPort,
                                                const char *gateway, const char *ipv6, const char *ipv6Gateway,
                                                unsigned char prefixLen, unsigned char dhcp)
{
    CViewStoregeManager *store = g_pStore.load(std::memory_order_acquire);
    if (!store)
        return false;
    return store->m_hub.ModifyNetParam(mac, ipv4, mask, password, port, httpPort, gateway, ipv6, ipv6Gateway, prefixLen,
                                       dhcp);
}

bool CViewStoregeManager::ResetPasswordService(int32_t, int32_t)
{
    return true;
}

bool CViewStoregeManager::RefreshService()
{
    return ZELT_SendInquiry() == 1;
}

void CViewStoregeManager::ShowPage(int iType)
{
    if (!GetPage(iType))
        return;
    int frameId = ClientWriterProperty::FrameHolding(iType);
    if (frameId < 0)
        frameId = 0;
    CBaseDragFrame *frame = ClientWriterProperty::FrameById(frameId);
    if (!frame)
        return;
    ClientWriterProperty::SetCurrent(frameId, iType);
    frame->AddOrActivate(iType, false);
}
