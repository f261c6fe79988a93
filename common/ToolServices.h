// The contract between the shell and every tool library: the device
// services the shell hands to a tool, and the tool's entry points.
#pragma once

#include <cstdint>

class QWidget;
class QGridLayout;
struct ZELT_DEVICE_EVENT;

// Changes a device's network parameters through the shell's engine. Texts are
// 8-bit and NUL-terminated; ipv6/ipv6Gateway may be null. True when the
// device accepted the change.
typedef bool (*TBX_ModifyNetParamFunc)(const char *mac, const char *ipv4, const char *mask, const char *password,
                                       const char *port, const char *httpPort, const char *gateway, const char *ipv6,
                                       const char *ipv6Gateway, unsigned char prefixLen, unsigned char dhcp);
// Second host function: kept by tools, never required to do anything.
typedef bool (*TBX_ResetPasswordFunc)(int32_t, int32_t);
// Asks the engine to look for devices now.
typedef bool (*TBX_RefreshFunc)();

// Entry points a tool library exports with C linkage (names per catalogue row).
typedef bool (*TBX_OpenDialogFunc)(QWidget *parent, QGridLayout *layout, bool showTitle, TBX_ModifyNetParamFunc modify,
                                   TBX_ResetPasswordFunc reset, TBX_RefreshFunc refresh);
typedef void (*TBX_ChangeSizeFunc)(int32_t detached); // 1 = own window, 0 = tab page
typedef void (*TBX_DeviceCallbackFunc)(const ZELT_DEVICE_EVENT *event);
typedef void (*TBX_ChangeExtendFunc)(bool extend);
