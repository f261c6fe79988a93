/* The ZELT device-search SDK: finds devices on the local network and sends
 * them configuration commands. C interface, shared by the shell, the
 * device-search plug-in and the command-line tools.
 *
 * Success values: every call returns 1 on success unless noted; on failure
 * it returns 0 and ZELT_GetLastError() tells why (codes below). */
#ifndef ZELT_SDK_H
#define ZELT_SDK_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define ZELT_API __declspec(dllexport)
#define ZELT_CALLBACK __stdcall
#else
#define ZELT_API __attribute__((visibility("default")))
#define ZELT_CALLBACK
#endif

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* One device as the SDK reports it. Text fields are 8-bit, NUL-terminated
 * within their width. */
typedef struct ZELT_DEVICE_INFO {
    char szReserved[12];              /*   0 */
    char szSerialNO[48];              /*  12 serial number */
    char szMAC[20];                   /*  60 "aa-bb-cc-dd-ee-ff" */
    char szIPv4Address[16];           /*  80 */
    char szIPv4SubnetMask[16];        /*  96 */
    uint32_t dwDeviceType;            /* 112 numeric model family */
    uint32_t dwPort;                  /* 116 service port */
    uint32_t dwNumberOfEncoders;      /* 120 channels */
    uint32_t dwNumberOfHardDisk;      /* 124 further device count */
    char szDeviceSoftwareVersion[48]; /* 128 */
    char szDSPVersion[48];            /* 176 */
    char szBootTime[48];              /* 224 start time */
    int32_t iResult;                  /* 272 event kind: 1 new, 2 changed, 3 gone, 4 new */
    char szDevDesc[24];               /* 276 device type name */
    char szOEMinfo[24];               /* 300 not used */
    char szIPv4Gateway[16];           /* 324 */
    char szIPv6Address[46];           /* 340 */
    char szIPv6Gateway[46];           /* 386 */
    uint8_t byIPv6MaskLen;            /* 432 prefix length */
    uint8_t bySupport;                /* 433 capability bits */
    uint8_t byDhcpEnabled;            /* 434 1 = on */
    uint8_t byExtendInfo;             /* 435 1 = 324..433 valid */
    uint16_t wHttpPort;               /* 436 */
    uint8_t byProtocol;               /* 438 ZELT_PROTOCOL_*: the protocol the device was found by */
    uint8_t byClockKnown;             /* 439 1 = iClockOffset was measured */
    int32_t iClockOffset;             /* 440 the device's clock minus this computer's, seconds */
    uint8_t byRes1[15];               /* 444 */
    uint8_t byActivated;              /* 459 0 = active, else inactive */
    uint8_t byTrust;                  /* 460 ZELT_TRUST_*: what the SDK knows of the device's identity */
    uint8_t byRes2[39];               /* 461 */
} ZELT_DEVICE_INFO;

/* Capability bits of bySupport. */
#define ZELT_SUPPORT_IPV6 0x01
#define ZELT_SUPPORT_MODIFY_IPV6 0x02
#define ZELT_SUPPORT_DHCP 0x04
#define ZELT_SUPPORT_NEW_PASSWORD 0x20
#define ZELT_SUPPORT_RESET_PASSWORD 0x40

/* Values of byTrust. Only devices with a certificate of a trusted maker
 * are listed and sent commands; announcements without one are reported
 * (flagged 1) only when ZELT_REPORT_UNTRUSTED=1, for diagnosis. */
#define ZELT_TRUST_VERIFIED 0
#define ZELT_TRUST_UNTRUSTED 1
#define ZELT_TRUST_AMBIGUOUS 2   /* two certified identities claim its serial number or MAC */
#define ZELT_TRUST_UNCERTIFIED 3 /* found over ONVIF: no maker certificate, identity not verified */
#define ZELT_TRUST_PINNED 4      /* ONVIF over HTTPS with the certificate seen at first contact */

/* Values of byProtocol. */
#define ZELT_PROTOCOL_ZELT 0
#define ZELT_PROTOCOL_ONVIF 1 /* WS-Discovery and the ONVIF device service */

/* Event kinds in iResult. */
#define ZELT_EVENT_ONLINE 1
#define ZELT_EVENT_CHANGED 2
#define ZELT_EVENT_OFFLINE 3
#define ZELT_EVENT_ONLINE2 4

/* Network parameters for ZELT_ModifyDeviceNetParam; zero-filled before use.
 * An empty text field leaves nothing to set for that field except as noted
 * in the protocol description. */
typedef struct ZELT_NET_PARAM {
    char szIPv4Address[16];    /*   0 */
    char szIPv4SubnetMask[16]; /*  16 */
    char szIPv4Gateway[16];    /*  32 */
    char szIPv6Address[128];   /*  48 */
    char szIPv6Gateway[128];   /* 176 */
    uint16_t wPort;            /* 304 */
    uint8_t byIPv6MaskLen;     /* 306 */
    uint8_t byDhcpEnable;      /* 307 1 = DHCP on */
    uint16_t wHttpPort;        /* 308 */
    uint8_t byRes[126];        /* 310 */
} ZELT_NET_PARAM;

