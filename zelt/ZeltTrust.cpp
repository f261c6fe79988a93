#include "ZeltTrust.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QTextBrowser>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "Buttons.h"
#include "CWarnDlg.h"
#include "ZeltSdkWrapper.h"
#include "zelt_sdk.h"

namespace ZeltTrust {

namespace {
// Values the SDK does not define are shown and handled as untrusted.
uint8_t Known(uint8_t trust)
{
    return trust <= ZELT_TRUST_PINNED ? trust : uint8_t(ZELT_TRUST_UNTRUSTED);
}

struct Level {
    const char *word;
    const char *tip;
    int rank;
};
// Indexed by ZELT_TRUST_*.
const Level kLevels[] = {
    {QT_TRANSLATE_NOOP("QtZelt", "Verified"), QT_TRANSLATE_NOOP("QtZelt", "Verified: maker certificate checked"), 0},
    {QT_TRANSLATE_NOOP("QtZelt", "Untrusted"),
     QT_TRANSLATE_NOOP("QtZelt", "Untrusted: no certificate of a trusted maker"), 3},
    {QT_TRANSLATE_NOOP("QtZelt", "Ambiguous"),
     QT_TRANSLATE_NOOP("QtZelt", "Ambiguous: two devices claim this MAC or serial number; commands refused"), 4},
    {QT_TRANSLATE_NOOP("QtZelt", "Uncertified"),
     QT_TRANSLATE_NOOP("QtZelt", "Uncertified: found over ONVIF; cannot prove who it is"), 2},
    {QT_TRANSLATE_NOOP("QtZelt", "Pinned"),
     QT_TRANSLATE_NOOP("QtZelt", "Pinned: HTTPS certificate as at first contact"), 1},
};
static_assert(sizeof kLevels / sizeof kLevels[0] == ZELT_TRUST_PINNED + 1);

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
    return QCoreApplication::translate("QtZelt", kLevels[Known(trust)].word);
}

QString Tip(uint8_t trust)
{
    return QCoreApplication::translate("QtZelt", kLevels[Known(trust)].tip);
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
    return kLevels[Known(trust)].rank;
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

// ------------------------------------------------------------ delegate

void CZeltTrustDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const int iconSide = opt.decorationSize.width();
    const bool wide = opt.rect.width() >= iconSide + 12 + opt.fontMetrics.horizontalAdvance(opt.text);
    if (wide || opt.icon.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Narrow: the style draws the cell's ground and selection, the icon goes
    // in the middle.
    const QIcon icon = opt.icon;
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect target = QStyle::alignedRect(opt.direction, Qt::AlignCenter, opt.decorationSize, opt.rect);
    icon.paint(painter, target);
}

// ------------------------------------------------------------ consent

ZeltTrust::Handling CZeltConsent::Add(const QString &strId, const ZELT_DEVICE_INFO_MY &d)
{
    const ZeltTrust::Handling h = ZeltTrust::HandlingOf(d.byTrust);
    if (h == ZeltTrust::Handling::Ask)
        m_asked.append({strId.trimmed(), ZeltRecords::text(d.szIPv4Address)});
    m_iSend += h == ZeltTrust::Handling::Send ? 1 : 0;
    m_isAsked.append(h == ZeltTrust::Handling::Ask);
    return h;
}

QString CZeltConsent::Title()
{
    return tr("Identity not verified");
}

QString CZeltConsent::Text(const QString &strQuestion, bool bOthers) const
{
    QString text = m_asked.size() == 1 ? tr("This device cannot prove who it is (found over ONVIF, no maker "
                                            "certificate):")
                                       : tr("%1 devices cannot prove who they are (found over ONVIF, no maker "
                                            "certificate):")
                                             .arg(m_asked.size());
    const qsizetype listed = m_asked.size() > kListed + 1 ? kListed : m_asked.size();
    for (qsizetype i = 0; i < listed; ++i)
        text += QLatin1Char('\n') + tr("ID %1   %2").arg(m_asked.at(i).id, m_asked.at(i).address);
    if (listed < m_asked.size())
        text += QLatin1Char('\n') + tr("and %1 more").arg(m_asked.size() - listed);
    text += QStringLiteral("\n\n") + strQuestion;
    if (bOthers)
        text += QLatin1Char('\n') + tr("No leaves them out; the other devices are changed either way.");
    return text;
}

namespace {
// Return and Enter answer No: a key pressed out of habit must not send a
// secret to a device that cannot prove who it is.
class CReturnMeansNo : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select) {
                static_cast<QDialog *>(parent())->reject();
                return true;
            }
        }
        return QObject::eventFilter(watched, e);
    }
};
} // namespace

