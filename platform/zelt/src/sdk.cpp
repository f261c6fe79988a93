// The C interface over the engine.
#include "zelt_sdk.h"

#include "engine.h"
#include "log.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <mutex>

namespace {

thread_local uint32_t t_lastError = ZELT_ERR_NONE;

std::mutex g_lifecycle;
std::shared_ptr<zelt::Engine> g_engine;
std::optional<std::string> g_scanRanges; // of ZELT_SetScanRanges, kept across a restart

int fail(uint32_t code)
{
    t_lastError = code;
    return 0;
}
int ok()
{
    t_lastError = ZELT_ERR_NONE;
    return 1;
}

std::shared_ptr<zelt::Engine> engine()
{
    std::lock_guard lock(g_lifecycle);
    return g_engine;
}

// Text inside a fixed field must end within it.
bool fieldText(const char *field, size_t width, std::string &out)
{
    size_t n = strnlen(field, width);
    if (n == width)
        return false;
    out.assign(field, n);
    return true;
}

bool argText(const char *s, size_t max, std::string &out)
{
    if (!s)
        return false;
    size_t n = strnlen(s, max + 1);
    if (n > max)
        return false;
    out.assign(s, n);
    return true;
}

int runCommand(const zelt::Engine::Target &target, zelt::wire::CommandBody body,
               zelt::wire::CommandResult *result = nullptr)
{
    auto e = engine();
    if (!e)
        return fail(ZELT_ERR_NOT_STARTED);
    zelt::wire::CommandResult res;
    uint32_t status = e->command(target, std::move(body), res);
    if (status != ZELT_ERR_NONE)
        return fail(status);
    if (result)
        *result = std::move(res);
    return ok();
}

zelt::Engine::Target bySerial(const char *serial, bool &valid)
{
    zelt::Engine::Target t;
    valid = argText(serial, 47, t.serial) && !t.serial.empty();
    return t;
}

} // namespace

