#include "Validators.h"

#include <QStringEncoder>

namespace {

const QString kAnything = QStringLiteral(".*");

#ifndef TOOLKIT_PLUGIN_EDITION
// Removes the character before pos (both halves of a surrogate pair).
bool removeBefore(QString &input, int &pos)
{
    if (pos <= 0 || pos > input.size())
        return false;
    int n = 1;
    if (pos >= 2 && input.at(pos - 1).isLowSurrogate() && input.at(pos - 2).isHighSurrogate())
        n = 2;
    input.remove(pos - n, n);
    pos -= n;
    return true;
}
#endif

} // namespace

CRegExpValidator::CRegExpValidator(int iMaxLength, QObject *parent)
    : QRegularExpressionValidator(QRegularExpression(kAnything), parent)
    , m_iMaxLength(iMaxLength)
{}

#ifndef TOOLKIT_PLUGIN_EDITION
CRegExpValidator::CRegExpValidator(const QRegularExpression &rx, QObject *parent)
    : QRegularExpressionValidator(rx, parent)
    , m_iMaxLength(-1)
{}
#endif

CRegExpValidator::CRegExpValidator(int iMaxLength, const QRegularExpression &rx, QObject *parent)
    : QRegularExpressionValidator(rx, parent)
    , m_iMaxLength(iMaxLength)
{}

int CRegExpValidator::ByteLength(const QString &text)
{
    QStringEncoder enc(QStringConverter::System);
    return int(QByteArray(enc(text)).size());
}

#ifdef TOOLKIT_PLUGIN_EDITION

QValidator::State CRegExpValidator::validate(QString &input, int &pos) const
{
    if (m_iMaxLength >= 0 && ByteLength(input) > m_iMaxLength)
        return Invalid;
    return QRegularExpressionValidator::validate(input, pos);
}

#else

QValidator::State CRegExpValidator::validate(QString &input, int &pos) const
{
    if (m_iMaxLength >= 0 && ByteLength(input) > m_iMaxLength) {
        // A typed character loses only itself; a pasted run is cut back from
        // the cursor until it fits, so the field never holds more bytes than
        // the limit allows.
        while (ByteLength(input) > m_iMaxLength && removeBefore(input, pos)) {
        }
        if (ByteLength(input) > m_iMaxLength) {
            while (!input.isEmpty() && ByteLength(input) > m_iMaxLength)
                input.chop(1);
            pos = qMin(pos, int(input.size()));
        }
        return Intermediate;
    }
    const QRegularExpression rx = regularExpression();
    if (rx.pattern() == kAnything)
        return QRegularExpressionValidator::validate(input, pos);
    if (!rx.isValid() || !rx.match(input).hasMatch())
        return Acceptable;
    // A typed character that completes a forbidden match is the one to go.
    QString withoutTyped = input;
    int typedPos = pos;
    if (removeBefore(withoutTyped, typedPos) && !rx.match(withoutTyped).hasMatch()) {
        input = withoutTyped;
        pos = typedPos;
        return Intermediate;
    }
    // A paste: only the forbidden runs go, the text around them stays.
    for (QRegularExpressionMatch m = rx.match(input); m.hasMatch() && m.capturedLength() > 0; m = rx.match(input)) {
        const int start = int(m.capturedStart());
        const int end = int(m.capturedEnd());
        input.remove(start, end - start);
        if (pos > start)
            pos -= qMin(pos, end) - start;
    }
    return Intermediate;
}

#endif

CIntValidator::CIntValidator(QObject *parent) : QIntValidator(parent) {}

CIntValidator::CIntValidator(int bottom, int top, QObject *parent) : QIntValidator(bottom, top, parent) {}

namespace {

// Four dotted numbers from position 0; fills the numbers (false when one
// does not fit an unsigned int) and whether the match covers the whole text.
bool dottedNumbers(const QString &text, uint out[4], bool *whole)
{
    static const QRegularExpression rx(QStringLiteral("(\\d+)(\\.)(\\d+)(\\.)(\\d+)(\\.)(\\d+)"));
    const QRegularExpressionMatch m = rx.match(text, 0, QRegularExpression::NormalMatch,
                                               QRegularExpression::AnchorAtOffsetMatchOption);
    if (!m.hasMatch())
        return false;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        out[i] = m.captured(1 + 2 * i).toUInt(&ok);
        if (!ok)
            return false;
    }
    if (whole)
        *whole = m.capturedLength(0) == text.size();
    return true;
}

bool onlyDigitsAndDots(const QString &text)
{
    for (QChar c : text)
        if (!(c == QLatin1Char('.') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            return false;
    return true;
}

} // namespace

bool CheckIpAddressByPattern(const QString &text)
{
    if (!onlyDigitsAndDots(text) || text.count(QLatin1Char('.')) != 3)
        return false;
    uint n[4];
    if (!dottedNumbers(text, n, nullptr))
        return false;
    for (uint v : n)
        if (v >= 256)
            return false;
    return n[3] != 0;
}

bool CheckIpAddressBySplit(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        const QString &part = parts.at(i);
        if (part.isEmpty() || !onlyDigitsAndDots(part))
            return false;
        bool ok = false;
        const uint v = part.toUInt(&ok, 10);
        if (!ok || v > 255)
            return false;
        if (i == 3 && v == 0)
            return false;
    }
    return true;
}

bool CheckMulticastAddress(const QString &text)
{
    uint n[4];
    bool whole = false;
    // The whole text must be the address: "224.1.1.1.9" or "224.1.1.1x"
    // are not multicast addresses.
    if (!dottedNumbers(text, n, &whole) || !whole)
        return false;
    for (uint v : n)
        if (v >= 256)
            return false;
    return n[0] >= 224 && n[0] <= 239;
}

bool CheckSubnetMask(const QString &text)
{
    static const QRegularExpression rx(
        QRegularExpression::anchoredPattern(QStringLiteral("(254|252|248|240|224|192|128|0)\\.0\\.0\\.0|"
                                                           "255\\.(254|252|248|240|224|192|128|0)\\.0\\.0|"
                                                           "255\\.255\\.(254|252|248|240|224|192|128|0)\\.0|"
                                                           "255\\.255\\.255\\.(254|252|248|240|224|192|128|0)")));
    return rx.match(text).hasMatch();
}

bool CheckMacAddress(const QString &text)
{
    static const QRegularExpression rx(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9A-Fa-f]{2}:[0-9A-Fa-f]{2}:[0-9A-Fa-f]{2}:[0-9A-Fa-f]{2}:[0-9A-Fa-f]{2}:[0-9A-Fa-f]{2}")));
    return rx.match(text).hasMatch();
}
