#pragma once
// What the sections of the settings column show, as the sections hold it:
// set when the selection changes, rendered into their widgets in one
// place, reported by the panel as properties.

#include <QObject>

namespace ZeltModes {
Q_NAMESPACE

// The network section: no device selected, one device, or a run of several.
enum class Network { Off, Single, Run };
Q_ENUM_NS(Network)

// The password section: no device selected; a device that restores its
// default password with a security code; activation (inactive devices, or
// several devices); a new password by key file; key files only.
enum class Password { Off, RestoreDefault, Activate, ResetPassword, KeyFilesOnly };
Q_ENUM_NS(Password)

} // namespace ZeltModes
