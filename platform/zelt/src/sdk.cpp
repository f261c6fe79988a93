#include "zelt_sdk.h"

static thread_local uint32_t g_lastError = ZELT_ERR_NONE;

static int fail(uint32_t code) { g_lastError = code; return 0; }

extern "C" {
ZELT_API int ZELT_SetLogToFile(int, const char *, int) { g_lastError = 0; return 1; }
ZELT_API int ZELT_Start_V30(ZELT_DEVICE_FIND_CALLBACK, uint32_t, void *) { return fail(ZELT_ERR_NOT_SUPPORTED); }
ZELT_API int ZELT_Stop(void) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API int ZELT_SendInquiry(void) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API int ZELT_ModifyDeviceNetParam(const char *, const char *, const ZELT_NET_PARAM *) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API int ZELT_ResetDefaultPasswd(const char *, const char *) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API int ZELT_ResetPasswd(const char *, const ZELT_RESET_PARAM *) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API int ZELT_GetDeviceConfig(const char *, uint32_t, const void *, uint32_t, void *, uint32_t) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API int ZELT_ActivateDevice(const char *, const char *) { return fail(ZELT_ERR_NOT_STARTED); }
ZELT_API uint32_t ZELT_GetLastError(void) { return g_lastError; }
}
