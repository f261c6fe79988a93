// Tool commands and the host pages that show the tools' libraries.
#pragma once

#include <memory>

#include "CBaseFrame.h"
#include "CViewStoregeManager.h"
#include "ToolServices.h"

class QGridLayout;
class QFrame;

// A command turns a page's generic operations into calls of its tool's
// entry points.
class CCommandPattern
{
public:
    virtual ~CCommandPattern() = default;
    virtual void Open(QWidget *pParent, QGridLayout *pLayout, TBX_ModifyNetParamFunc modify,
                      TBX_ResetPasswordFunc reset, TBX_RefreshFunc refresh) = 0;
    virtual void Close(int iValue) = 0;
    // 2: the page is in a detached window, 1: in the main window's strip.
    virtual void Size(int iState) = 0;
    virtual void DeviceEvent(const ZELT_DEVICE_EVENT *pEvent) = 0;
    virtual void Extra(bool bValue) = 0;
};

template <class T>
class CCommandOpen : public CCommandPattern
{
public:
    typedef void (T::*OpenFn)(QWidget *, QGridLayout *, TBX_ModifyNetParamFunc, TBX_ResetPasswordFunc, TBX_RefreshFunc);
    typedef void (T::*CloseFn)(int);
    typedef void (T::*SizeFn)(int);
    typedef void (T::*DeviceFn)(const ZELT_DEVICE_EVENT *);
    typedef void (T::*ExtraFn)(bool);

    CCommandOpen(T *pReceiver, OpenFn open, CloseFn close, SizeFn size, DeviceFn device, ExtraFn extra)
        : m_pReceiver(pReceiver)
        , m_open(open)
        , m_close(close)
        , m_size(size)
        , m_device(device)
        , m_extra(extra)
    {}
    void Open(QWidget *pParent, QGridLayout *pLayout, TBX_ModifyNetParamFunc modify, TBX_ResetPasswordFunc reset,
              TBX_RefreshFunc refresh) override
    {
        (m_pReceiver->*m_open)(pParent, pLayout, modify, reset, refresh);
    }
    void Close(int iValue) override { (m_pReceiver->*m_close)(iValue); }
    void Size(int iState) override { (m_pReceiver->*m_size)(iState); }
    void DeviceEvent(const ZELT_DEVICE_EVENT *pEvent) override { (m_pReceiver->*m_device)(pEvent); }
    void Extra(bool bValue) override
    {
        if (m_extra)
            (m_pReceiver->*m_extra)(bValue);
    }

private:
    T *m_pReceiver;
    OpenFn m_open;
    CloseFn m_close;
    SizeFn m_size;
    DeviceFn m_device;
    ExtraFn m_extra;
};

// What every tool's receiver does; the rows differ in which services reach
// the library and how strictly size states are mapped.
class COpenTool
{
public:
    enum Services { PassServices, NullServices };
    enum SizeMapping { StrictSize, LooseSize };

    COpenTool(int iTypeId, Services services, SizeMapping sizeMapping);
    void Open(QWidget *pParent, QGridLayout *pLayout, TBX_ModifyNetParamFunc modify, TBX_ResetPasswordFunc reset,
              TBX_RefreshFunc refresh);
    void Close(int) {}
    void Size(int iState);
    void DeviceEvent(const ZELT_DEVICE_EVENT *pEvent);
    void Extra(bool bValue);
    int TypeId() const { return m_iTypeId; }

private:
    int m_iTypeId;
    Services m_services;
    SizeMapping m_sizeMapping;
};

#define TBX_DECLARE_RECEIVER(Name, Id, Svc, SizeMap)                                                                   \
    class Name : public COpenTool                                                                                      \
    {                                                                                                                  \
    public:                                                                                                            \
        Name() : COpenTool(Id, COpenTool::Svc, COpenTool::SizeMap) {}                                                  \
    };

TBX_DECLARE_RECEIVER(COpenZELT, 2, PassServices, StrictSize)
TBX_DECLARE_RECEIVER(COpenCAMC, 3, NullServices, LooseSize)
TBX_DECLARE_RECEIVER(COpenSTOR, 4, NullServices, LooseSize)
TBX_DECLARE_RECEIVER(COpenLINK, 5, PassServices, StrictSize)
TBX_DECLARE_RECEIVER(COpenFOCA, 6, PassServices, LooseSize)
TBX_DECLARE_RECEIVER(COpenOPTK, 7, NullServices, LooseSize)
TBX_DECLARE_RECEIVER(COpenBulk, 8, PassServices, StrictSize)
TBX_DECLARE_RECEIVER(COpenTask, 9, NullServices, StrictSize)
TBX_DECLARE_RECEIVER(COpenARCH, 10, NullServices, StrictSize)
TBX_DECLARE_RECEIVER(COpenCLIP, 11, NullServices, LooseSize)
TBX_DECLARE_RECEIVER(COpenFWUP, 12, NullServices, LooseSize)