/* Password reset request for ZELT_ResetPasswd; zero-filled before use.
 * Either szSecurityCode or szKeyFilePath is set. */
typedef struct ZELT_RESET_PARAM {
    char szSecurityCode[256]; /*    0 */
    char szKeyFilePath[260];  /*  256 local 8-bit path of a signed key file */
    char szNewPassword[16];   /*  516 NUL-padded, all 16 bytes usable */
    uint8_t byRes[512];       /*  532 */
} ZELT_RESET_PARAM;

/* Output of ZELT_GetDeviceConfig with ZELT_CFG_DEVICE_KEY. */
typedef struct ZELT_DEVICE_KEY {
    uint32_t dwLength;  /* 0 bytes of byKey used */
    uint8_t byKey[256]; /* 4 */
} ZELT_DEVICE_KEY;

#pragma pack(pop)

#ifdef __cplusplus
#define ZELT_STATIC_ASSERT static_assert
#else
#define ZELT_STATIC_ASSERT _Static_assert
#endif

ZELT_STATIC_ASSERT(sizeof(ZELT_DEVICE_INFO) == 500, "device record size");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szSerialNO) == 12, "serial");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szMAC) == 60, "mac");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szIPv4Address) == 80, "ipv4");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szIPv4SubnetMask) == 96, "mask");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, dwDeviceType) == 112, "type");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, dwPort) == 116, "port");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, dwNumberOfEncoders) == 120, "channels");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, dwNumberOfHardDisk) == 124, "count");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szDeviceSoftwareVersion) == 128, "soft");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szDSPVersion) == 176, "dsp");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szBootTime) == 224, "boot");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, iResult) == 272, "kind");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szDevDesc) == 276, "desc");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szOEMinfo) == 300, "oem");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szIPv4Gateway) == 324, "gateway");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szIPv6Address) == 340, "ipv6");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, szIPv6Gateway) == 386, "ipv6 gateway");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byIPv6MaskLen) == 432, "prefix");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, bySupport) == 433, "support");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byDhcpEnabled) == 434, "dhcp");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byExtendInfo) == 435, "ext");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, wHttpPort) == 436, "http");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byProtocol) == 438, "protocol");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byClockKnown) == 439, "clock known");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, iClockOffset) == 440, "clock offset");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byActivated) == 459, "activated");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_INFO, byTrust) == 460, "trust");

ZELT_STATIC_ASSERT(sizeof(ZELT_NET_PARAM) == 436, "net param size");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, szIPv4SubnetMask) == 16, "mask");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, szIPv4Gateway) == 32, "gateway");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, szIPv6Address) == 48, "ipv6");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, szIPv6Gateway) == 176, "ipv6 gateway");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, wPort) == 304, "port");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, byIPv6MaskLen) == 306, "prefix");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, byDhcpEnable) == 307, "dhcp");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, wHttpPort) == 308, "http");
ZELT_STATIC_ASSERT(offsetof(ZELT_NET_PARAM, byRes) == 310, "reserved");

ZELT_STATIC_ASSERT(sizeof(ZELT_RESET_PARAM) == 1044, "reset request size");
ZELT_STATIC_ASSERT(offsetof(ZELT_RESET_PARAM, szKeyFilePath) == 256, "key path");
ZELT_STATIC_ASSERT(offsetof(ZELT_RESET_PARAM, szNewPassword) == 516, "new password");
ZELT_STATIC_ASSERT(offsetof(ZELT_RESET_PARAM, byRes) == 532, "reserved");

ZELT_STATIC_ASSERT(sizeof(ZELT_DEVICE_KEY) == 260, "key buffer size");
ZELT_STATIC_ASSERT(offsetof(ZELT_DEVICE_KEY, byKey) == 4, "key data");

/* Commands of ZELT_GetDeviceConfig. */
#define ZELT_CFG_DEVICE_KEY 1

