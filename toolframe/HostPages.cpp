#include "HostPages.h"

#include <QFrame>
#include <QGridLayout>

#include "CControlPanelFrame.h"
#include "CLoadDll.h"

COpenTool::COpenTool(int iTypeId, Services services, SizeMapping sizeMapping)
    : m_iTypeId(iTypeId)
    , m_services(services)
    , m_sizeMapping(sizeMapping)
{
    CLoadDll::Instance()->Load(m_iTypeId);
}

void COpenTool::Open(QWidget *pParent, QGridLayout *pLayout, TBX_ModifyNetParamFunc modify, TBX_ResetPasswordFunc reset,
                     TBX_RefreshFunc refresh)
{
    TBX_OpenDialogFunc open = CLoadDll::Instance()->GetOpenFunc(m_iTypeId);
    if (!open)
        return;
    if (m_services == PassServices)
        open(pParent, pLayout, false, modify, reset, refresh);
    else
        open(pParent, pLayout, false, nullptr, nullptr, nullptr);
}

void COpenTool::Size(int iState)
{
    TBX_ChangeSizeFunc size = CLoadDll::Instance()->GetSizeFunc(m_iTypeId);
    if (!size)
        return;
    if (iState == 2)
        size(1);
    else if (iState == 1 || m_sizeMapping == LooseSize)
        size(0);
}

void COpenTool::DeviceEvent(const ZELT_DEVICE_EVENT *pEvent)
{
    if (TBX_DeviceCallbackFunc device = CLoadDll::Instance()->GetDeviceFunc(m_iTypeId))
        device(pEvent);
}

void COpenTool::Extra(bool bValue)
{
    if (TBX_ChangeExtendFunc extend = CLoadDll::Instance()->GetExtendFunc(m_iTypeId))
        extend(bValue);
}

CToolHostPage::CToolHostPage(const char *szClassName, int iTypeId, QWidget *parent)
    : CBaseFrame(parent)
    , m_iTypeId(iTypeId)
{
    const QString name = QString::fromLatin1(szClassName);
    setObjectName(name);
    setWindowTitle(name);
    resize(400, 300);
    m_pGridLayout = new QGridLayout(this);
    m_pGridLayout->setObjectName(QStringLiteral("m_pGridLayout"));
    m_pGridLayout->setSpacing(6);
    m_pGridLayout->setContentsMargins(0, 0, 0, 0);
    m_pFrame = new QFrame(this);
    m_pFrame->setObjectName(QStringLiteral("frame"));
    m_pFrame->setFrameShape(QFrame::StyledPanel);
    m_pFrame->setFrameShadow(QFrame::Raised);
    m_pGridLayout->addWidget(m_pFrame, 0, 0, 1, 1);
    QMetaObject::connectSlotsByName(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
}

void CToolHostPage::ChangeSize(bool bDetached)
{
    if (m_pCommand)
        m_pCommand->Size(bDetached ? 2 : 1);
}

void CToolHostPage::DeviceEvent(const ZELT_DEVICE_EVENT *pEvent)
{
    if (m_pCommand)
        m_pCommand->DeviceEvent(pEvent);
}

CBaseFrame *CreateShellPage(int iType, QWidget *pParent)
{
    const TBX_ModifyNetParamFunc modify = &CViewStoregeManager::ModifyNetParamService;
    const TBX_ResetPasswordFunc reset = &CViewStoregeManager::ResetPasswordService;
    const TBX_RefreshFunc refresh = &CViewStoregeManager::RefreshService;
    switch (iType) {
    case 1: return new CControlPanelFrame(pParent);
    case 2: return new CZELTDialog(pParent, modify, reset, refresh);
    case 3: return new CCAMCDialog(pParent);
    case 4: return new CSTORDialog(pParent, modify, reset, refresh);
    case 5: return new CLINKDialog(pParent, modify, reset, refresh);
    case 6: return new CFOCADialog(pParent, modify, reset, refresh);
    case 7: return new COPTKDialog(pParent);
    case 8: return new CBULKDialog(pParent, nullptr, nullptr, refresh);
    case 9: return new CTASKDialog(pParent);
    case 10: return new CARCHDialog(pParent, modify, reset, refresh);
    case 11: return new CCLIPDialog(pParent);
    case 12: return new CFWUPDialog(pParent, modify, reset, refresh);
    default: return nullptr;
    }
}