// The frame every tool page shares: one grid layout the library fills.
class CToolHostPage : public CBaseFrame
{
    Q_OBJECT
public:
    CToolHostPage(const char *szClassName, int iTypeId, QWidget *parent);

    int GetTypeId() override { return m_iTypeId; }
    void OnShow() override {}
    bool CanClose() override { return true; }
    bool CanClose2() override { return true; }
    void OnHide() override {}
    void ChangeSize(bool bDetached) override;
    void DeviceEvent(const ZELT_DEVICE_EVENT *pEvent) override;

    QGridLayout *GridLayout() const { return m_pGridLayout; }

protected:
    CCommandPattern *Command() const { return m_pCommand.get(); }
    std::unique_ptr<CCommandPattern> m_pCommand;

private:
    int m_iTypeId;
    QGridLayout *m_pGridLayout = nullptr;
    QFrame *m_pFrame = nullptr;
};

template <class T>
class CToolPage : public CToolHostPage
{
public:
    CToolPage(const char *szClassName, int iTypeId, QWidget *parent, TBX_ModifyNetParamFunc modify,
              TBX_ResetPasswordFunc reset, TBX_RefreshFunc refresh, bool bWithExtra = false)
        : CToolHostPage(szClassName, iTypeId, parent)
    {
        m_pCommand = std::make_unique<CCommandOpen<T>>(&m_receiver, &T::Open, &T::Close, &T::Size, &T::DeviceEvent,
                                                       bWithExtra ? &T::Extra : nullptr);
        m_pCommand->Open(parent, GridLayout(), modify, reset, refresh);
    }
    ~CToolPage() override
    {
        // Leave the hub's reach before the command and receiver go.
        LeaveStore();
        m_pCommand.reset();
    }

private:
    T m_receiver; // constructed before the command: loads the library
};

#define TBX_DECLARE_PAGE(Name, Receiver, Id)                                                                           \
    class Name : public CToolPage<Receiver>                                                                            \
    {                                                                                                                  \
    public:                                                                                                            \
        Name(QWidget *parent, TBX_ModifyNetParamFunc modify = nullptr, TBX_ResetPasswordFunc reset = nullptr,          \
             TBX_RefreshFunc refresh = nullptr)                                                                        \
            : CToolPage<Receiver>(#Name, Id, parent, modify, reset, refresh)                                           \
        {}                                                                                                             \
    };

TBX_DECLARE_PAGE(CZELTDialog, COpenZELT, 2)
TBX_DECLARE_PAGE(CCAMCDialog, COpenCAMC, 3)
TBX_DECLARE_PAGE(CSTORDialog, COpenSTOR, 4)
TBX_DECLARE_PAGE(CLINKDialog, COpenLINK, 5)
TBX_DECLARE_PAGE(CFOCADialog, COpenFOCA, 6)
TBX_DECLARE_PAGE(COPTKDialog, COpenOPTK, 7)
TBX_DECLARE_PAGE(CBULKDialog, COpenBulk, 8)
TBX_DECLARE_PAGE(CTASKDialog, COpenTask, 9)
TBX_DECLARE_PAGE(CARCHDialog, COpenARCH, 10)
TBX_DECLARE_PAGE(CFWUPDialog, COpenFWUP, 12)

// Tool 11 keeps the base device-event operation and forwards the extend flag.
class CCLIPDialog : public CToolPage<COpenCLIP>
{
public:
    explicit CCLIPDialog(QWidget *parent)
        : CToolPage<COpenCLIP>("CCLIPDialog", 11, parent, nullptr, nullptr, nullptr, true)
    {}
    void DeviceEvent(const ZELT_DEVICE_EVENT *pEvent) override { CBaseFrame::DeviceEvent(pEvent); }
    void ChangeExtend(bool bExtend) override { Command()->Extra(bExtend); }
};

// The shell's page factory: the control panel for 1, the tools' pages for
// 2..12 with the services each gets; null for other types.
CBaseFrame *CreateShellPage(int iType, QWidget *pParent);