/* Error codes of ZELT_GetLastError. */
#define ZELT_ERR_NONE 0
#define ZELT_ERR_NOT_STARTED 1 /* ZELT_Start_V30 not called or failed */
#define ZELT_ERR_ALREADY_STARTED 2
#define ZELT_ERR_INVALID_PARAM 3 /* null pointer, bad text, bad size */
#define ZELT_ERR_NETWORK 4       /* no usable interface, socket error */
#define ZELT_ERR_NO_DEVICE 5     /* no device with that serial number / MAC known */
#define ZELT_ERR_TIMEOUT 6       /* device did not answer */
#define ZELT_ERR_WRONG_PASSWORD 7
#define ZELT_ERR_LOCKED 8        /* too many failed attempts; try later */
#define ZELT_ERR_NOT_ACTIVATED 9 /* device is inactive: activate it first */
#define ZELT_ERR_ALREADY_ACTIVATED 10
#define ZELT_ERR_WEAK_PASSWORD 11 /* refused by the device's password policy */
#define ZELT_ERR_BAD_SECURITY_CODE 12
#define ZELT_ERR_BAD_KEY_FILE 13   /* unreadable, malformed or unsigned key file */
#define ZELT_ERR_NOT_SUPPORTED 14  /* the device lacks the capability */
#define ZELT_ERR_BAD_PARAMETERS 15 /* the device refused the network parameters */
#define ZELT_ERR_BUFFER_TOO_SMALL 16
#define ZELT_ERR_PROTOCOL 17 /* malformed or unverifiable answer */
#define ZELT_ERR_INTERNAL 18
#define ZELT_ERR_AMBIGUOUS_DEVICE 19 /* two certified identities claim the device: nothing was sent */
#define ZELT_ERR_UNTRUSTED_DEVICE 20 /* the device is not certified by a trusted maker: nothing was sent */
#define ZELT_ERR_NOT_IN_PROTOCOL 21  /* the device's protocol (ONVIF) has no such command: nothing was sent */
#define ZELT_ERR_NOT_REACHABLE 22    /* ONVIF device outside every local subnet: nothing was sent */
#define ZELT_ERR_NOT_CONSENTED 23   /* the device cannot prove who it is and the user did not agree: nothing was sent */
#define ZELT_ERR_CERT_CHANGED 24    /* the device's HTTPS certificate is not the pinned one: nothing was sent */
#define ZELT_ERR_RANGE_TOO_LARGE 25 /* a scan range over a /16 (65,536 addresses): the ranges did not change */

typedef void(ZELT_CALLBACK *ZELT_DEVICE_FIND_CALLBACK)(const ZELT_DEVICE_INFO *pDeviceInfo, void *pUserData);

/* Log to a file: level 0 off .. 3 debug; directory null = default
 * ("$XDG_STATE_HOME/zelt" or "~/.local/state/zelt"); bAutoDel != 0 starts a
 * new file per run. */
ZELT_API int ZELT_SetLogToFile(int iLogLevel, const char *szLogDir, int bAutoDel);

/* Starts discovery. The callback runs on an SDK thread, once per event,
 * never on the thread that reads command responses. dwReserved must be 0. */
ZELT_API int ZELT_Start_V30(ZELT_DEVICE_FIND_CALLBACK cbDeviceFind, uint32_t dwReserved, void *pUserData);

/* Stops discovery; when it returns no callback is running or will run. */
ZELT_API int ZELT_Stop(void);

/* Sends an inquiry now (in addition to the periodic ones). */
ZELT_API int ZELT_SendInquiry(void);

ZELT_API int ZELT_ModifyDeviceNetParam(const char *szMAC, const char *szPassword, const ZELT_NET_PARAM *pNetParam);
ZELT_API int ZELT_ResetDefaultPasswd(const char *szSerialNO, const char *szSecurityCode);
ZELT_API int ZELT_ResetPasswd(const char *szSerialNO, const ZELT_RESET_PARAM *pResetParam);
/* Non-zero on success. */
ZELT_API int ZELT_GetDeviceConfig(const char *szSerialNO, uint32_t dwCommand, const void *lpInBuffer,
                                  uint32_t dwInBufferLen, void *lpOutBuffer, uint32_t dwOutBufferLen);
/* Non-zero on success. */
ZELT_API int ZELT_ActivateDevice(const char *szSerialNO, const char *szPassword);
ZELT_API uint32_t ZELT_GetLastError(void);

/* The user agreed to send a credential to the device with this MAC although
 * its identity is not verified (byTrust ZELT_TRUST_UNCERTIFIED). Holds for
 * the next command to that device from this process, within 60 s; without
 * it such a command fails with ZELT_ERR_NOT_CONSENTED and sends nothing. */
ZELT_API int ZELT_AllowUncertified(const char *szMAC);

/* The user accepts the HTTPS certificate the device with this MAC now
 * presents in place of the pinned one (after ZELT_ERR_CERT_CHANGED). */
ZELT_API int ZELT_AcceptNewCertificate(const char *szMAC);

/* Address ranges searched by unicast besides the local segment: CIDR blocks
 * ("10.2.0.0/22", "fd00:1::/120") and from-to ranges ("10.3.0.10-10.3.0.99"),
 * IPv4 and IPv6, separated by commas or spaces; replaces the ranges set
 * before (also those of $ZELT_SCAN), "" clears them. A range larger than a
 * /16 (or ranges over 262,144 addresses together) fails with
 * ZELT_ERR_RANGE_TOO_LARGE, a text that is no range (multicast and
 * link-local addresses too) with ZELT_ERR_INVALID_PARAM; either changes
 * nothing. May be called before ZELT_Start_V30; holds across a restart. */
ZELT_API int ZELT_SetScanRanges(const char *szRanges);

/* Sets the device's clock to this computer's (UTC), with the device's
 * password: ZELT through a sealed request, ONVIF through
 * SetSystemDateAndTime. */
ZELT_API int ZELT_SyncDeviceTime(const char *szMAC, const char *szPassword);

#ifdef __cplusplus
}
#endif

#endif
