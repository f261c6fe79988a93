#pragma once
// The address ranges searched beyond the local segment, as the user named
// them with "Add by address or range": the SDK alone decides what a range
// is; ranges it took are kept in the user's configuration of the plug-in,
// so that the next panel searches them again.

#include <QString>

#include <cstdint>

namespace ZeltScanRanges {

// The plug-in's per-user configuration (INI):
// $XDG_CONFIG_HOME/toolbay/Zeltscan.conf, or ~/.config/toolbay/Zeltscan.conf.
QString ConfigFile();
// The ranges taken last; empty when none are kept.
QString Remembered();

// The text as the SDK is given it: full-width digits and signs typed with a
// Chinese input method become their ASCII forms, its enumeration comma a
// comma, the ends are trimmed.
QString Normalized(const QString &strText);
// Hands the ranges to the SDK. Taken: kept (an empty text clears the
// ranges and keeps none) and an empty result. Refused: why, translated,
// and nothing changed, neither the SDK's ranges nor what is kept.
QString Apply(const QString &strText);
// When the panel is made: the kept ranges to the SDK again (a text it no
// longer takes is logged and left alone).
void ApplyRemembered();

// What the user is told when the SDK refused a text with this error.
QString RefusalText(uint32_t sdkError);

} // namespace ZeltScanRanges
