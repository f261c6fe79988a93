#include "onvif.h"

#include "crypto.h"

#include <arpa/inet.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zelt::onvif {

namespace {

std::string str(const xmlChar *s)
{
    return s ? std::string(reinterpret_cast<const char *>(s)) : std::string();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && isSpace(s[a]))
        ++a;
    while (b > a && isSpace(s[b - 1]))
        --b;
    return s.substr(a, b - a);
}

std::vector<std::string> words(const std::string &s)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (isSpace(c)) {
            if (!cur.empty())
                out.push_back(std::move(cur));
            cur.clear();
        } else
            cur += c;
    }
    if (!cur.empty())
        out.push_back(std::move(cur));
    return out;
}

struct Builder {
    xmlDocPtr doc;
    size_t nodes = 0;

    // QNames in element text, resolved against the element's namespaces.
    std::string resolveQNames(xmlNodePtr el, const std::string &text)
    {
        std::string out;
        for (const std::string &w : words(text)) {
            size_t colon = w.find(':');
            std::string prefix = colon == std::string::npos ? std::string() : w.substr(0, colon);
            std::string local = colon == std::string::npos ? w : w.substr(colon + 1);
            xmlNsPtr n = xmlSearchNs(doc, el,
                                     prefix.empty() ? nullptr : reinterpret_cast<const xmlChar *>(prefix.c_str()));
            if (!n && !prefix.empty())
                continue; // an undeclared prefix names nothing
            if (!out.empty())
                out += ' ';
            out += "{" + (n ? str(n->href) : std::string()) + "}" + local;
        }
        return out;
    }

    bool build(xmlNodePtr el, Node &out, size_t depth)
    {
        if (depth > kMaxDepth || ++nodes > kMaxNodes)
            return false;
        out.name = str(el->name);
        out.ns = el->ns ? str(el->ns->href) : std::string();
        for (xmlAttrPtr a = el->properties; a; a = a->next) {
            xmlChar *v = xmlNodeListGetString(doc, a->children, 1);
            out.attributes.emplace_back(str(a->name), str(v));
            xmlFree(v);
        }
        for (xmlNodePtr c = el->children; c; c = c->next) {
            if (c->type == XML_ELEMENT_NODE) {
                out.children.emplace_back();
                if (!build(c, out.children.back(), depth + 1))
                    return false;
            } else if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
                out.text += str(c->content);
                if (out.text.size() > kMaxSoap)
                    return false;
            } else if (c->type == XML_ENTITY_REF_NODE) {
                return false; // no entities beyond the predefined ones
            }
        }
        out.text = trim(out.text);
        if (out.name == "Types" && (out.ns == ns::wsd))
            out.text = resolveQNames(el, out.text);
        // Fault codes are QNames too: kept resolved, so that prefixes do not matter.
        if (out.ns == ns::soap && out.name == "Value")
            out.text = resolveQNames(el, out.text);
        return true;
    }
};

std::once_flag g_xmlInit;

} // namespace

const Node *Node::child(std::string_view n, std::string_view local) const
{
    for (const Node &c : children)
        if (c.name == local && (n.empty() || c.ns == n))
            return &c;
    return nullptr;
}

const Node *Node::find(std::string_view n, std::string_view local) const
{
    for (const Node &c : children) {
        if (c.name == local && (n.empty() || c.ns == n))
            return &c;
        if (const Node *d = c.find(n, local))
            return d;
    }
    return nullptr;
}

std::vector<const Node *> Node::all(std::string_view n, std::string_view local) const
{
    std::vector<const Node *> out;
    for (const Node &c : children)
        if (c.name == local && (n.empty() || c.ns == n))
            out.push_back(&c);
    return out;
}

const std::string *Node::attribute(std::string_view local) const
{
    for (auto &[k, v] : attributes)
        if (k == local)
            return &v;
    return nullptr;
}