namespace {
// A question whose default is No: Yes and No, Return answers No, the box
// only as tall as its text.
void PrepareQuestion(CWarnDlg &dlg, const QString &strTitle, const QString &strText)
{
    dlg.ConfirmButton()->setText(QCoreApplication::translate("QtZelt", "Yes"));
    dlg.CancelButton()->setText(QCoreApplication::translate("QtZelt", "No"));
    // Key presses reach the box from whichever of its widgets has the focus:
    // the filter sits on each.
    auto *filter = new CReturnMeansNo(&dlg);
    dlg.installEventFilter(filter);
    for (QWidget *w : dlg.findChildren<QWidget *>())
        w->installEventFilter(filter);
    dlg.CancelButton()->setDefault(true);
    dlg.CancelButton()->setFocus();
    dlg.PrepareText(strTitle, strText, true);
    // While hidden, the box grows for its text once per measurement without
    // laying itself out in between, so a list of devices made it several
    // times too tall: lay it out, give back what the text does not need
    // (the box keeps 30 pixels below the text as it does when it grows).
    QLayout *layout = dlg.layout();
    layout->invalidate();
    layout->activate();
    const int spare = dlg.GetContentFrame()->height() - (dlg.Browser()->height() + 30);
    if (spare > 0 && dlg.height() - spare >= CWarnDlg::kFixedHeight) {
        dlg.setFixedHeight(dlg.height() - spare);
        layout->invalidate();
        layout->activate();
    }
}
} // namespace

void CZeltConsent::Prepare(CWarnDlg &dlg, const QString &strQuestion, bool bOthers) const
{
    dlg.setObjectName(QStringLiteral("ZeltConsentDlg"));
    PrepareQuestion(dlg, Title(), Text(strQuestion, bOthers));
}

bool CZeltConsent::Ask(QWidget *parent, const QString &strQuestion, bool bOthers) const
{
    if (!Needed())
        return true;
    CWarnDlg dlg(parent);
    Prepare(dlg, strQuestion, bOthers);
    return dlg.exec() == 1;
}

// ------------------------------------------------------- new certificates

void CZeltNewCertificates::Add(const QString &strId, const QString &strAddress, const QByteArray &mac)
{
    m_devices.append({strId.trimmed(), strAddress, mac});
}

QString CZeltNewCertificates::Title()
{
    return tr("New certificate");
}

QString CZeltNewCertificates::Text() const
{
    QString text = m_devices.size() == 1
                       ? tr("This device presents a new HTTPS certificate, not the one seen at first contact:")
                       : tr("%1 devices present a new HTTPS certificate, not the one seen at first contact:")
                             .arg(m_devices.size());
    const qsizetype listed = m_devices.size() > CZeltConsent::kListed + 1 ? CZeltConsent::kListed : m_devices.size();
    for (qsizetype i = 0; i < listed; ++i)
        text += QLatin1Char('\n') + tr("ID %1   %2").arg(m_devices.at(i).id, m_devices.at(i).address);
    if (listed < m_devices.size())
        text += QLatin1Char('\n') + tr("and %1 more").arg(m_devices.size() - listed);
    text += QStringLiteral("\n\n")
            + tr("Accept the new certificates? Only if these devices were replaced: otherwise another host may be "
                 "answering in their place.");
    return text;
}

void CZeltNewCertificates::Prepare(CWarnDlg &dlg) const
{
    dlg.setObjectName(QStringLiteral("ZeltNewCertificateDlg"));
    PrepareQuestion(dlg, Title(), Text());
}

bool CZeltNewCertificates::Offer(QWidget *parent) const
{
    if (!Needed())
        return false;
    CWarnDlg dlg(parent);
    Prepare(dlg);
    if (dlg.exec() != 1)
        return false;
    for (const Device &d : m_devices)
        ZeltSdkWrapper::AcceptNewCertificate(d.mac);
    return true;
}
