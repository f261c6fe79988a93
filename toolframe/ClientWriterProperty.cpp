#include "ClientWriterProperty.h"

namespace {
QList<ClientWriterProperty> &records()
{
    static QList<ClientWriterProperty> list;
    return list;
}

ClientWriterProperty *firstWithId(int id)
{
    for (ClientWriterProperty &r : records())
        if (r.m_iFrameId == id)
            return &r;
    return nullptr;
}
} // namespace

const QList<ClientWriterProperty> &ClientWriterProperty::Records()
{
    return records();
}

void ClientWriterProperty::Register(int iFrameId, CBaseDragFrame *pFrame, QWidget *pWindow)
{
    ClientWriterProperty r;
    r.m_iFrameId = iFrameId;
    r.m_pFrame = pFrame;
    r.m_pWindow = pWindow;
    records().append(r);
}

void ClientWriterProperty::Unregister(int iFrameId)
{
    QList<ClientWriterProperty> &list = records();
    for (qsizetype i = 0; i < list.size(); ++i)
        if (list.at(i).m_iFrameId == iFrameId) {
            list.removeAt(i);
            return;
        }
}

int ClientWriterProperty::FrameHolding(int iPageType)
{
    for (const ClientWriterProperty &r : records())
        if (r.m_listTypes.contains(iPageType))
            return r.m_iFrameId;
    return -1;
}

CBaseDragFrame *ClientWriterProperty::FrameById(int iFrameId)
{
    ClientWriterProperty *r = firstWithId(iFrameId);
    return r ? r->m_pFrame : nullptr;
}

void ClientWriterProperty::SetCurrent(int iFrameId, int iPageType)
{
    for (ClientWriterProperty &r : records())
        if (r.m_iFrameId == iFrameId)
            r.m_iCurrentType = iPageType;
}

void ClientWriterProperty::Insert(int iFrameId, int iIndex, int iPageType)
{
    for (ClientWriterProperty &r : records())
        r.m_listTypes.removeAll(iPageType);
    ClientWriterProperty *r = firstWithId(iFrameId);
    if (!r)
        return;
    if (iIndex < 0 || iIndex > r->m_listTypes.size())
        r->m_listTypes.append(iPageType);
    else
        r->m_listTypes.insert(iIndex, iPageType);
}

void ClientWriterProperty::Remove(int iFrameId, int iPageType)
{
    if (ClientWriterProperty *r = firstWithId(iFrameId))
        r->m_listTypes.removeOne(iPageType);
}

void ClientWriterProperty::Move(int iFrameId, int iFrom, int iTo)
{
    ClientWriterProperty *r = firstWithId(iFrameId);
    if (!r)
        return;
    const qsizetype n = r->m_listTypes.size();
    if (iFrom >= 0 && iFrom < n && iTo >= 0 && iTo < n)
        r->m_listTypes.move(iFrom, iTo);
}