std::string Node::childText(std::string_view n, std::string_view local) const
{
    const Node *c = child(n, local);
    return c ? c->text : std::string();
}

std::optional<Node> parse(const char *data, size_t size)
{
    if (!data || size == 0 || size > kMaxSoap)
        return std::nullopt;
    std::call_once(g_xmlInit, [] { xmlInitParser(); });
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        return std::nullopt;
    // No network, no entity substitution, no DTD loading, quiet.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, data, int(size), nullptr, nullptr, options);
    std::optional<Node> out;
    if (doc && !doc->intSubset && !doc->extSubset) {
        xmlNodePtr root = xmlDocGetRootElement(doc);
        Builder b{doc};
        Node n;
        if (root && b.build(root, n, 0))
            out = std::move(n);
    }
    if (doc)
        xmlFreeDoc(doc);
    xmlFreeParserCtxt(ctxt);
    return out;
}

std::string escape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += c;
        }
    }
    return out;
}

std::string newUuid()
{
    uint8_t b[16];
    crypto::randomBytes(b, sizeof b);
    b[6] = uint8_t((b[6] & 0x0f) | 0x40);
    b[8] = uint8_t((b[8] & 0x3f) | 0x80);
    std::string h = crypto::toHex(b, 16);
    return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) + "-" + h.substr(20);
}

std::string isoTime(time_t t)
{
    tm g;
    gmtime_r(&t, &g);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &g);
    return buf;
}

std::optional<time_t> parseIsoTime(const std::string &text)
{
    int y, mo, d, h, mi, s;
    char rest[32] = {};
    if (text.size() > 40)
        return std::nullopt;
    int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%31s", &y, &mo, &d, &h, &mi, &s, rest);
    if (n < 6 || y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0
        || mi < 0 || s < 0)
        return std::nullopt;
    tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    time_t v = timegm(&t);
    const char *r = rest;
    if (*r == '.') {
        ++r;
        while (*r >= '0' && *r <= '9')
            ++r;
    }
    if (*r == 'Z' && r[1] == 0)
        return v;
    if (*r == 0)
        return v; // no zone: taken as UTC
    if ((*r == '+' || *r == '-') && std::strlen(r) == 6 && r[3] == ':') {
        int oh = (r[1] - '0') * 10 + (r[2] - '0'), om = (r[4] - '0') * 10 + (r[5] - '0');
        if (oh < 0 || oh > 14 || om < 0 || om > 59)
            return std::nullopt;
        long off = (oh * 60L + om) * 60L;
        return *r == '+' ? v - off : v + off;
    }
    return std::nullopt;
}

// --- WS-Discovery ---

bool Endpoint::isVideoDevice() const
{
    const std::string a = std::string("{") + ns::tds + "}Device",
                      b = std::string("{") + ns::dn + "}NetworkVideoTransmitter";
    return std::any_of(types.begin(), types.end(), [&](const std::string &t) { return t == a || t == b; });
}