extern "C" {

ZELT_API int ZELT_SetLogToFile(int iLogLevel, const char *szLogDir, int bAutoDel)
{
    std::string error;
    if (!zelt::log::configure(iLogLevel, szLogDir, bAutoDel != 0, &error))
        return fail(ZELT_ERR_INVALID_PARAM);
    zelt::log::write(2, "log level %d", iLogLevel);
    return ok();
}

ZELT_API int ZELT_Start_V30(ZELT_DEVICE_FIND_CALLBACK cbDeviceFind, uint32_t dwReserved, void *pUserData)
{
    if (dwReserved != 0)
        return fail(ZELT_ERR_INVALID_PARAM);
    std::lock_guard lock(g_lifecycle);
    if (g_engine)
        return fail(ZELT_ERR_ALREADY_STARTED);
    auto e = std::make_shared<zelt::Engine>(zelt::net::settingsFromEnvironment(), zelt::timingFromEnvironment());
    if (g_scanRanges)
        e->setScanRanges(*g_scanRanges); // checked when it was set
    uint32_t status = e->start(cbDeviceFind, pUserData);
    if (status != ZELT_ERR_NONE)
        return fail(status);
    g_engine = std::move(e);
    return ok();
}

ZELT_API int ZELT_Stop(void)
{
    std::shared_ptr<zelt::Engine> e;
    {
        std::lock_guard lock(g_lifecycle);
        e = std::move(g_engine);
    }
    if (!e)
        return fail(ZELT_ERR_NOT_STARTED);
    e->stop();
    return ok();
}

ZELT_API int ZELT_SendInquiry(void)
{
    auto e = engine();
    if (!e)
        return fail(ZELT_ERR_NOT_STARTED);
    e->inquire();
    return ok();
}

ZELT_API int ZELT_ModifyDeviceNetParam(const char *szMAC, const char *szPassword, const ZELT_NET_PARAM *pNetParam)
{
    std::string macText, password;
    if (!argText(szMAC, 19, macText) || !argText(szPassword, 64, password) || !pNetParam)
        return fail(ZELT_ERR_INVALID_PARAM);
    auto mac = zelt::wire::parseMac(macText);
    if (!mac)
        return fail(ZELT_ERR_INVALID_PARAM);
    zelt::wire::CommandBody b;
    b.command = zelt::wire::Command::SetNet;
    b.password = password;
    std::string ip, mask, gw, ip6, gw6;
    if (!fieldText(pNetParam->szIPv4Address, 16, ip) || !fieldText(pNetParam->szIPv4SubnetMask, 16, mask)
        || !fieldText(pNetParam->szIPv4Gateway, 16, gw) || !fieldText(pNetParam->szIPv6Address, 128, ip6)
        || !fieldText(pNetParam->szIPv6Gateway, 128, gw6))
        return fail(ZELT_ERR_INVALID_PARAM);
    // An empty field (and "::" for IPv6) leaves that setting as it is.
    auto v4 = [&](const std::string &text, zelt::wire::Ip4 &dst, uint8_t flag) {
        if (text.empty())
            return true;
        if (inet_pton(AF_INET, text.c_str(), dst.data()) != 1)
            return false;
        b.netFlags |= flag;
        return true;
    };
    auto v6 = [&](const std::string &text, zelt::wire::Ip6 &dst, uint8_t flag) {
        if (text.empty() || text == "::")
            return true;
        std::string t = text.substr(0, text.find('%'));
        if (inet_pton(AF_INET6, t.c_str(), dst.data()) != 1)
            return false;
        b.netFlags |= flag;
        return true;
    };
    if (!v4(ip, b.ipv4, zelt::wire::kSetIpv4) || !v4(mask, b.mask, zelt::wire::kSetMask)
        || !v4(gw, b.gateway, zelt::wire::kSetGateway) || !v6(ip6, b.ipv6, zelt::wire::kSetIpv6)
        || !v6(gw6, b.ipv6Gateway, zelt::wire::kSetIpv6Gateway) || pNetParam->byIPv6MaskLen > 128)
        return fail(ZELT_ERR_INVALID_PARAM);
    b.ipv6Prefix = pNetParam->byIPv6MaskLen;
    b.dhcp = pNetParam->byDhcpEnable == 1 ? 1 : 0;
    if (pNetParam->wPort) {
        b.port = pNetParam->wPort;
        b.netFlags |= zelt::wire::kSetPort;
    }
    if (pNetParam->wHttpPort) {
        b.httpPort = pNetParam->wHttpPort;
        b.netFlags |= zelt::wire::kSetHttp;
    }
    zelt::Engine::Target t;
    t.mac = *mac;
    return runCommand(t, std::move(b));
}

ZELT_API int ZELT_ResetDefaultPasswd(const char *szSerialNO, const char *szSecurityCode)
{
    bool valid;
    auto t = bySerial(szSerialNO, valid);
    zelt::wire::CommandBody b;
    b.command = zelt::wire::Command::RestoreDefault;
    if (!valid || !argText(szSecurityCode, 255, b.securityCode) || b.securityCode.empty())
        return fail(ZELT_ERR_INVALID_PARAM);
    return runCommand(t, std::move(b));
}

ZELT_API int ZELT_ResetPasswd(const char *szSerialNO, const ZELT_RESET_PARAM *pResetParam)
{
    bool valid;
    auto t = bySerial(szSerialNO, valid);
    if (!valid || !pResetParam)
        return fail(ZELT_ERR_INVALID_PARAM);
    zelt::wire::CommandBody b;
    b.command = zelt::wire::Command::ResetPassword;
    std::string path;
    if (!fieldText(pResetParam->szSecurityCode, 256, b.securityCode)
        || !fieldText(pResetParam->szKeyFilePath, 260, path))
        return fail(ZELT_ERR_INVALID_PARAM);
    b.newPassword.assign(pResetParam->szNewPassword, strnlen(pResetParam->szNewPassword, 16));
    if (!path.empty()) {
        FILE *f = std::fopen(path.c_str(), "rb");
        if (!f)
            return fail(ZELT_ERR_BAD_KEY_FILE);
        b.keyFile.resize(zelt::wire::kMaxKeyFile + 1);
        size_t n = std::fread(b.keyFile.data(), 1, b.keyFile.size(), f);
        bool readError = std::ferror(f);
        std::fclose(f);
        if (readError || n == 0 || n > zelt::wire::kMaxKeyFile)
            return fail(ZELT_ERR_BAD_KEY_FILE);
        b.keyFile.resize(n);
        b.securityCode.clear(); // the file decides
    } else if (b.securityCode.empty()) {
        return fail(ZELT_ERR_INVALID_PARAM);
    }
    return runCommand(t, std::move(b));
}

ZELT_API int ZELT_GetDeviceConfig(const char *szSerialNO, uint32_t dwCommand, const void *lpInBuffer,
                                  uint32_t dwInBufferLen, void *lpOutBuffer, uint32_t dwOutBufferLen)
{
    (void)lpInBuffer;
    (void)dwInBufferLen;
    bool valid;
    auto t = bySerial(szSerialNO, valid);
    if (!valid || !lpOutBuffer)
        return fail(ZELT_ERR_INVALID_PARAM);
    if (dwCommand != ZELT_CFG_DEVICE_KEY)
        return fail(ZELT_ERR_NOT_SUPPORTED);
    if (dwOutBufferLen < sizeof(ZELT_DEVICE_KEY))
        return fail(ZELT_ERR_BUFFER_TOO_SMALL);
    zelt::wire::CommandBody b;
    b.command = zelt::wire::Command::GetKey;
    zelt::wire::CommandResult res;
    if (!runCommand(t, std::move(b), &res))
        return 0;
    if (res.data.empty() || res.data.size() > sizeof(ZELT_DEVICE_KEY::byKey))
        return fail(ZELT_ERR_PROTOCOL);
    ZELT_DEVICE_KEY key;
    std::memset(&key, 0, sizeof key);
    key.dwLength = uint32_t(res.data.size());
    std::memcpy(key.byKey, res.data.data(), res.data.size());
    std::memcpy(lpOutBuffer, &key, sizeof key);
    return ok();
}

ZELT_API int ZELT_ActivateDevice(const char *szSerialNO, const char *szPassword)
{
    bool valid;
    auto t = bySerial(szSerialNO, valid);
    zelt::wire::CommandBody b;
    b.command = zelt::wire::Command::Activate;
    if (!valid || !argText(szPassword, 64, b.password))
        return fail(ZELT_ERR_INVALID_PARAM);
    return runCommand(t, std::move(b));
}

ZELT_API uint32_t ZELT_GetLastError(void)
{
    return t_lastError;
}

namespace {
int withMac(const char *szMAC, bool (zelt::Engine::*what)(const zelt::wire::Mac &))
{
    std::string text;
    if (!argText(szMAC, 19, text))
        return fail(ZELT_ERR_INVALID_PARAM);
    auto mac = zelt::wire::parseMac(text);
    if (!mac)
        return fail(ZELT_ERR_INVALID_PARAM);
    auto e = engine();
    if (!e)
        return fail(ZELT_ERR_NOT_STARTED);
    return ((*e).*what)(*mac) ? ok() : fail(ZELT_ERR_NO_DEVICE);
}
} // namespace

ZELT_API int ZELT_SyncDeviceTime(const char *szMAC, const char *szPassword)
{
    std::string macText;
    zelt::wire::CommandBody b;
    b.command = zelt::wire::Command::SetTime; // the time itself is taken when the request goes out
    if (!argText(szMAC, 19, macText) || !argText(szPassword, 64, b.password))
        return fail(ZELT_ERR_INVALID_PARAM);
    auto mac = zelt::wire::parseMac(macText);
    if (!mac)
        return fail(ZELT_ERR_INVALID_PARAM);
    zelt::Engine::Target t;
    t.mac = *mac;
    return runCommand(t, std::move(b));
}

ZELT_API int ZELT_AllowUncertified(const char *szMAC)
{
    return withMac(szMAC, &zelt::Engine::allowUncertified);
}

ZELT_API int ZELT_AcceptNewCertificate(const char *szMAC)
{
    return withMac(szMAC, &zelt::Engine::acceptNewCertificate);
}

ZELT_API int ZELT_SetScanRanges(const char *szRanges)
{
    std::string text;
    if (!argText(szRanges, 65536, text))
        return fail(ZELT_ERR_INVALID_PARAM);
    // Checked before anything changes: a refused list leaves the ranges searched as they were.
    std::vector<zelt::scan::Range> ranges;
    if (uint32_t rc = zelt::scan::parseRanges(text, ranges))
        return fail(rc);
    std::shared_ptr<zelt::Engine> e;
    {
        std::lock_guard lock(g_lifecycle);
        g_scanRanges = text;
        e = g_engine;
    }
    if (e)
        if (uint32_t rc = e->setScanRanges(text))
            return fail(rc);
    return ok();
}

} // extern "C"
