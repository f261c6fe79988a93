#pragma once
// Text checks of the network parameter fields and the addresses handed to
// a run of devices. Pure functions, so that they can be tested alone.

#include <QList>
#include <QString>

#include <cstdint>

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

} // namespace ZeltNet