namespace {

Endpoint readEndpoint(const Node &n)
{
    Endpoint e;
    if (const Node *epr = n.child(ns::wsa, "EndpointReference"))
        e.address = epr->childText(ns::wsa, "Address");
    e.types = words(n.childText(ns::wsd, "Types"));
    e.scopes = words(n.childText(ns::wsd, "Scopes"));
    e.xaddrs = words(n.childText(ns::wsd, "XAddrs"));
    const std::string mv = n.childText(ns::wsd, "MetadataVersion");
    e.metadataVersion = uint32_t(std::strtoul(mv.c_str(), nullptr, 10));
    return e;
}

std::string header(const std::string &action, const std::string &messageId, const std::string &to,
                   const std::string &extra = {})
{
    return "<wsa:MessageID>urn:uuid:" + escape(messageId) + "</wsa:MessageID>" + extra + "<wsa:To>" + escape(to)
           + "</wsa:To><wsa:Action>" + escape(action) + "</wsa:Action>";
}

const char kDiscoveryNs[] = "xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\" "
                            "xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
                            "xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
                            "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" "
                            "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\"";

std::string join(const std::vector<std::string> &v)
{
    std::string out;
    for (auto &s : v)
        out += (out.empty() ? "" : " ") + s;
    return out;
}

std::string endpointXml(const Endpoint &e, bool withDetails)
{
    std::string x = "<wsa:EndpointReference><wsa:Address>" + escape(e.address)
                    + "</wsa:Address></wsa:EndpointReference>";
    if (withDetails) {
        x += "<wsd:Types>dn:NetworkVideoTransmitter tds:Device</wsd:Types>";
        x += "<wsd:Scopes>" + escape(join(e.scopes)) + "</wsd:Scopes>";
        x += "<wsd:XAddrs>" + escape(join(e.xaddrs)) + "</wsd:XAddrs>";
        x += "<wsd:MetadataVersion>" + std::to_string(e.metadataVersion) + "</wsd:MetadataVersion>";
    }
    return x;
}

std::string appSequence(uint32_t instanceId, uint32_t messageNumber)
{
    return "<wsd:AppSequence InstanceId=\"" + std::to_string(instanceId) + "\" MessageNumber=\""
           + std::to_string(messageNumber) + "\"/>";
}

constexpr const char *kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
constexpr const char *kAnonymous = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";

} // namespace

std::optional<DiscoveryMessage> parseDiscovery(const char *data, size_t size)
{
    if (size > kMaxDatagram)
        return std::nullopt;
    auto doc = parse(data, size);
    if (!doc || doc->ns != ns::soap || doc->name != "Envelope")
        return std::nullopt;
    const Node *hdr = doc->child(ns::soap, "Header");
    const Node *b = doc->child(ns::soap, "Body");
    if (!b)
        return std::nullopt;
    DiscoveryMessage m;
    if (hdr) {
        m.messageId = hdr->childText(ns::wsa, "MessageID");
        m.relatesTo = hdr->childText(ns::wsa, "RelatesTo");
    }
    if (const Node *p = b->child(ns::wsd, "Probe")) {
        m.kind = DiscoveryMessage::Probe;
        m.probeTypes = words(p->childText(ns::wsd, "Types"));
        m.probeScopes = words(p->childText(ns::wsd, "Scopes"));
    } else if (const Node *pm = b->child(ns::wsd, "ProbeMatches")) {
        m.kind = DiscoveryMessage::ProbeMatches;
        for (const Node *one : pm->all(ns::wsd, "ProbeMatch")) {
            if (m.endpoints.size() >= 64)
                break;
            m.endpoints.push_back(readEndpoint(*one));
        }
    } else if (const Node *h = b->child(ns::wsd, "Hello")) {
        m.kind = DiscoveryMessage::Hello;
        m.endpoints.push_back(readEndpoint(*h));
    } else if (const Node *y = b->child(ns::wsd, "Bye")) {
        m.kind = DiscoveryMessage::Bye;
        m.endpoints.push_back(readEndpoint(*y));
    }
    // An endpoint without an address, or one absurdly long, is nobody.
    std::erase_if(m.endpoints, [](const Endpoint &e) { return e.address.empty() || e.address.size() > 256; });
    for (auto &e : m.endpoints) {
        if (e.xaddrs.size() > 8)
            e.xaddrs.resize(8);
        if (e.scopes.size() > 64)
            e.scopes.resize(64);
    }
    return m;
}

std::string probeMessage(const std::string &messageId)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope ") + kDiscoveryNs + "><soap:Header>"
           + header("http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe", messageId, kDiscoveryTo)
           + "</soap:Header><soap:Body><wsd:Probe><wsd:Types>tds:Device "
             "dn:NetworkVideoTransmitter</wsd:Types></wsd:Probe>"
             "</soap:Body></soap:Envelope>";
}

