// The view store: the process's one discovery hub, the list of pages and the
// page factory.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QObject>
#include <QPointer>

#include "CDeviceHub.h"
#include "TBXSingleton.h"
#include "ToolServices.h"

class CBaseFrame;
class QWidget;

class CViewStoregeManager : public QObject
{
    Q_OBJECT
public:
    static CViewStoregeManager *Instance() { return TBX::CSingleton<CViewStoregeManager>::Instance(); }
    static bool Exists() { return TBX::CSingleton<CViewStoregeManager>::Exists(); }

    // Creates a page of a type, or null for a type without pages. Runs with
    // the hub mutex held; the services are those the factory hands out.
    using PageCreator = std::function<CBaseFrame *(int iType, QWidget *pParent)>;
    void SetPageCreator(PageCreator creator) { m_creator = std::move(creator); }

    // The open page of a type, created (and given the cached devices) if
    // there is none yet.
    CBaseFrame *GetPage(int iType);
    // The open page of a type, or null; never creates.
    CBaseFrame *FindPage(int iType) const;
    QList<CBaseFrame *> Pages() const;

    void SetParentWidget(QWidget *pParent) { m_pParent = pParent; }
    QWidget *ParentWidget() const { return m_pParent; }

    CDeviceHub &Hub() { return m_hub; }

    // Frame ids in creation order: the main window's frame gets 0.
    int NextFrameId() { return m_iNextFrameId++; }
    // Opens or raises the page of a type in the frame that holds it, or in
    // the main frame.
    void ShowPage(int iType);

    // Whether pages of a type get the cached devices when they are created.
    static bool ReplaysOnCreation(int iType);

    // The device services handed to tool pages.
    static bool ModifyNetParamService(const char *mac, const char *ipv4, const char *mask, const char *password,
                                      const char *port, const char *httpPort, const char *gateway, const char *ipv6,
                                      const char *ipv6Gateway, unsigned char prefixLen, unsigned char dhcp);
    static bool ResetPasswordService(int32_t, int32_t);
    static bool RefreshService();

    // Page bookkeeping, used by CBaseFrame. Adding happens while the factory
    // holds the hub mutex; removal takes it.
    void AddPageLocked(CBaseFrame *pPage);
    void RemovePage(CBaseFrame *pPage);

    ~CViewStoregeManager() override;

private:
    friend class TBX::CSingleton<CViewStoregeManager>;
    CViewStoregeManager();

    struct CForwardContext {
        CViewStoregeManager *pStore;
        int iTypeId; // -1: none
    };
    static void Forward(const ZELT_DEVICE_EVENT *pEvent, void *pContext);
    static int ContextType(void *pContext);
    static void StopEngine();
    CBaseFrame *FindPageLocked(int iType) const;

    QList<QPointer<CBaseFrame>> m_pages;
    QWidget *m_pParent = nullptr;
    CDeviceHub m_hub;
    std::vector<std::unique_ptr<CForwardContext>> m_contexts;
    PageCreator m_creator;
    int m_iNextFrameId = 0;
};
