#include "ZeltTrust.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <iterator>

#include "ZeltSdkWrapper.h"
#include "zelt_sdk.h"

namespace ZeltTrust {

namespace {
// Values the SDK does not define are shown and handled as untrusted.
uint8_t Known(uint8_t trust)
{
    return trust <= ZELT_TRUST_PINNED ? trust : uint8_t(ZELT_TRUST_UNTRUSTED);
}

// Indexed by ZELT_TRUST_*: the word, what it means, and the table order
// (the best known identities first).
const char *const kWords[] = {
    QT_TRANSLATE_NOOP("QtZelt", "Verified"),  QT_TRANSLATE_NOOP("QtZelt", "Untrusted"),
    QT_TRANSLATE_NOOP("QtZelt", "Ambiguous"), QT_TRANSLATE_NOOP("QtZelt", "Uncertified"),
    QT_TRANSLATE_NOOP("QtZelt", "Pinned"),
};
const char *const kTips[] = {
    QT_TRANSLATE_NOOP("QtZelt", "Verified: maker certificate checked"),
    QT_TRANSLATE_NOOP("QtZelt", "Untrusted: no certificate of a trusted maker"),
    QT_TRANSLATE_NOOP("QtZelt", "Ambiguous: two devices claim this MAC or serial number; commands refused"),
    QT_TRANSLATE_NOOP("QtZelt", "Uncertified: found over ONVIF; cannot prove who it is"),
    QT_TRANSLATE_NOOP("QtZelt", "Pinned: HTTPS certificate as at first contact"),
};
const int kRanks[] = {0, 3, 4, 2, 1};
static_assert(std::size(kWords) == ZELT_TRUST_PINNED + 1 && std::size(kTips) == std::size(kWords)
              && std::size(kRanks) == std::size(kWords));

// One icon drawn at size x size pixels; the shapes differ as well as the
// colours, for readers who do not tell the colours apart.
QPixmap Draw(uint8_t trust, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    QPen white(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (trust) {
    case ZELT_TRUST_VERIFIED: // green disc, white check
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0x9d, 0x48));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(white);
        p.drawPolyline(QPolygonF({QPointF(4.2, 8.4), QPointF(7, 11.2), QPointF(11.8, 5.2)}));
        break;
    case ZELT_TRUST_PINNED: { // blue padlock
        const QColor blue(0x2a, 0x6c, 0xc4);
        p.setPen(QPen(blue, 2.0));
        p.setBrush(Qt::NoBrush);
        QPainterPath shackle;
        shackle.moveTo(4.8, 7.5);
        shackle.lineTo(4.8, 5.2);
        shackle.arcTo(QRectF(4.8, 1.6, 6.4, 6.4), 180, -180);
        shackle.lineTo(11.2, 7.5);
        p.drawPath(shackle);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawRoundedRect(QRectF(2.5, 7, 11, 8.5), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(7, 9.5, 2, 2));
        p.drawRect(QRectF(7.5, 10.5, 1, 3));
        break;
    }
    case ZELT_TRUST_UNCERTIFIED: { // amber triangle, dark exclamation mark
        p.setPen(QPen(QColor(0xc7, 0x7c, 0x00), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(0xf2, 0xa9, 0x00));
        p.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15.3, 14.5), QPointF(0.7, 14.5)}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x33, 0x26, 0x00));
        p.drawRoundedRect(QRectF(7.1, 5, 1.8, 5.6), 0.8, 0.8);
        p.drawEllipse(QRectF(7.05, 11.5, 1.9, 1.9));
        break;
    }
    case ZELT_TRUST_AMBIGUOUS: // red disc, white cross
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd0, 0x2b, 0x2b));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(white);
        p.drawLine(QPointF(5.2, 5.2), QPointF(10.8, 10.8));
        p.drawLine(QPointF(10.8, 5.2), QPointF(5.2, 10.8));
        break;
    default: // untrusted: dark red disc, white bar
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8c, 0x1d, 0x1d));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(3.5, 6.8, 9, 2.4), 1, 1);
        break;
    }
    return pm;
}
} // namespace

Handling HandlingOf(uint8_t trust)
{
    switch (Known(trust)) {
    case ZELT_TRUST_VERIFIED:
    case ZELT_TRUST_PINNED: return Handling::Send;
    case ZELT_TRUST_UNCERTIFIED: return Handling::Ask;
    default: return Handling::Refuse;
    }
}

QString Word(uint8_t trust)
{
    return QCoreApplication::translate("QtZelt", kWords[Known(trust)]);
}

QString Tip(uint8_t trust)
{
    return QCoreApplication::translate("QtZelt", kTips[Known(trust)]);
}

QIcon Icon(uint8_t trust)
{
    // Shared by every row: one icon per level for the life of the process.
    static const QList<QIcon> icons = [] {
        QList<QIcon> out;
        for (uint8_t t = 0; t <= ZELT_TRUST_PINNED; ++t) {
            // The same colours in a selected row: the meaning must not fade.
            QIcon icon;
            for (int side : {16, 32}) {
                const QPixmap pm = Draw(t, side);
                icon.addPixmap(pm, QIcon::Normal);
                icon.addPixmap(pm, QIcon::Selected);
            }
            out.append(icon);
        }
        return out;
    }();
    return icons.at(Known(trust));
}

int Rank(uint8_t trust)
{
    return kRanks[Known(trust)];
}

QString FailureReason(uint32_t sdkError)
{
    switch (sdkError) {
    case ZELT_ERR_NOT_CONSENTED:
        return QCoreApplication::translate(
            "QtZelt", "It cannot prove who it is and sending to it was not agreed to; nothing was sent.");
    case ZELT_ERR_AMBIGUOUS_DEVICE:
        return QCoreApplication::translate(
            "QtZelt", "Two devices claim this MAC or serial number; commands are refused and nothing was sent.");
    case ZELT_ERR_CERT_CHANGED:
        return QCoreApplication::translate(
            "QtZelt", "Its HTTPS certificate is not the one seen at first contact; nothing was sent.");
    case ZELT_ERR_UNTRUSTED_DEVICE:
        return QCoreApplication::translate("QtZelt", "It has no certificate of a trusted maker; nothing was sent.");
    default: return QString();
    }
}

std::function<bool()> GuardedWork(Handling handling, const ZELT_DEVICE_INFO_MY &d, std::function<bool()> command)
{
    if (handling == Handling::Refuse) {
        const uint32_t error = RefusalError(d.byTrust);
        return [error] { return ZeltSdkWrapper::Refuse(error); };
    }
    if (handling == Handling::Ask) {
        const QByteArray mac = ZeltRecords::bytes(d.szMAC);
        return [mac, command = std::move(command)] {
            ZeltSdkWrapper::AllowUncertified(mac);
            return command();
        };
    }
    return command;
}

uint32_t RefusalError(uint8_t trust)
{
    return Known(trust) == ZELT_TRUST_AMBIGUOUS ? ZELT_ERR_AMBIGUOUS_DEVICE : ZELT_ERR_UNTRUSTED_DEVICE;
}

} // namespace ZeltTrust
