// Writes the fuzz targets' seed corpora: real messages of the protocol,
// signed with the fuzz targets' fixed keys. Usage: fuzz_seeds DIR
#include "crypto.h"
#include "device.h"
#include "fuzz_common.h"
#include "wire.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace {
void put(const std::string &path, const std::string &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
std::string str(const zelt::wire::Bytes &b) { return std::string(b.begin(), b.end()); }
}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    const std::string dir = argv[1];
    for (const char *sub : {"", "/decoder", "/device", "/hello", "/keyfile"}) mkdir((dir + sub).c_str(), 0755);

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
    if (answer.datagram) put(dir + "/decoder/response", str(*answer.datagram));
    put(dir + "/decoder/command", str(zelt::wire::encodeCommand(body)));
    put(dir + "/device/request", "\0" + str(request));
    put(dir + "/device/commands", std::string("\x01\x00\x04\x00\x00\x00\x00\x01\x0a\x00\x00\x05\xff\xff\xff\x00\x0a\x00\x00\x01", 20) +
                                      std::string("\x03\x10\x02\x01\x01\x01\x02\x00\x04\x01\x05\x00", 12));
    put(dir + "/hello/script", std::string("\x00\x00\x00\x00\x01\x07\x00\x05\x01\x00\x01\x00\x00\x00\x01\x00\x00\x00\x01\x08\x01\x00\x00"
                                           "\x00\x01\x01\x01\x00\x07\x00\x00\x09\x01\x00\x01\x00\x03\x00\x01\x00\x00\x00\x01", 43));
    const std::string key = zelt::crypto::makeKeyData("ZT-FUZZ-0001", "02-5a-00-00-00-01", "00112233445566778899aabbccddeeff");
    put(dir + "/keyfile/keydata.xml", key);
    put(dir + "/keyfile/signed.xml", *zelt::crypto::signKeyFile(key, fuzz::maker()));
    put(dir + "/decoder/keydata.xml", key);
    return 0;
}
