#include "ZeltNetChecks.h"

#include <QCoreApplication>
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

namespace {
// The panel's texts.
QString Text(const char *text)
{
    return QCoreApplication::translate("QtZelt", text);
}
} // namespace

std::optional<ZeltFieldError> CheckPassword(const QString &password, ZeltFieldError::Field field)
{
    // The password goes to the device as 8-bit text: a character that has
    // no such form would silently become another password.
    if (!IsPrintableAscii(password))
        return ZeltFieldError{
            field, Text(QT_TRANSLATE_NOOP("QtZelt", "The password may only contain printable ASCII characters."))};
    return std::nullopt;
}

std::variant<ZeltNetworkRequest, ZeltFieldError> CheckNetworkFields(const ZeltNetworkRequest::Fields &f)
{
    using Field = ZeltFieldError::Field;
    auto error = [](Field field, const char *text) { return ZeltFieldError{field, Text(text)}; };
    ZeltNetworkRequest r;
    r.ipv4 = f.ipv4.trimmed();
    if (r.ipv4.isEmpty())
        return error(Field::IPv4, QT_TRANSLATE_NOOP("QtZelt", "IP address cannot be empty."));
    if (!IsValidIPv4(r.ipv4))
        return error(Field::IPv4, QT_TRANSLATE_NOOP("QtZelt", "IP Address not correct."));
    r.mask = f.mask.trimmed();
    if (r.mask.isEmpty())
        return error(Field::Mask, QT_TRANSLATE_NOOP("QtZelt", "Subnet mask cannot be empty."));
    if (!IsValidMask(r.mask))
        return error(Field::Mask, QT_TRANSLATE_NOOP("QtZelt", "Subnet Mask not correct."));
    bool portOk = false;
    r.port = f.port.trimmed().toUInt(&portOk);
    if (!portOk || r.port < 2000 || r.port > 65535)
        return error(Field::Port, QT_TRANSLATE_NOOP("QtZelt", "Device port ranges from 2000 to 65535."));
    r.httpPort = f.httpPort.trimmed();
    if (f.httpPortInUse) {
        bool httpOk = false;
        const uint http = r.httpPort.toUInt(&httpOk);
        if (!httpOk || http < 1 || http > 65535)
            return error(Field::HttpPort, QT_TRANSLATE_NOOP("QtZelt", "Http port ranges from 1 to 65535."));
    }
    r.gateway = f.gateway.trimmed();
    if (!r.gateway.isEmpty() && !IsValidGateway(r.gateway))
        return error(Field::Gateway, QT_TRANSLATE_NOOP("QtZelt", "Gateway not correct."));
    if (f.ipv6InUse) {
        r.sendIPv6 = true;
        r.ipv6 = f.ipv6.trimmed();
        r.ipv6Gateway = f.ipv6Gateway.trimmed();
        if (!r.ipv6.isEmpty() && !IsValidIPv6(r.ipv6))
            return error(Field::IPv6, QT_TRANSLATE_NOOP("QtZelt", "IPv6 Address not correct."));
        if (!r.ipv6Gateway.isEmpty() && !IsValidIPv6(r.ipv6Gateway))
            return error(Field::IPv6Gateway, QT_TRANSLATE_NOOP("QtZelt", "IPv6 gateway not correct."));
        // An empty prefix field means prefix length 0.
        const QString prefix = f.ipv6Prefix.trimmed();
        bool prefixOk = prefix.isEmpty();
        const uint length = prefixOk ? 0 : prefix.toUInt(&prefixOk);
        if (!prefixOk || length > 64)
            return error(Field::IPv6Prefix, QT_TRANSLATE_NOOP("QtZelt", "IPv6 prefix length ranges from 0 to 64."));
        r.ipv6Prefix = uint8_t(length);
    }
    if (std::optional<ZeltFieldError> bad = CheckPassword(f.password, Field::Password))
        return *bad;
    r.password = f.password.toLatin1();
    return r;
}

std::optional<ZeltFieldError> CheckNewPassword(const QString &password, const QString &confirmation)
{
    using Field = ZeltFieldError::Field;
    if (password.isEmpty())
        return ZeltFieldError{Field::NewPassword, Text(QT_TRANSLATE_NOOP("QtZelt", "The password can not be empty."))};
    if (password != confirmation)
        return ZeltFieldError{Field::NewPassword,
                              Text(QT_TRANSLATE_NOOP("QtZelt", "The password you typed do not match."))};
    return CheckPassword(password, Field::NewPassword);
}

std::optional<ZeltFieldError> CheckSecurityCode(const QString &code)
{
    using Field = ZeltFieldError::Field;
    if (code.isEmpty())
        return ZeltFieldError{Field::SecurityCode, Text(QT_TRANSLATE_NOOP("QtZelt", "Password cannot be empty."))};
    if (!IsPrintableAscii(code))
        return ZeltFieldError{
            Field::SecurityCode,
            Text(QT_TRANSLATE_NOOP("QtZelt", "The security code may only contain printable ASCII characters."))};
    return std::nullopt;
}

} // namespace ZeltNet
