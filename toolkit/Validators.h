#pragma once
// Validators and the free check functions for address, mask and MAC texts.

#include <QIntValidator>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QString>

// Byte-length limit (in the locale's 8-bit encoding) plus a pattern.
//
// Shell edition: the pattern names what is FORBIDDEN (except ".*", which
// allows everything); a typed character that breaks the limit or completes
// a forbidden match is removed at once, a paste loses only its forbidden
// characters, and the result is Intermediate.
// Plug-in edition: an over-long text is Invalid; otherwise the pattern names
// what is ALLOWED, as in QRegularExpressionValidator.
class CRegExpValidator : public QRegularExpressionValidator
{
    Q_OBJECT
public:
    explicit CRegExpValidator(int iMaxLength, QObject *parent = nullptr);
#ifndef TOOLKIT_PLUGIN_EDITION
    explicit CRegExpValidator(const QRegularExpression &rx, QObject *parent = nullptr);
#endif
    CRegExpValidator(int iMaxLength, const QRegularExpression &rx, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

    int MaxLength() const
    {
        return m_iMaxLength;
    }
    // Length of text in bytes of the locale's 8-bit encoding.
    static int ByteLength(const QString &text);

private:
    int m_iMaxLength = -1;
};

class CIntValidator : public QIntValidator
{
    Q_OBJECT
public:
    explicit CIntValidator(QObject *parent = nullptr);
    CIntValidator(int bottom, int top, QObject *parent = nullptr);
};

// IPv4 address: digits and dots only, three dots, four numbers below 256,
// the last not 0.
bool CheckIpAddressByPattern(const QString &text);
// IPv4 address by splitting at ".": four unsigned decimals up to 255, the
// last not 0.
bool CheckIpAddressBySplit(const QString &text);
// IPv4 multicast address: four numbers below 256, the first 224..239.
bool CheckMulticastAddress(const QString &text);
// Subnet mask made of contiguous ones (0.0.0.0 passes, 255.255.255.255 not).
bool CheckSubnetMask(const QString &text);
// MAC address "xx:xx:xx:xx:xx:xx", hexadecimal digits of either case.
bool CheckMacAddress(const QString &text);
