#include "TabDragData.h"

#include <QImage>
#include <QMimeData>
#include <QPixmap>
#include <QVariant>

namespace TabDrag {

namespace {

void AppendLE32(QByteArray &out, qint32 value)
{
    const quint32 v = static_cast<quint32>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((v >> shift) & 0xFF));
}

qint32 ReadLE32(const QByteArray &in, int offset)
{
    quint32 v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<quint32>(static_cast<unsigned char>(in.at(offset + i))) << (8 * i);
    return static_cast<qint32>(v);
}

} // namespace

QByteArray EncodeData(int iTabIndex, int iPageType)
{
    QByteArray out;
    out.reserve(8);
    AppendLE32(out, iTabIndex);
    AppendLE32(out, iPageType);
    return out;
}

void DecodeData(const QByteArray &data, int *pTabIndex, int *pPageType)
{
    const int iIndex = data.size() >= 4 ? ReadLE32(data, 0) : -1;
    const int iType = data.size() >= 8 ? ReadLE32(data, 4) : -1;
    if (pTabIndex)
        *pTabIndex = iIndex;
    if (pPageType)
        *pPageType = iType;
}

QMimeData *BuildMimeData(int iTabIndex, int iPageType, const QString &strText, const QIcon &icon)
{
    auto *pMime = new QMimeData;
    pMime->setData(QString::fromLatin1(kDataFormat), EncodeData(iTabIndex, iPageType));
    pMime->setData(QString::fromLatin1(kTextFormat), strText.toUtf8());
    // Tabs only travel between windows of this process, so the icon itself
    // can ride along with all its sizes.
    pMime->setImageData(QVariant::fromValue(icon));
    return pMime;
}

Payload ReadMimeData(const QMimeData *pMime)
{
    Payload payload;
    if (!pMime)
        return payload;
    DecodeData(pMime->data(QString::fromLatin1(kDataFormat)), &payload.iTabIndex, &payload.iPageType);
    payload.strText = QString::fromUtf8(pMime->data(QString::fromLatin1(kTextFormat)));
    if (pMime->hasImage()) {
        const QVariant image = pMime->imageData();
        if (image.canConvert<QIcon>() && image.metaType() == QMetaType::fromType<QIcon>())
            payload.icon = image.value<QIcon>();
        else if (image.metaType() == QMetaType::fromType<QPixmap>())
            payload.icon = QIcon(image.value<QPixmap>());
        else if (image.metaType() == QMetaType::fromType<QImage>())
            payload.icon = QIcon(QPixmap::fromImage(image.value<QImage>()));
    }
    return payload;
}

bool IsAcceptable(const QMimeData *pMime)
{
    if (!pMime || !pMime->hasFormat(QString::fromLatin1(kDataFormat)))
        return false;
    int iType = -1;
    DecodeData(pMime->data(QString::fromLatin1(kDataFormat)), nullptr, &iType);
    return iType > 0;
}

} // namespace TabDrag