std::string probeMatchesMessage(const std::string &relatesTo, const Endpoint &e, uint32_t instanceId,
                                uint32_t messageNumber)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope ") + kDiscoveryNs + "><soap:Header>"
           + header("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches", newUuid(), kAnonymous,
                    "<wsa:RelatesTo>" + escape(relatesTo) + "</wsa:RelatesTo>")
           + appSequence(instanceId, messageNumber) + "</soap:Header><soap:Body><wsd:ProbeMatches><wsd:ProbeMatch>"
           + endpointXml(e, true) + "</wsd:ProbeMatch></wsd:ProbeMatches></soap:Body></soap:Envelope>";
}

std::string helloMessage(const Endpoint &e, uint32_t instanceId, uint32_t messageNumber)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope ") + kDiscoveryNs + "><soap:Header>"
           + header("http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello", newUuid(), kDiscoveryTo)
           + appSequence(instanceId, messageNumber) + "</soap:Header><soap:Body><wsd:Hello>" + endpointXml(e, true)
           + "</wsd:Hello></soap:Body></soap:Envelope>";
}

std::string byeMessage(const Endpoint &e, uint32_t instanceId, uint32_t messageNumber)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope ") + kDiscoveryNs + "><soap:Header>"
           + header("http://schemas.xmlsoap.org/ws/2005/04/discovery/Bye", newUuid(), kDiscoveryTo)
           + appSequence(instanceId, messageNumber) + "</soap:Header><soap:Body><wsd:Bye>" + endpointXml(e, false)
           + "</wsd:Bye></soap:Body></soap:Envelope>";
}

