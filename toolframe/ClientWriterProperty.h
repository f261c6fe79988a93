// The registry of living page frames and the page types of their tabs.
#pragma once

#include <QList>

class QWidget;
class CBaseDragFrame;

class ClientWriterProperty
{
public:
    int m_iFrameId = -1;
    QWidget *m_pWindow = nullptr; // main window for frame 0, the frame itself otherwise
    CBaseDragFrame *m_pFrame = nullptr;
    int m_iCurrentType = -1;
    QList<int> m_listTypes; // in tab order

    // Process-wide registry operations (GUI thread).
    static void Register(int iFrameId, CBaseDragFrame *pFrame, QWidget *pWindow);
    static void Unregister(int iFrameId);
    static int FrameHolding(int iPageType);
    static CBaseDragFrame *FrameById(int iFrameId);
    static void SetCurrent(int iFrameId, int iPageType);
    static void Insert(int iFrameId, int iIndex, int iPageType);
    static void Remove(int iFrameId, int iPageType);
    static void Move(int iFrameId, int iFrom, int iTo);
    static const QList<ClientWriterProperty> &Records();
};
