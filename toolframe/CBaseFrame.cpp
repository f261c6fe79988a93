#include "CBaseFrame.h"

#include "CViewStoregeManager.h"

CBaseFrame::CBaseFrame(QWidget *parent) : QFrame(parent)
{
    // Pages are built by the view store's factory, which holds the hub mutex.
    CViewStoregeManager::Instance()->AddPageLocked(this);
}

CBaseFrame::~CBaseFrame()
{
    if (CViewStoregeManager::Exists())
        CViewStoregeManager::Instance()->RemovePage(this);
}
