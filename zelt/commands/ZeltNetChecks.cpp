#include "ZeltNetChecks.h"

#include <QRegularExpression>
#include <QStringList>

#include <arpa/inet.h>

namespace ZeltNet {

namespace {
bool ParseIPv4(const QString &text, uint32_t *out)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    uint32_t value = 0;
    for (const QString &p : parts) {
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        const uint n = p.toUInt();
        if (n > 255)
            return false;
        value = (value << 8) | n;
    }
    *out = value;
    return true;
}

QString FormatIPv4(uint32_t v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v >> 24).arg((v >> 16) & 0xff).arg((v >> 8) & 0xff).arg(v & 0xff);
}
} // namespace

bool IsValidIPv4(const QString &text)
{
    uint32_t v = 0;
    return ParseIPv4(text, &v) && (v & 0xff) != 0;
}

bool IsValidMask(const QString &text)
{
    static const QRegularExpression mask(
        QRegularExpression::anchoredPattern(QStringLiteral("(254|252|248|240|224|192|128|0)\\.0\\.0\\.0|"
                                                           "255\\.(254|252|248|240|224|192|128|0)\\.0\\.0|"
                                                           "255\\.255\\.(254|252|248|240|224|192|128|0)\\.0|"
                                                           "255\\.255\\.255\\.(254|252|248|240|224|192|128|0)")));
    return mask.match(text).hasMatch();
}

bool IsValidGateway(const QString &text)
{
    return text == QLatin1String("0.0.0.0") || IsValidIPv4(text);
}

bool IsValidIPv6(const QString &text)
{
    QString addr = text;
    const int zone = addr.lastIndexOf(QLatin1Char('%'));
    if (zone >= 0)
        addr.truncate(zone);
    const QStringList parts = addr.split(QLatin1Char(':'));
    if (parts.size() < 3 || parts.size() > 8)
        return false;
    if (parts.size() == 8 && addr.count(QLatin1String("::")) > 1)
        return false;
    for (QChar c : addr)
        if (c.unicode() > 0x7e)
            return false;
    const QByteArray latin = addr.toLatin1();
    unsigned char buf[16];
    if (inet_pton(AF_INET6, latin.constData(), buf) != 1)
        return false;
    // A dotted tail follows the IPv4 rule of these fields.
    const QString &last = parts.last();
    if (last.contains(QLatin1Char('.')) && !IsValidIPv4(last))
        return false;
    return true;
}

QList<QString> RunAddresses(const QString &start, int count, const QString &mask)
{
    QList<QString> out;
    uint32_t v = 0;
    if (count <= 0 || !ParseIPv4(start, &v))
        return out;
    uint32_t maskBits = 0xFFFFFF00u; // a mask that does not parse: as for a /24
    ParseIPv4(mask, &maskBits);
    const uint32_t hostBits = ~maskBits;
    // Subnets of two addresses or fewer have no broadcast address to keep
    // free.
    auto isBroadcast = [hostBits](uint64_t a) { return hostBits > 1 && (uint32_t(a) & hostBits) == hostBits; };
    uint64_t cur = v;
    out.append(FormatIPv4(v));
    constexpr uint64_t kLast = 0xFFFFFFFEull; // 255.255.255.254
    for (int k = 1; k < count; ++k) {
        ++cur;
        while (cur <= kLast && ((cur & 0xff) == 0 || isBroadcast(cur)))
            ++cur;
        if (cur > kLast)
            return {};
        out.append(FormatIPv4(uint32_t(cur)));
    }
    return out;
}

bool IsPrintableAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

} // namespace ZeltNet
