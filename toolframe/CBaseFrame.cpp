#include "CBaseFrame.h"

#include "CViewStoregeManager.h"

CBaseFrame::CBaseFrame(QWidget *parent) : QFrame(parent)
{
    // Pages are built by the view store's factory, which holds the hub mutex.
    CViewStoregeManager::Instance()->AddPageLocked(this);
}

CBaseFrame::~CBaseFrame()
{
    LeaveStore();
}

void CBaseFrame::LeaveStore()
{
    // A store that is already gone is not brought back (it would start the
    // engine again on the way out).
    if (CViewStoregeManager::Exists())
        CViewStoregeManager::Instance()->RemovePage(this);
}
