#pragma once
// The device key file (DeviceKey.xml) a key export writes.

#include <QByteArray>
#include <QString>

namespace ZeltKeyFile {

// The file's name in the folder the user chose.
QString PathIn(const QString &strFolder);
// Whether a symbolic link stands in the file's place.
bool IsLink(const QString &strPath);
// Writes the key to a file of its own in the same folder and renames it
// into place: a write that fails leaves whatever file was there, never a
// cut-off key, and the rename replaces a link instead of following it.
bool Write(const QString &strPath, const QByteArray &key);

} // namespace ZeltKeyFile
