#include "xmlstrict.h"

#include <algorithm>
#include <cstring>

namespace zelt::xml {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

class Parser
{
public:
    explicit Parser(const std::string &t) : s_(t) {}

    std::optional<Element> document(size_t maxDepth)
    {
        if (s_.compare(0, 5, "<?xml") == 0) {
            size_t end = s_.find("?>");
            if (end == std::string::npos)
                return std::nullopt;
            // The declaration holds pseudo-attributes only.
            if (s_.find('<', 1) < end)
                return std::nullopt;
            pos_ = end + 2;
        }
        skipSpace();
        Element root;
        if (!element(root, maxDepth))
            return std::nullopt;
        skipSpace();
        if (pos_ != s_.size())
            return std::nullopt; // a second root, or trailing text
        return root;
    }

private:
    void skipSpace()
    {
        while (pos_ < s_.size() && isSpace(s_[pos_]))
            ++pos_;
    }
    bool peek(char c) const { return pos_ < s_.size() && s_[pos_] == c; }

    bool name(std::string &out)
    {
        if (pos_ >= s_.size() || !isNameStart(s_[pos_]))
            return false;
        size_t from = pos_;
        while (pos_ < s_.size() && isNameChar(s_[pos_]))
            ++pos_;
        out = s_.substr(from, pos_ - from);
        return true;
    }

    bool element(Element &e, size_t depth)
    {
        if (depth == 0 || !peek('<'))
            return false;
        ++pos_;
        if (!name(e.name))
            return false; // also refuses <!DOCTYPE, <!-- and <?
        for (;;) {
            bool spaced = pos_ < s_.size() && isSpace(s_[pos_]);
            skipSpace();
            if (peek('/')) {
                ++pos_;
                if (!peek('>'))
                    return false;
                ++pos_;
                return true;
            }
            if (peek('>')) {
                ++pos_;
                break;
            }
            std::string key, value;
            if (!spaced || !name(key))
                return false;
            skipSpace();
            if (!peek('='))
                return false;
            ++pos_;
            skipSpace();
            if (!peek('"') && !peek('\''))
                return false;
            const char quote = s_[pos_++];
            size_t end = s_.find(quote, pos_);
            if (end == std::string::npos)
                return false;
            value = s_.substr(pos_, end - pos_);
            if (value.find_first_of("<&") != std::string::npos)
                return false;
            pos_ = end + 1;
            if (e.attribute(key))
                return false; // repeated attribute
            e.attributes.emplace_back(std::move(key), std::move(value));
        }
        // Content: text, or child elements separated by white space.
        std::string text;
        for (;;) {
            if (pos_ >= s_.size())
                return false;
            if (s_.compare(pos_, 2, "</") == 0) {
                pos_ += 2;
                std::string closing;
                if (!name(closing) || closing != e.name)
                    return false;
                skipSpace();
                if (!peek('>'))
                    return false;
                ++pos_;
                break;
            }
            if (peek('<')) {
                Element child;
                if (!element(child, depth - 1))
                    return false;
                e.children.push_back(std::move(child));
                continue;
            }
            char c = s_[pos_++];
            if (c == '&' || c == '>' || c == '\0')
                return false; // no entities or character references
            text += c;
        }
        const bool blank = std::all_of(text.begin(), text.end(), isSpace);
        if (!e.children.empty() && !blank)
            return false; // mixed content
        if (e.children.empty())
            e.text = std::move(text);
        return true;
    }

    const std::string &s_;
    size_t pos_ = 0;
};

} // namespace

const std::string *Element::attribute(const std::string &key) const
{
    for (auto &[k, v] : attributes)
        if (k == key)
            return &v;
    return nullptr;
}

bool Element::hasExactly(std::initializer_list<const char *> names) const
{
    if (attributes.size() != names.size())
        return false;
    for (const char *n : names)
        if (!attribute(n))
            return false;
    return true;
}

std::optional<Element> parseDocument(const std::string &text, size_t maxDepth)
{
    if (text.find('\0') != std::string::npos)
        return std::nullopt;
    return Parser(text).document(maxDepth);
}

} // namespace zelt::xml
