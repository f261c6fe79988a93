#include "json.h"

#include <cstdio>
#include <cstdlib>

namespace zelt::json {

const Value *Value::get(const std::string &key) const
{
    if (kind != Object)
        return nullptr;
    auto it = o.find(key);
    return it == o.end() ? nullptr : &it->second;
}
std::string Value::str(const std::string &key, const std::string &fallback) const
{
    auto v = get(key);
    return v && v->kind == String ? v->s : fallback;
}
double Value::num(const std::string &key, double fallback) const
{
    auto v = get(key);
    return v && v->kind == Number ? v->n : fallback;
}
bool Value::flag(const std::string &key, bool fallback) const
{
    auto v = get(key);
    return v && v->kind == Bool ? v->b : fallback;
}

namespace {
struct Parser {
    const std::string &t;
    size_t i = 0;
    std::string err;
    void ws()
    {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\n' || t[i] == '\r' || t[i] == '\t'))
            ++i;
    }
    bool fail(const char *m)
    {
        if (err.empty())
            err = std::string(m) + " at offset " + std::to_string(i);
        return false;
    }
    bool lit(const char *w)
    {
        size_t n = std::char_traits<char>::length(w);
        if (t.compare(i, n, w) != 0)
            return false;
        i += n;
        return true;
    }
    bool string(std::string &out)
    {
        if (i >= t.size() || t[i] != '"')
            return fail("expected string");
        ++i;
        while (i < t.size() && t[i] != '"') {
            char c = t[i++];
            if (c == '\\') {
                if (i >= t.size())
                    return fail("bad escape");
                char e = t[i++];
                switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    if (i + 4 > t.size())
                        return fail("bad escape");
                    unsigned cp = unsigned(std::strtoul(t.substr(i, 4).c_str(), nullptr, 16));
                    i += 4;
                    if (cp < 0x80)
                        out += char(cp);
                    else if (cp < 0x800) {
                        out += char(0xC0 | (cp >> 6));
                        out += char(0x80 | (cp & 0x3F));
                    } else {
                        out += char(0xE0 | (cp >> 12));
                        out += char(0x80 | ((cp >> 6) & 0x3F));
                        out += char(0x80 | (cp & 0x3F));
                    }
                    break;
                }
                default: out += e;
                }
            } else {
                out += c;
            }
        }
        if (i >= t.size())
            return fail("unterminated string");
        ++i;
        return true;
    }
    bool value(Value &v, int depth)
    {
        if (depth > 32)
            return fail("nested too deeply");
        ws();
        if (i >= t.size())
            return fail("unexpected end");
        char c = t[i];
        if (c == '{') {
            ++i;
            v.kind = Value::Object;
            ws();
            if (i < t.size() && t[i] == '}') {
                ++i;
                return true;
            }
            for (;;) {
                ws();
                std::string key;
                if (!string(key))
                    return false;
                ws();
                if (i >= t.size() || t[i] != ':')
                    return fail("expected ':'");
                ++i;
                Value item;
                if (!value(item, depth + 1))
                    return false;
                v.o[key] = std::move(item);
                ws();
                if (i < t.size() && t[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < t.size() && t[i] == '}') {
                    ++i;
                    return true;
                }
                return fail("expected ',' or '}'");
            }
        }
        if (c == '[') {
            ++i;
            v.kind = Value::Array;
            ws();
            if (i < t.size() && t[i] == ']') {
                ++i;
                return true;
            }
            for (;;) {
                Value item;
                if (!value(item, depth + 1))
                    return false;
                v.a.push_back(std::move(item));
                ws();
                if (i < t.size() && t[i] == ',') {
                    ++i;
                    continue;
                }
                if (i < t.size() && t[i] == ']') {
                    ++i;
                    return true;
                }
                return fail("expected ',' or ']'");
            }
        }
        if (c == '"') {
            v.kind = Value::String;
            return string(v.s);
        }
        if (lit("true")) {
            v.kind = Value::Bool;
            v.b = true;
            return true;
        }
        if (lit("false")) {
            v.kind = Value::Bool;
            return true;
        }
        if (lit("null"))
            return true;
        const char *start = t.c_str() + i;
        char *end = nullptr;
        v.n = std::strtod(start, &end);
        if (end == start)
            return fail("unexpected character");
        v.kind = Value::Number;
        i += size_t(end - start);
        return true;
    }
};
} // namespace

std::optional<Value> parse(const std::string &text, std::string *error)
{
    Parser p{text, 0, {}};
    Value v;
    if (!p.value(v, 0)) {
        if (error)
            *error = p.err;
        return std::nullopt;
    }
    p.ws();
    if (p.i != text.size()) {
        if (error)
            *error = "trailing characters";
        return std::nullopt;
    }
    return v;
}

std::string quote(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n')
            out += "\\n";
        else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else
            out += char(c);
    }
    return out + "\"";
}

} // namespace zelt::json
