// "Config.xml": the Base64-encoded, comma-separated list of enabled tools.
#pragma once

#include <QStringList>

namespace ConfigXml {

// The enabled-tool list from the file (relative names are taken from the
// program directory). Missing or malformed files (bad XML, bad Base64)
// give an empty list; any length is read whole, whitespace inside the
// Base64 text (a value wrapped over lines) is skipped.
QStringList ReadEnabledTools(const QString &strFileName = QStringLiteral("Config.xml"));

// The file contents for a list, as the reader expects it.
QByteArray Encode(const QStringList &tools);

} // namespace ConfigXml
