// The base of every page shown in a page frame: the control panel and the
// tools' host pages.
#pragma once

#include <QFrame>

struct ZELT_DEVICE_EVENT;

class CBaseFrame : public QFrame
{
    Q_OBJECT
public:
    explicit CBaseFrame(QWidget *parent = nullptr);
    ~CBaseFrame() override;

    // The page type: 1 control panel, 2..14 tool type ids.
    virtual int GetTypeId() = 0;
    // Called after the page was handed to a frame.
    virtual void OnShow() {}
    // Asked before the page's tab is removed.
    virtual bool CanClose() { return true; }
    virtual bool CanClose2() { return true; }
    virtual void OnHide() {}
    // Whether the page is shown in a window made by dragging its tab out.
    virtual void ChangeSize(bool bDetached) { Q_UNUSED(bDetached); }
    virtual void Refresh() {}
    virtual void SetPos(int, int) {}
    virtual void SetValue(int iValue1, int iValue2)
    {
        m_iValue1 = iValue1;
        m_iValue2 = iValue2;
    }
    // Runs on the engine's thread with the hub mutex held.
    virtual void DeviceEvent(const ZELT_DEVICE_EVENT *pEvent) { Q_UNUSED(pEvent); }
    virtual void ChangeExtend(bool bExtend) { Q_UNUSED(bExtend); }

    bool IsShown() const { return m_bShown; }
    void SetShown(bool bShown) { m_bShown = bShown; }

protected:
    // Takes the page out of the store's list. Every class that implements
    // GetTypeId() calls it first in its destructor: the engine's thread asks
    // listed pages for their type, which a page in its base destructor no
    // longer has.
    void LeaveStore();

    bool m_bShown = false;
    int m_iValue1 = 0;
    int m_iValue2 = 0;
};
