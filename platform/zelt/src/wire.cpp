#include "wire.h"

#include <cstdio>
#include <cstring>

namespace zelt::wire {
namespace {

class Writer
{
public:
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v)
    {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void u64(uint64_t v)
    {
        u32(uint32_t(v));
        u32(uint32_t(v >> 32));
    }
    void raw(const uint8_t *p, size_t n) { out.insert(out.end(), p, p + n); }
    template <size_t N>
    void arr(const std::array<uint8_t, N> &a)
    {
        raw(a.data(), N);
    }
    void str(const std::string &s, size_t max)
    {
        size_t n = s.size() < max ? s.size() : max;
        u8(uint8_t(n));
        raw(reinterpret_cast<const uint8_t *>(s.data()), n);
    }
    void bytes(const Bytes &b, size_t max)
    {
        size_t n = b.size() < max ? b.size() : max;
        u16(uint16_t(n));
        raw(b.data(), n);
    }
    Bytes out;
};

// Bounded reader: any overrun or over-long field sets ok = false and every
// later read returns zeros, so callers check once at the end.
class Reader
{
public:
    Reader(const uint8_t *p, size_t n) : p_(p), n_(n) {}
    bool ok = true;
    bool atEnd() const { return pos_ == n_; }
    size_t position() const { return pos_; }
    bool take(size_t k)
    {
        if (!ok || n_ - pos_ < k) {
            ok = false;
            return false;
        }
        return true;
    }
    uint8_t u8()
    {
        if (!take(1))
            return 0;
        return p_[pos_++];
    }
    uint16_t u16()
    {
        uint16_t lo = u8();
        return uint16_t(lo | (uint16_t(u8()) << 8));
    }
    uint32_t u32()
    {
        uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
    uint64_t u64()
    {
        uint64_t lo = u32();
        return lo | (uint64_t(u32()) << 32);
    }
    template <size_t N>
    void arr(std::array<uint8_t, N> &a)
    {
        if (!take(N)) {
            a.fill(0);
            return;
        }
        std::memcpy(a.data(), p_ + pos_, N);
        pos_ += N;
    }
    std::string str(size_t max)
    {
        size_t n = u8();
        if (n > max || !take(n)) {
            ok = false;
            return {};
        }
        std::string s(reinterpret_cast<const char *>(p_ + pos_), n);
        pos_ += n;
        // Text ends up in fixed, NUL-terminated fields: no embedded NULs.
        if (s.find('\0') != std::string::npos)
            ok = false;
        return s;
    }
    Bytes bytes(size_t max)
    {
        size_t n = u16();
        if (n > max || !take(n)) {
            ok = false;
            return {};
        }
        Bytes b(p_ + pos_, p_ + pos_ + n);
        pos_ += n;
        return b;
    }

private:
    const uint8_t *p_;
    size_t n_;
    size_t pos_ = 0;
};

constexpr size_t kSerialMax = 47;
constexpr size_t kTextMax = 47;
constexpr size_t kDescMax = 23;

void putRecord(Writer &w, const DeviceRecord &d)
{
    w.str(d.serial, kSerialMax);
    w.arr(d.mac);
    w.arr(d.ipv4);
    w.arr(d.mask);
    w.arr(d.gateway);
    w.arr(d.ipv6);
    w.arr(d.ipv6Gateway);
    w.u8(d.ipv6Prefix);
    w.u32(d.type);
    w.u32(d.port);
    w.u32(d.channels);
    w.u32(d.disks);
    w.u16(d.httpPort);
    w.u8(d.support);
    w.u8(d.dhcp);
    w.u8(d.extended);
    w.u8(d.inactive);
    w.str(d.softVersion, kTextMax);
    w.str(d.dspVersion, kTextMax);
    w.str(d.bootTime, kTextMax);
    w.str(d.description, kDescMax);
    w.u32(d.bootId);
    w.u32(d.configVersion);
    w.arr(d.boxKey);
}

void putCert(Writer &w, const Certificate &c)
{
    w.arr(c.identity);
    w.u64(c.issued);
    w.arr(c.signature);
}

void getCert(Reader &r, Certificate &c)
{
    r.arr(c.identity);
    c.issued = r.u64();
    r.arr(c.signature);
}

void getRecord(Reader &r, DeviceRecord &d)
{
    d.serial = r.str(kSerialMax);
    r.arr(d.mac);
    r.arr(d.ipv4);
    r.arr(d.mask);
    r.arr(d.gateway);
    r.arr(d.ipv6);
    r.arr(d.ipv6Gateway);
    d.ipv6Prefix = r.u8();
    d.type = r.u32();
    d.port = r.u32();
    d.channels = r.u32();
    d.disks = r.u32();
    d.httpPort = r.u16();
    d.support = r.u8();
    d.dhcp = r.u8();
    d.extended = r.u8();
    d.inactive = r.u8();
    d.softVersion = r.str(kTextMax);
    d.dspVersion = r.str(kTextMax);
    d.bootTime = r.str(kTextMax);
    d.description = r.str(kDescMax);
    d.bootId = r.u32();
    d.configVersion = r.u32();
    r.arr(d.boxKey);
    if (d.serial.empty() || d.ipv6Prefix > 128)
        r.ok = false;
}

} // namespace

Bytes helloSignedPart(const DeviceRecord &d, const Certificate &c)
{
    Writer w;
    putRecord(w, d);
    putCert(w, c);
    return w.out;
}

Bytes byeSignedPart(const Bye &b)
{
    Writer w;
    w.str(b.serial, kSerialMax);
    w.arr(b.mac);
    w.u32(b.bootId);
    w.arr(b.identity);
    return w.out;
}

Bytes requestHeader(const Request &q)
{
    Writer w;
    w.u8(kVersion);
    w.u8(uint8_t(Type::Request));
    w.arr(q.mac);
    w.str(q.serial, kSerialMax);
    w.u64(q.clientId);
    w.u32(q.requestId);
    w.arr(q.clientKey);
    return w.out;
}

Bytes responseHeader(const Response &p)
{
    Writer w;
    w.u8(kVersion);
    w.u8(uint8_t(Type::Response));
    w.arr(p.mac);
    w.str(p.serial, kSerialMax);
    w.u64(p.clientId);
    w.u32(p.requestId);
    return w.out;
}

Bytes encode(const Message &m)
{
    Writer body;
    switch (m.type) {
    case Type::Inquiry:
        body.u64(m.inquiry.clientId);
        body.u32(m.inquiry.seq);
        body.u16(m.inquiry.windowMs);
        body.arr(m.inquiry.target);
        break;
    case Type::Hello:
        body.u8(uint8_t(m.hello.reason));
        body.u64(m.hello.clientId);
        body.u32(m.hello.seq);
        body.u64(m.hello.uptimeMs);
        putRecord(body, m.hello.device);
        putCert(body, m.hello.cert);
        body.arr(m.hello.signature);
        break;
    case Type::Bye:
        body.str(m.bye.serial, kSerialMax);
        body.arr(m.bye.mac);
        body.u32(m.bye.bootId);
        body.arr(m.bye.identity);
        body.arr(m.bye.signature);
        break;
    case Type::Request:
        body.arr(m.request.mac);
        body.str(m.request.serial, kSerialMax);
        body.u64(m.request.clientId);
        body.u32(m.request.requestId);
        body.arr(m.request.clientKey);
        body.arr(m.request.nonce);
        body.bytes(m.request.cipher, kMaxCipher);
        break;
    case Type::Response:
        body.arr(m.response.mac);
        body.str(m.response.serial, kSerialMax);
        body.u64(m.response.clientId);
        body.u32(m.response.requestId);
        body.arr(m.response.nonce);
        body.bytes(m.response.cipher, kMaxCipher);
        break;
    }
    Writer w;
    w.u8(kMagic0);
    w.u8(kMagic1);
    w.u8(kVersion);
    w.u8(uint8_t(m.type));
    w.u16(uint16_t(body.out.size()));
    w.u16(0);
    w.u64(m.msgId);
    w.raw(body.out.data(), body.out.size());
    return w.out;
}

std::optional<Message> decode(const uint8_t *data, size_t size)
{
    if (!data || size < kHeaderSize || size > kMaxDatagram)
        return std::nullopt;
    Reader r(data, size);
    if (r.u8() != kMagic0 || r.u8() != kMagic1)
        return std::nullopt;
    if (r.u8() != kVersion)
        return std::nullopt;
    uint8_t type = r.u8();
    uint16_t len = r.u16();
    r.u16(); // reserved
    if (len != size - kHeaderSize)
        return std::nullopt;
    Message m;
    m.msgId = r.u64();
    switch (type) {
    case uint8_t(Type::Inquiry):
        m.type = Type::Inquiry;
        m.inquiry.clientId = r.u64();
        m.inquiry.seq = r.u32();
        m.inquiry.windowMs = r.u16();
        r.arr(m.inquiry.target);
        break;
    case uint8_t(Type::Hello): {
        m.type = Type::Hello;
        uint8_t reason = r.u8();
        if (reason > uint8_t(HelloReason::Change))
            return std::nullopt;
        m.hello.reason = HelloReason(reason);
        m.hello.clientId = r.u64();
        m.hello.seq = r.u32();
        m.hello.uptimeMs = r.u64();
        const size_t from = r.position();
        getRecord(r, m.hello.device);
        getCert(r, m.hello.cert);
        if (r.ok)
            m.hello.signedPart.assign(data + from, data + r.position());
        r.arr(m.hello.signature);
        break;
    }
    case uint8_t(Type::Bye):
        m.type = Type::Bye;
        m.bye.serial = r.str(kSerialMax);
        r.arr(m.bye.mac);
        m.bye.bootId = r.u32();
        r.arr(m.bye.identity);
        r.arr(m.bye.signature);
        if (m.bye.serial.empty())
            return std::nullopt;
        break;
    case uint8_t(Type::Request):
        m.type = Type::Request;
        r.arr(m.request.mac);
        m.request.serial = r.str(kSerialMax);
        m.request.clientId = r.u64();
        m.request.requestId = r.u32();
        r.arr(m.request.clientKey);
        r.arr(m.request.nonce);
        m.request.cipher = r.bytes(kMaxCipher);
        if (m.request.cipher.size() < kBoxMac)
            return std::nullopt;
        break;
    case uint8_t(Type::Response):
        m.type = Type::Response;
        r.arr(m.response.mac);
        m.response.serial = r.str(kSerialMax);
        m.response.clientId = r.u64();
        m.response.requestId = r.u32();
        r.arr(m.response.nonce);
        m.response.cipher = r.bytes(kMaxCipher);
        if (m.response.cipher.size() < kBoxMac)
            return std::nullopt;
        break;
    default: return std::nullopt;
    }
    if (!r.ok || !r.atEnd())
        return std::nullopt;
    return m;
}

Bytes encodeCommand(const CommandBody &c)
{
    Writer w;
    w.u8(uint8_t(c.command));
    w.u64(c.clientId);
    w.u32(c.requestId);
    w.arr(c.mac);
    w.str(c.password, 64);
    w.str(c.securityCode, 255);
    w.bytes(c.keyFile, kMaxKeyFile);
    w.str(c.newPassword, 16);
    w.u8(c.netFlags);
    w.arr(c.ipv4);
    w.arr(c.mask);
    w.arr(c.gateway);
    w.arr(c.ipv6);
    w.arr(c.ipv6Gateway);
    w.u8(c.ipv6Prefix);
    w.u8(c.dhcp);
    w.u16(c.port);
    w.u16(c.httpPort);
    w.u64(c.stampMs);
    if (c.command == Command::SetTime)
        w.u64(c.timeMs); // only here: the other commands keep their layout
    // Zero padding: the sealed request's size tells the secrets' length
    // only to the block.
    const size_t secrets = c.password.size() + c.securityCode.size() + c.newPassword.size();
    const size_t padded = std::max(kSecretBlock, (secrets + kSecretBlock - 1) / kSecretBlock * kSecretBlock);
    w.out.resize(w.out.size() + padded - secrets, 0);
    return w.out;
}

std::optional<CommandBody> decodeCommand(const uint8_t *data, size_t size)
{
    Reader r(data, size);
    CommandBody c;
    uint8_t cmd = r.u8();
    if (cmd < uint8_t(Command::SetNet) || cmd > uint8_t(Command::SetTime))
        return std::nullopt;
    c.command = Command(cmd);
    c.clientId = r.u64();
    c.requestId = r.u32();
    r.arr(c.mac);
    c.password = r.str(64);
    c.securityCode = r.str(255);
    c.keyFile = r.bytes(kMaxKeyFile);
    c.newPassword = r.str(16);
    c.netFlags = r.u8();
    r.arr(c.ipv4);
    r.arr(c.mask);
    r.arr(c.gateway);
    r.arr(c.ipv6);
    r.arr(c.ipv6Gateway);
    c.ipv6Prefix = r.u8();
    c.dhcp = r.u8();
    c.port = r.u16();
    c.httpPort = r.u16();
    c.stampMs = r.u64();
    if (c.command == Command::SetTime)
        c.timeMs = r.u64();
    if (!r.ok)
        return std::nullopt;
    // What follows is the padding: zeros, less than the secrets' fields hold.
    for (size_t left = 0; !r.atEnd(); ++left) {
        if (left >= 64 + 255 + 16 + kSecretBlock || r.u8() != 0)
            return std::nullopt;
    }
    return c;
}

Bytes encodeResult(const CommandResult &res)
{
    Writer w;
    w.u32(res.requestId);
    w.u8(res.status);
    w.u16(res.retryAfter);
    w.bytes(res.data, kMaxKeyData);
    return w.out;
}

std::optional<CommandResult> decodeResult(const uint8_t *data, size_t size)
{
    Reader r(data, size);
    CommandResult res;
    res.requestId = r.u32();
    res.status = r.u8();
    res.retryAfter = r.u16();
    res.data = r.bytes(kMaxKeyData);
    if (!r.ok || !r.atEnd())
        return std::nullopt;
    return res;
}

Bytes encodeClockReading(const ClockReading &c)
{
    Writer w;
    w.u64(c.beforeMs);
    w.u64(c.afterMs);
    return w.out;
}

std::optional<ClockReading> decodeClockReading(const Bytes &data)
{
    Reader r(data.data(), data.size());
    ClockReading c;
    c.beforeMs = r.u64();
    c.afterMs = r.u64();
    if (!r.ok || !r.atEnd())
        return std::nullopt;
    return c;
}

std::string macText(const Mac &mac)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return buf;
}

std::optional<Mac> parseMac(const std::string &text)
{
    if (text.size() != 17)
        return std::nullopt;
    Mac mac{};
    for (size_t i = 0; i < 6; ++i) {
        auto hex = [](char ch) -> int {
            if (ch >= '0' && ch <= '9')
                return ch - '0';
            if (ch >= 'a' && ch <= 'f')
                return ch - 'a' + 10;
            if (ch >= 'A' && ch <= 'F')
                return ch - 'A' + 10;
            return -1;
        };
        int hi = hex(text[i * 3]), lo = hex(text[i * 3 + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        if (i < 5 && text[i * 3 + 2] != '-' && text[i * 3 + 2] != ':')
            return std::nullopt;
        mac[i] = uint8_t(hi * 16 + lo);
    }
    return mac;
}

} // namespace zelt::wire
