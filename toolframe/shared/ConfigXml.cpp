#include "ConfigXml.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>

#include "vela.h"

namespace ConfigXml {

QStringList ReadEnabledTools(const QString &strFileName)
{
    const QString path = QDir::isAbsolutePath(strFileName)
                             ? strFileName
                             : QString::fromLocal8Bit(Vela_ProgramDir()) + QLatin1Char('/') + strFileName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QDomDocument doc;
    if (!doc.setContent(&file))
        return {};
    const QDomElement first = doc.documentElement().firstChildElement();
    if (first.isNull())
        return {};
    // Whitespace is no Base64 character: a value wrapped over lines by hand
    // or by an encoder loses it before decoding.
    QByteArray encoded = first.text().toLatin1();
    encoded.removeIf([](char c) { return QChar::isSpace(uchar(c)); });
    const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    if (decoded.decoded.isEmpty())
        return {};
    return QString::fromLatin1(decoded.decoded).split(QLatin1Char(','));
}

QByteArray Encode(const QStringList &tools)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Config>\n  <Tools>"
           + tools.join(QLatin1Char(',')).toLatin1().toBase64() + "</Tools>\n</Config>\n";
}

} // namespace ConfigXml