std::string scopeValue(const std::string &scope, const std::string &prefix)
{
    if (scope.size() <= prefix.size() || scope.compare(0, prefix.size(), prefix) != 0)
        return {};
    std::string out;
    for (size_t i = prefix.size(); i < scope.size(); ++i) {
        char c = scope[i];
        if (c == '%' && i + 2 < scope.size()) {
            uint8_t v;
            if (crypto::fromHex(scope.substr(i + 1, 2), &v, 1)) {
                out += char(v);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

ScopeInfo readScopes(const std::vector<std::string> &scopes)
{
    ScopeInfo s;
    const std::string base = "onvif://www.onvif.org/";
    for (const std::string &sc : scopes) {
        if (auto v = scopeValue(sc, base + "name/"); !v.empty())
            s.name = v;
        else if (auto h = scopeValue(sc, base + "hardware/"); !h.empty())
            s.hardware = h;
        else if (auto l = scopeValue(sc, base + "location/"); !l.empty())
            s.location = l;
        else if (auto m = scopeValue(sc, base + "mac/"); !m.empty())
            s.mac = m;
        else if (auto m2 = scopeValue(sc, base + "MAC/"); !m2.empty())
            s.mac = m2;
    }
    return s;
}

// --- WS-Security ---

std::string passwordDigest(const std::string &nonce, const std::string &created, const std::string &password)
{
    std::string input = nonce + created + password;
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(input.data(), input.size(), md, &len, EVP_sha1(), nullptr) != 1)
        return {};
    std::fill(input.begin(), input.end(), '\0');
    return crypto::toBase64(md, len);
}

std::string securityHeader(const std::string &user, const std::string &password, time_t created)
{
    uint8_t nonce[16];
    crypto::randomBytes(nonce, sizeof nonce);
    const std::string n(reinterpret_cast<const char *>(nonce), sizeof nonce), when = isoTime(created);
    return std::string("<wsse:Security soap:mustUnderstand=\"1\" xmlns:wsse=\"") + ns::wsse + "\" xmlns:wsu=\""
           + ns::wsu + "\"><wsse:UsernameToken><wsse:Username>" + escape(user)
           + "</wsse:Username><wsse:Password Type=\"" + kPasswordDigestType + "\">" + passwordDigest(n, when, password)
           + "</wsse:Password><wsse:Nonce EncodingType=\"" + kBase64Encoding + "\">"
           + crypto::toBase64(nonce, sizeof nonce) + "</wsse:Nonce><wsu:Created>" + when
           + "</wsu:Created></wsse:UsernameToken></wsse:Security>";
}

std::optional<UsernameToken> findUsernameToken(const Node &env)
{
    const Node *hdr = env.child(ns::soap, "Header");
    const Node *sec = hdr ? hdr->child(ns::wsse, "Security") : nullptr;
    const Node *tok = sec ? sec->child(ns::wsse, "UsernameToken") : nullptr;
    if (!tok)
        return std::nullopt;
    UsernameToken t;
    t.user = tok->childText(ns::wsse, "Username");
    const Node *pw = tok->child(ns::wsse, "Password");
    if (!pw)
        return std::nullopt;
    t.password = pw->text;
    if (const std::string *type = pw->attribute("Type"))
        t.passwordType = *type;
    const std::string nonce = tok->childText(ns::wsse, "Nonce");
    if (!nonce.empty()) {
        auto raw = crypto::fromBase64(nonce, 256);
        if (!raw)
            return std::nullopt;
        t.nonce.assign(raw->begin(), raw->end());
    }
    t.created = tok->childText(ns::wsu, "Created");
    return t;
}

// --- SOAP ---

std::string envelope(const std::string &bodyXml, const std::string &hdr)
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope xmlns:soap=\"") + ns::soap
           + "\" xmlns:tds=\"" + ns::tds + "\" xmlns:tt=\"" + ns::tt + "\" xmlns:ter=\"" + ns::ter + "\">"
           + (hdr.empty() ? "" : "<soap:Header>" + hdr + "</soap:Header>") + "<soap:Body>" + bodyXml
           + "</soap:Body></soap:Envelope>";
}

const Node *body(const Node &env)
{
    if (env.ns != ns::soap || env.name != "Envelope")
        return nullptr;
    const Node *b = env.child(ns::soap, "Body");
    return b && !b->children.empty() ? &b->children.front() : nullptr;
}

std::optional<Fault> fault(const Node &env)
{
    const Node *b = body(env);
    if (!b || b->ns != ns::soap || b->name != "Fault")
        return std::nullopt;
    Fault f;
    if (const Node *code = b->child(ns::soap, "Code")) {
        f.code = code->childText(ns::soap, "Value");
        const Node *sub = code->child(ns::soap, "Subcode");
        // The most specific subcode names the error.
        while (sub) {
            f.subcode = sub->childText(ns::soap, "Value");
            sub = sub->child(ns::soap, "Subcode");
        }
    }
    if (const Node *reason = b->child(ns::soap, "Reason"))
        f.reason = reason->childText(ns::soap, "Text");
    return f;
}

std::string faultEnvelope(const std::string &code, const std::string &subcodeQName, const std::string &reason)
{
    std::string sub = subcodeQName.empty()
                          ? ""
                          : "<soap:Subcode><soap:Value>" + escape(subcodeQName) + "</soap:Value></soap:Subcode>";
    return envelope("<soap:Fault><soap:Code><soap:Value>soap:" + escape(code) + "</soap:Value>" + sub
                    + "</soap:Code><soap:Reason><soap:Text xml:lang=\"en\">" + escape(reason)
                    + "</soap:Text></soap:Reason></soap:Fault>");
}

std::string request(const std::string &operation, const std::string &innerXml)
{
    return "<tds:" + operation + ">" + innerXml + "</tds:" + operation + ">";
}

// --- Device service contents ---

namespace {
const Node *response(const Node &env, const char *name)
{
    const Node *b = body(env);
    return b && b->ns == ns::tds && b->name == name ? b : nullptr;
}
bool boolText(const std::string &t)
{
    return t == "true" || t == "1";
}
} // namespace

std::optional<DeviceInformation> readDeviceInformation(const Node &env)
{
    const Node *r = response(env, "GetDeviceInformationResponse");
    if (!r)
        return std::nullopt;
    DeviceInformation d;
    d.manufacturer = r->childText(ns::tds, "Manufacturer");
    d.model = r->childText(ns::tds, "Model");
    d.firmware = r->childText(ns::tds, "FirmwareVersion");
    d.serial = r->childText(ns::tds, "SerialNumber");
    d.hardwareId = r->childText(ns::tds, "HardwareId");
    return d;
}

std::optional<std::vector<NetworkInterface>> readNetworkInterfaces(const Node &env)
{
    const Node *r = response(env, "GetNetworkInterfacesResponse");
    if (!r)
        return std::nullopt;
    std::vector<NetworkInterface> out;
    for (const Node *n : r->all(ns::tds, "NetworkInterfaces")) {
        if (out.size() >= 16)
            break;
        NetworkInterface i;
        if (const std::string *tok = n->attribute("token"))
            i.token = *tok;
        if (i.token.empty() || i.token.size() > 64)
            continue;
        i.enabled = n->childText(ns::tt, "Enabled") != "false";
        if (const Node *info = n->child(ns::tt, "Info")) {
            i.name = info->childText(ns::tt, "Name");
            i.mac = info->childText(ns::tt, "HwAddress");
        }
        if (const Node *v4 = n->child(ns::tt, "IPv4")) {
            i.ipv4Enabled = v4->childText(ns::tt, "Enabled") != "false";
            if (const Node *cfg = v4->child(ns::tt, "Config")) {
                i.dhcp = boolText(cfg->childText(ns::tt, "DHCP"));
                const Node *addr = cfg->child(ns::tt, "Manual");
                if (!addr || i.dhcp)
                    addr = cfg->child(ns::tt, "FromDHCP") ? cfg->child(ns::tt, "FromDHCP") : addr;
                if (addr) {
                    i.address = addr->childText(ns::tt, "Address");
                    i.prefix = std::atoi(addr->childText(ns::tt, "PrefixLength").c_str());
                }
            }
        }
        if (const Node *v6 = n->child(ns::tt, "IPv6")) {
            i.hasIpv6 = true;
            i.ipv6Enabled = boolText(v6->childText(ns::tt, "Enabled"));
            if (const Node *cfg = v6->child(ns::tt, "Config")) {
                i.ipv6Dhcp = cfg->childText(ns::tt, "DHCP");
                // A manual address first; else one the device was given.
                for (const char *kind : {"Manual", "FromDHCP", "FromRA"}) {
                    for (const Node *a : cfg->all(ns::tt, kind)) {
                        in6_addr probe6;
                        const std::string text = a->childText(ns::tt, "Address");
                        if (inet_pton(AF_INET6, text.c_str(), &probe6) != 1 || IN6_IS_ADDR_LINKLOCAL(&probe6))
                            continue;
                        i.ipv6Address = text;
                        i.ipv6Prefix = std::clamp(std::atoi(a->childText(ns::tt, "PrefixLength").c_str()), 0, 128);
                        break;
                    }
                    if (!i.ipv6Address.empty())
                        break;
                }
            }
        }
        in_addr probe;
        if (!i.address.empty() && inet_pton(AF_INET, i.address.c_str(), &probe) != 1)
            i.address.clear();
        if (i.prefix < 0 || i.prefix > 32)
            i.prefix = 0;
        out.push_back(std::move(i));
    }
    return out;
}

std::optional<std::string> readDefaultGateway(const Node &env)
{
    const Node *r = response(env, "GetNetworkDefaultGatewayResponse");
    if (!r)
        return std::nullopt;
    const Node *g = r->child(ns::tds, "NetworkGateway");
    std::string a = g ? g->childText(ns::tt, "IPv4Address") : std::string();
    in_addr probe;
    if (!a.empty() && inet_pton(AF_INET, a.c_str(), &probe) != 1)
        a.clear();
    return a;
}

std::optional<std::string> readDefaultGateway6(const Node &env)
{
    const Node *r = response(env, "GetNetworkDefaultGatewayResponse");
    if (!r)
        return std::nullopt;
    const Node *g = r->child(ns::tds, "NetworkGateway");
    std::string a = g ? g->childText(ns::tt, "IPv6Address") : std::string();
    in6_addr probe;
    if (!a.empty() && inet_pton(AF_INET6, a.c_str(), &probe) != 1)
        a.clear();
    return a;
}

std::optional<int> readHttpPort(const Node &env)
{
    const Node *r = response(env, "GetNetworkProtocolsResponse");
    if (!r)
        return std::nullopt;
    for (const Node *p : r->all(ns::tds, "NetworkProtocols")) {
        if (p->childText(ns::tt, "Name") != "HTTP")
            continue;
        if (p->childText(ns::tt, "Enabled") == "false")
            return 0;
        int port = std::atoi(p->childText(ns::tt, "Port").c_str());
        return port > 0 && port < 65536 ? port : 0;
    }
    return 0;
}

std::optional<bool> readRebootNeeded(const Node &env)
{
    const Node *b = body(env);
    if (!b || b->ns != ns::tds)
        return std::nullopt;
    if (b->name == "SetNetworkInterfacesResponse")
        return boolText(b->childText(ns::tds, "RebootNeeded"));
    if (b->name.size() > 8 && b->name.compare(b->name.size() - 8, 8, "Response") == 0)
        return false;
    return std::nullopt;
}

std::optional<time_t> readSystemTime(const Node &env)
{
    const Node *r = response(env, "GetSystemDateAndTimeResponse");
    const Node *sdt = r ? r->child(ns::tds, "SystemDateAndTime") : nullptr;
    const Node *utc = sdt ? sdt->child(ns::tt, "UTCDateTime") : nullptr;
    return utc ? readDateTime(*utc) : std::nullopt;
}

std::optional<bool> readDaylightSavings(const Node &env)
{
    const Node *r = response(env, "GetSystemDateAndTimeResponse");
    const Node *sdt = r ? r->child(ns::tds, "SystemDateAndTime") : nullptr;
    const Node *dst = sdt ? sdt->child(ns::tt, "DaylightSavings") : nullptr;
    if (!dst)
        return std::nullopt;
    return boolText(dst->text);
}

std::optional<time_t> readDateTime(const Node &utc)
{
    const Node *date = utc.child(ns::tt, "Date"), *time = utc.child(ns::tt, "Time");
    if (!date || !time)
        return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", std::atoi(date->childText(ns::tt, "Year").c_str()),
                  std::atoi(date->childText(ns::tt, "Month").c_str()),
                  std::atoi(date->childText(ns::tt, "Day").c_str()), std::atoi(time->childText(ns::tt, "Hour").c_str()),
                  std::atoi(time->childText(ns::tt, "Minute").c_str()),
                  std::atoi(time->childText(ns::tt, "Second").c_str()));
    return parseIsoTime(buf);
}

