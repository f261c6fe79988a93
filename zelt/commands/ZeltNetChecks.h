#pragma once
// Text checks of the panel's fields and the addresses handed to a run of
// devices. Pure functions, so that they can be tested alone.

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

#include "ZeltFieldError.h"
#include "ZeltNetworkRequest.h"

namespace ZeltNet {

// Four decimal parts 0..255, the last not 0.
bool IsValidIPv4(const QString &text);
// The contiguous masks of the form a.0.0.0 .. 255.255.255.b; 0.0.0.0 passes,
// 255.255.255.255 does not.
bool IsValidMask(const QString &text);
// "0.0.0.0" or an IPv4 address.
bool IsValidGateway(const QString &text);
// Textual IPv6 address; a zone ("%eth0") is dropped first; a dotted IPv4
// tail must itself pass IsValidIPv4.
bool IsValidIPv6(const QString &text);

// Addresses for a run of count devices starting at start (already valid)
// in the subnet of mask: the first is start itself, each further one the
// next 32-bit address that a single device would be given too (last part
// not 0) and that is not the broadcast address of its subnet under mask.
// Empty when the run would pass 255.255.255.254.
QList<QString> RunAddresses(const QString &start, int count, const QString &mask);

// Printable ASCII only (0x20..0x7E): passwords and security codes are sent
// as 8-bit text and must reach the device exactly as typed.
bool IsPrintableAscii(const QString &text);

// The network section's fields, checked in the order the user reads them
// (address, mask, port, HTTP port if in use, gateway, IPv6 settings if in
// use, password): the request, or the first field that fails.
std::variant<ZeltNetworkRequest, ZeltFieldError> CheckNetworkFields(const ZeltNetworkRequest::Fields &fields);
// A new password and its confirmation: not empty, equal, and printable
// ASCII (it is sent as 8-bit text).
std::optional<ZeltFieldError> CheckNewPassword(const QString &password, const QString &confirmation);
// A security code: not empty, printable ASCII.
std::optional<ZeltFieldError> CheckSecurityCode(const QString &code);
// A password sent as typed: printable ASCII (empty is allowed).
std::optional<ZeltFieldError> CheckPassword(const QString &password, ZeltFieldError::Field field);

} // namespace ZeltNet
