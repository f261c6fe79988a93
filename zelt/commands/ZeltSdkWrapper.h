#pragma once
// The plug-in's own calls into the ZELT SDK: batch DHCP changes, activation,
// password restore and reset, the device key export, the clock and the
// address ranges searched beyond the segment. Every call goes
// through a table of function pointers that defaults to the SDK, so tests
// can put a device that answers in a particular way behind the panel.

#include <QByteArray>
#include <QString>

#include <cstdint>

#include "zelt_sdk.h"

struct ZeltSdkApi {
    int (*modifyNetParam)(const char *mac, const char *password, const ZELT_NET_PARAM *param);
    int (*activate)(const char *serial, const char *password);
    int (*resetDefault)(const char *serial, const char *securityCode);
    int (*reset)(const char *serial, const ZELT_RESET_PARAM *request);
    int (*getConfig)(const char *serial, uint32_t command, const void *in, uint32_t inLen, void *out, uint32_t outLen);
    uint32_t (*lastError)();
    int (*allowUncertified)(const char *mac);
    int (*acceptNewCertificate)(const char *mac);
    int (*setScanRanges)(const char *ranges);
    int (*syncTime)(const char *mac, const char *password);
};

namespace ZeltSdkWrapper {

// The table in use; SetApi(nullptr) goes back to the SDK.
const ZeltSdkApi &Api();
void SetApi(const ZeltSdkApi *api);

// Network parameters for the batch DHCP change, a block built by
// BuildNetParam; safe on any thread. True only when the SDK returned 1.
bool ModifyNetParam(const QByteArray &mac, const QByteArray &password, const ZELT_NET_PARAM &param);

// Fills the parameter block: empty IPv6 texts become "::", an empty HTTP
// port 0 (both: leave unchanged).
void BuildNetParam(ZELT_NET_PARAM &param, const QString &ipv4, const QString &mask, const QString &gateway,
                   const QString &ipv6, const QString &ipv6Gateway, int prefixLen, const QString &port,
                   const QString &httpPort, bool dhcp);

bool Activate(const QByteArray &serial, const QByteArray &password);
bool ResetDefault(const QByteArray &serial, const QByteArray &securityCode);
bool Reset(const QByteArray &serial, const ZELT_RESET_PARAM &request);
// The device key; false when the SDK reported failure. A length above the
// 256 data bytes is clamped.
bool GetDeviceKey(const QByteArray &serial, QByteArray *key);

// The user agreed that the next command to this device may carry a secret
// although the device cannot prove who it is. True when the SDK took it.
bool AllowUncertified(const QByteArray &mac);

// The user accepts the HTTPS certificate the device now presents in place
// of the pinned one. True when the SDK took it.
bool AcceptNewCertificate(const QByteArray &mac);

// The device's clock set to this computer's; safe on any thread.
bool SyncTime(const QByteArray &mac, const QByteArray &password);

// The ranges searched by unicast besides the segment, replacing those set
// before ("" clears them). 0, or the SDK's error when it refused the text
// (the ranges searched are then as they were).
uint32_t SetScanRanges(const QByteArray &ranges);

// The SDK's last error after this thread's last failed call (0 when none).
uint32_t LastError();
// Before a command: no error yet on this thread.
void ClearLastError();
// After the host's own call into the SDK failed on this thread: its error
// becomes this thread's last error.
void NoteHostFailure(const char *what);
// A command the panel refuses itself, as the SDK would: false, with the
// SDK's error for it as this thread's last error.
bool Refuse(uint32_t sdkError);

} // namespace ZeltSdkWrapper