std::string setNetworkInterfacesBody(const std::string &token, bool dhcp, const std::string &address, int prefix)
{
    std::string v4 = "<tt:Enabled>true</tt:Enabled>";
    if (!dhcp)
        v4 += "<tt:Manual><tt:Address>" + escape(address) + "</tt:Address><tt:PrefixLength>" + std::to_string(prefix)
              + "</tt:PrefixLength></tt:Manual>";
    v4 += std::string("<tt:DHCP>") + (dhcp ? "true" : "false") + "</tt:DHCP>";
    return request("SetNetworkInterfaces",
                   "<tds:InterfaceToken>" + escape(token)
                       + "</tds:InterfaceToken><tds:NetworkInterface><tt:Enabled>true</tt:Enabled><tt:IPv4>" + v4
                       + "</tt:IPv4></tds:NetworkInterface>");
}

std::string setNetworkInterfacesIpv6Body(const std::string &token, const Ipv6Settings &v6)
{
    std::string x = "<tt:Enabled>true</tt:Enabled><tt:AcceptRouterAdvert>"
                    + std::string(v6.automatic ? "true" : "false") + "</tt:AcceptRouterAdvert>";
    if (!v6.automatic)
        x += "<tt:Manual><tt:Address>" + escape(v6.address) + "</tt:Address><tt:PrefixLength>"
             + std::to_string(v6.prefix) + "</tt:PrefixLength></tt:Manual>";
    x += std::string("<tt:DHCP>") + (v6.automatic ? "Auto" : "Off") + "</tt:DHCP>";
    return request("SetNetworkInterfaces", "<tds:InterfaceToken>" + escape(token)
                                               + "</tds:InterfaceToken><tds:NetworkInterface><tt:Enabled>true</"
                                                 "tt:Enabled><tt:IPv6>"
                                               + x + "</tt:IPv6></tds:NetworkInterface>");
}

