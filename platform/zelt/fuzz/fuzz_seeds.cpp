// Writes the fuzz targets' seed corpora: real messages of the protocol,
// signed with the fuzz targets' fixed keys. Usage: fuzz_seeds DIR
#include "crypto.h"
#include "device.h"
#include "fuzz_common.h"
#include "onvif.h"
#include "wire.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace {
void put(const std::string &path, const std::string &bytes)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
std::string str(const zelt::wire::Bytes &b)
{
    return std::string(b.begin(), b.end());
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    const std::string dir = argv[1];
    for (const char *sub : {"", "/decoder", "/device", "/hello", "/keyfile", "/onvif"})
        mkdir((dir + sub).c_str(), 0755);

    // ONVIF: discovery scripts (mode byte 0) and device-service answers (mode byte 1).
    {
        zelt::onvif::Endpoint e;
        e.address = "urn:uuid:2cd9aa5c-ccc2-10f1-8cd9-025a01000001";
        e.scopes = {"onvif://www.onvif.org/hardware/ZT-IPC2347", "onvif://www.onvif.org/name/ZT%20cam"};
        e.xaddrs = {"http://127.0.0.1:8080/onvif/device_service"};
        e.metadataVersion = 1;
        const std::string nul(1, '\0');
        put(dir + "/onvif/discovery", std::string(1, '\0') + zelt::onvif::probeMatchesMessage("urn:uuid:p", e, 1, 1)
                                          + nul + zelt::onvif::helloMessage(e, 1, 2) + nul
                                          + zelt::onvif::byeMessage(e, 1, 3));
        const std::string nics = zelt::onvif::envelope(
            "<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces "
            "token=\"eth0\"><tt:Enabled>true</tt:Enabled><tt:Info>"
            "<tt:HwAddress>02:5a:01:00:00:01</tt:HwAddress></tt:Info><tt:IPv4><tt:Enabled>true</"
            "tt:Enabled><tt:Config><tt:Manual>"
            "<tt:Address>10.1.0.2</tt:Address><tt:PrefixLength>24</tt:PrefixLength></tt:Manual><tt:DHCP>false</"
            "tt:DHCP></tt:Config>"
            "</tt:IPv4></tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>",
            zelt::onvif::securityHeader("admin", "Admin12345", 1700000000));
        put(dir + "/onvif/interfaces", std::string(1, '\1') + nics);
        put(dir + "/onvif/fault",
            std::string(1, '\1') + zelt::onvif::faultEnvelope("Sender", "ter:NotAuthorized", "no"));
        put(dir + "/onvif/info",
            std::string(1, '\1')
                + zelt::onvif::envelope(
                    "<tds:GetDeviceInformationResponse><tds:Manufacturer>m</tds:Manufacturer><tds:Model>ZT</"
                    "tds:Model><tds:FirmwareVersion>V5"
                    "</tds:FirmwareVersion><tds:SerialNumber>ZT-1</tds:SerialNumber><tds:HardwareId>1</"
                    "tds:HardwareId></tds:GetDeviceInformationResponse>"));
    }

    zelt::DeviceState st;
    st.record.serial = "ZT-FUZZ-0001";
    st.record.mac = {0x02, 0x5a, 0, 0, 0, 1};
    st.record.extended = 1;
    st.passwordHash = zelt::crypto::hashPassword("Admin12345");
    st.identity = fuzz::signKeys(0x11);
    st.cert = zelt::crypto::issueCertificate(st.record.serial, st.record.mac, st.identity.pk, 1, fuzz::maker());
    zelt::DeviceOptions opt;
    zelt::Device dev(st, opt);
    const auto hello = zelt::wire::encode(dev.hello(zelt::wire::HelloReason::Boot, 0, 0, 1));
    const auto bye = zelt::wire::encode(dev.bye());
    auto client = zelt::crypto::newBoxKeyPair();
    zelt::crypto::SessionKeys keys;
    zelt::crypto::clientSessionKeys(client, dev.record().boxKey, keys);
    zelt::wire::Message req;
    req.type = zelt::wire::Type::Request;
    req.msgId = 5;
    req.request.mac = st.record.mac;
    req.request.serial = st.record.serial;
    req.request.clientId = 7;
    req.request.requestId = 1;
    req.request.clientKey = client.pk;
    zelt::wire::CommandBody body;
    body.command = zelt::wire::Command::SetNet;
    body.password = "Admin12345";
    body.clientId = 7;
    body.requestId = 1;
    body.mac = st.record.mac;
    zelt::crypto::sealRequest(req.request, body, keys);
    const auto request = zelt::wire::encode(req);
    auto answer = dev.handle(req.request, 0);
    zelt::wire::Message inq;
    inq.type = zelt::wire::Type::Inquiry;
    inq.msgId = 9;
    inq.inquiry.windowMs = 500;
    const auto inquiry = zelt::wire::encode(inq);

    put(dir + "/decoder/hello", str(hello));
    put(dir + "/decoder/bye", str(bye));
    put(dir + "/decoder/request", str(request));
    put(dir + "/decoder/inquiry", str(inquiry));
    if (answer.datagram)
        put(dir + "/decoder/response", str(*answer.datagram));
    put(dir + "/decoder/command", str(zelt::wire::encodeCommand(body)));
    put(dir + "/device/request", "\0" + str(request));
    put(dir + "/device/commands",
        std::string("\x01\x00\x04\x00\x00\x00\x00\x01\x0a\x00\x00\x05\xff\xff\xff\x00\x0a\x00\x00\x01", 20)
            + std::string("\x03\x10\x02\x01\x01\x01\x02\x00\x04\x01\x05\x00", 12));
    put(dir + "/hello/script",
        std::string("\x00\x00\x00\x00\x01\x07\x00\x05\x01\x00\x01\x00\x00\x00\x01\x00\x00\x00\x01\x08\x01\x00\x00"
                    "\x00\x01\x01\x01\x00\x07\x00\x00\x09\x01\x00\x01\x00\x03\x00\x01\x00\x00\x00\x01",
                    43));
    const std::string key = zelt::crypto::makeKeyData("ZT-FUZZ-0001", "02-5a-00-00-00-01",
                                                      "00112233445566778899aabbccddeeff");
    put(dir + "/keyfile/keydata.xml", key);
    put(dir + "/keyfile/signed.xml", *zelt::crypto::signKeyFile(key, fuzz::maker()));
    put(dir + "/decoder/keydata.xml", key);
    return 0;
}
