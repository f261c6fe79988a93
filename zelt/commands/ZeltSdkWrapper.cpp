#include "ZeltSdkWrapper.h"

#include "ZeltDeviceRecords.h"

#include <QDebug>
#include <QLoggingCategory>

#include <atomic>
#include <cstring>

Q_LOGGING_CATEGORY(lcZeltSdk, "zelt.sdk")

namespace {
const ZeltSdkApi kSdk = {&ZELT_ModifyDeviceNetParam, &ZELT_ActivateDevice,       &ZELT_ResetDefaultPasswd,
                         &ZELT_ResetPasswd,          &ZELT_GetDeviceConfig,      &ZELT_GetLastError,
                         &ZELT_AllowUncertified,     &ZELT_AcceptNewCertificate, &ZELT_SetScanRanges,
                         &ZELT_SyncDeviceTime};
std::atomic<const ZeltSdkApi *> g_api{&kSdk};
// Each thread's own, as the SDK's: batch commands run on several threads.
thread_local uint32_t g_lastError = 0;

void NoteFailure(const char *what)
{
    g_lastError = g_api.load()->lastError();
    qCDebug(lcZeltSdk) << what << "failed, error" << g_lastError;
}
} // namespace

namespace ZeltSdkWrapper {

const ZeltSdkApi &Api()
{
    return *g_api.load();
}

void SetApi(const ZeltSdkApi *api)
{
    g_api.store(api ? api : &kSdk);
}

void BuildNetParam(ZELT_NET_PARAM &param, const QString &ipv4, const QString &mask, const QString &gateway,
                   const QString &ipv6, const QString &ipv6Gateway, int prefixLen, const QString &port,
                   const QString &httpPort, bool dhcp)
{
    std::memset(&param, 0, sizeof param);
    ZeltRecords::putText(param.szIPv4Address, ipv4.toLatin1());
    ZeltRecords::putText(param.szIPv4SubnetMask, mask.toLatin1());
    ZeltRecords::putText(param.szIPv4Gateway, gateway.toLatin1());
    ZeltRecords::putText(param.szIPv6Address, ipv6.isEmpty() ? QByteArrayLiteral("::") : ipv6.toLatin1());
    ZeltRecords::putText(param.szIPv6Gateway, ipv6Gateway.isEmpty() ? QByteArrayLiteral("::") : ipv6Gateway.toLatin1());
    param.wPort = static_cast<uint16_t>(port.trimmed().toUInt());
    param.wHttpPort = httpPort.isEmpty() ? 0 : static_cast<uint16_t>(httpPort.toUInt());
    param.byIPv6MaskLen = static_cast<uint8_t>(prefixLen);
    param.byDhcpEnable = dhcp ? 1 : 0;
}

bool ModifyNetParam(const QByteArray &mac, const QByteArray &password, const ZELT_NET_PARAM &param)
{
    if (Api().modifyNetParam(mac.constData(), password.constData(), &param) == 1)
        return true;
    NoteFailure("modify network parameters");
    return false;
}

bool Activate(const QByteArray &serial, const QByteArray &password)
{
    if (Api().activate(serial.constData(), password.constData()) != 0)
        return true;
    NoteFailure("activate");
    return false;
}

bool ResetDefault(const QByteArray &serial, const QByteArray &securityCode)
{
    if (Api().resetDefault(serial.constData(), securityCode.constData()) == 1)
        return true;
    NoteFailure("restore default password");
    return false;
}

bool Reset(const QByteArray &serial, const ZELT_RESET_PARAM &request)
{
    if (Api().reset(serial.constData(), &request) == 1)
        return true;
    NoteFailure("reset password");
    return false;
}

bool GetDeviceKey(const QByteArray &serial, QByteArray *key)
{
    ZELT_DEVICE_KEY buffer;
    std::memset(&buffer, 0, sizeof buffer);
    if (Api().getConfig(serial.constData(), ZELT_CFG_DEVICE_KEY, nullptr, 0, &buffer, sizeof buffer) == 0) {
        NoteFailure("get device key");
        return false;
    }
    const uint32_t n = std::min<uint32_t>(buffer.dwLength, sizeof buffer.byKey);
    *key = QByteArray(reinterpret_cast<const char *>(buffer.byKey), int(n));
    return true;
}

bool AllowUncertified(const QByteArray &mac)
{
    const auto allow = Api().allowUncertified;
    if (allow && allow(mac.constData()) == 1)
        return true;
    qCDebug(lcZeltSdk) << "consent for" << mac << "not taken, error" << (allow ? Api().lastError() : 0);
    return false;
}

bool AcceptNewCertificate(const QByteArray &mac)
{
    const auto accept = Api().acceptNewCertificate;
    if (accept && accept(mac.constData()) == 1)
        return true;
    qCDebug(lcZeltSdk) << "new certificate of" << mac << "not taken, error" << (accept ? Api().lastError() : 0);
    return false;
}

bool SyncTime(const QByteArray &mac, const QByteArray &password)
{
    const auto sync = Api().syncTime;
    if (sync && sync(mac.constData(), password.constData()) == 1)
        return true;
    if (sync)
        NoteFailure("synchronize time");
    else
        g_lastError = ZELT_ERR_NOT_SUPPORTED;
    return false;
}

uint32_t SetScanRanges(const QByteArray &ranges)
{
    const auto set = Api().setScanRanges;
    if (!set)
        return ZELT_ERR_NOT_SUPPORTED;
    if (set(ranges.constData()) == 1)
        return 0;
    NoteFailure("set scan ranges");
    return g_lastError ? g_lastError : uint32_t(ZELT_ERR_INTERNAL);
}

uint32_t LastError()
{
    return g_lastError;
}

void ClearLastError()
{
    g_lastError = 0;
}

void NoteHostFailure(const char *what)
{
    NoteFailure(what);
}

bool Refuse(uint32_t sdkError)
{
    g_lastError = sdkError;
    qCDebug(lcZeltSdk) << "refused without sending, error" << sdkError;
    return false;
}

} // namespace ZeltSdkWrapper