std::string setDefaultGatewaysBody(const std::string &ipv4, const std::string &ipv6)
{
    std::string x;
    if (!ipv4.empty())
        x += "<tds:IPv4Address>" + escape(ipv4) + "</tds:IPv4Address>";
    if (!ipv6.empty())
        x += "<tds:IPv6Address>" + escape(ipv6) + "</tds:IPv6Address>";
    return request("SetNetworkDefaultGateway", x);
}

std::string setDefaultGatewayBody(const std::string &gateway)
{
    return request("SetNetworkDefaultGateway", "<tds:IPv4Address>" + escape(gateway) + "</tds:IPv4Address>");
}

std::string setHttpPortBody(int port)
{
    return request("SetNetworkProtocols",
                   "<tds:NetworkProtocols><tt:Name>HTTP</tt:Name><tt:Enabled>true</tt:Enabled><tt:Port>"
                       + std::to_string(port) + "</tt:Port></tds:NetworkProtocols>");
}

std::string setSystemDateAndTimeBody(time_t utc, bool daylightSavings)
{
    tm g;
    gmtime_r(&utc, &g);
    char dt[256];
    std::snprintf(dt, sizeof dt,
                  "<tds:UTCDateTime><tt:Time><tt:Hour>%d</tt:Hour><tt:Minute>%d</tt:Minute><tt:Second>%d</tt:Second>"
                  "</tt:Time><tt:Date><tt:Year>%d</tt:Year><tt:Month>%d</tt:Month><tt:Day>%d</tt:Day></tt:Date>"
                  "</tds:UTCDateTime>",
                  g.tm_hour, g.tm_min, g.tm_sec, g.tm_year + 1900, g.tm_mon + 1, g.tm_mday);
    return request("SetSystemDateAndTime",
                   std::string("<tds:DateTimeType>Manual</tds:DateTimeType><tds:DaylightSavings>")
                       + (daylightSavings ? "true" : "false") + "</tds:DaylightSavings>" + dt);
}

int prefixFromMask(const std::string &mask)
{
    in_addr a;
    if (inet_pton(AF_INET, mask.c_str(), &a) != 1)
        return -1;
    uint32_t m = ntohl(a.s_addr);
    if (m != 0 && ((~m + 1) & ~m) != 0)
        return -1; // ones, then zeros
    return __builtin_popcount(m);
}

std::string maskFromPrefix(int prefix)
{
    if (prefix < 0 || prefix > 32)
        return {};
    uint32_t m = prefix == 0 ? 0 : 0xffffffffu << (32 - prefix);
    in_addr a;
    a.s_addr = htonl(m);
    char buf[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

} // namespace zelt::onvif
