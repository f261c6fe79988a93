#include "xlssql.h"

#include <cctype>

namespace xls {

std::u16string fromUtf8(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c <= 0xF4) {
            const size_t need = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            if (i + need <= s.size()) {
                char32_t v = c & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
                bool ok = true;
                for (size_t k = 1; k < need; ++k) {
                    const unsigned char cc = static_cast<unsigned char>(s[i + k]);
                    if ((cc & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (cc & 0x3F);
                }
                const char32_t min = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
                if (ok && v >= min && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    cp = v;
                    len = need;
                }
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += len;
    }
    return out;
}

std::string toUtf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

namespace {

char16_t foldAscii(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

bool isKeyChar(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u' ';
}

// True when s[pos..] looks like "KEY=" (the start of the next attribute).
bool attributeFollows(std::u16string_view s, size_t pos)
{
    while (pos < s.size() && isSpace(s[pos]))
        ++pos;
    const size_t start = pos;
    while (pos < s.size() && isKeyChar(s[pos]))
        ++pos;
    return pos > start && pos < s.size() && s[pos] == u'=';
}

} // namespace

bool sameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

std::vector<std::pair<std::string, std::u16string>> parseConnectionString(std::u16string_view s)
{
    std::vector<std::pair<std::string, std::u16string>> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (isSpace(s[i]) || s[i] == u';'))
            ++i;
        const size_t eq = s.find(u'=', i);
        if (i >= s.size() || eq == std::u16string_view::npos)
            break;
        std::u16string key16(s.substr(i, eq - i));
        while (!key16.empty() && isSpace(key16.back()))
            key16.pop_back();
        std::string key;
        for (char16_t c : key16)
            key.push_back(c < 0x80 ? char(std::toupper(int(c))) : '?');
        i = eq + 1;
        std::u16string value;
        if (i < s.size() && s[i] == u'{') {
            ++i;
            while (i < s.size()) {
                if (s[i] == u'}') {
                    if (i + 1 < s.size() && s[i + 1] == u'}') {
                        value.push_back(u'}');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value.push_back(s[i++]);
            }
            while (i < s.size() && s[i] != u';')
                ++i;
        } else if (i < s.size() && s[i] == u'"') {
            ++i;
            while (i < s.size() && s[i] != u'"')
                value.push_back(s[i++]);
            if (i < s.size())
                ++i;
            while (i < s.size() && s[i] != u';')
                ++i;
        } else {
            size_t end = i;
            for (;;) {
                end = s.find(u';', end);
                if (end == std::u16string_view::npos) {
                    end = s.size();
                    break;
                }
                if (attributeFollows(s, end + 1) || end + 1 >= s.size())
                    break;
                ++end;
            }
            value.assign(s.substr(i, end - i));
            i = end;
        }
        if (!key.empty())
            out.emplace_back(key, value);
    }
    return out;
}

namespace {

struct Token {
    enum Kind { End, Word, Name, String, Punct } kind = End;
    std::u16string text;
};

class Lexer
{
public:
    explicit Lexer(std::u16string_view s) : s_(s) {}

    bool next(Token *t, std::string *error)
    {
        while (pos_ < s_.size() && isSpace(s_[pos_]))
            ++pos_;
        t->text.clear();
        if (pos_ >= s_.size()) {
            t->kind = Token::End;
            return true;
        }
        const char16_t c = s_[pos_];
        if (c == u'[' || c == u'"' || c == u'`' || c == u'\'') {
            const char16_t close = c == u'[' ? u']' : c;
            ++pos_;
            for (;;) {
                if (pos_ >= s_.size()) {
                    *error = c == u'\'' ? "Unterminated text literal." : "Unterminated quoted name.";
                    return false;
                }
                if (s_[pos_] == close) {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == close) {
                        t->text.push_back(close);
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                t->text.push_back(s_[pos_++]);
            }
            t->kind = c == u'\'' ? Token::String : Token::Name;
            return true;
        }
        if (c == u'(' || c == u')' || c == u',' || c == u'?' || c == u';') {
            t->kind = Token::Punct;
            t->text.push_back(c);
            ++pos_;
            return true;
        }
        t->kind = Token::Word;
        while (pos_ < s_.size()) {
            const char16_t d = s_[pos_];
            if (isSpace(d) || d == u'(' || d == u')' || d == u',' || d == u'?' || d == u';' || d == u'[' || d == u'"'
                || d == u'`' || d == u'\'')
                break;
            t->text.push_back(d);
            ++pos_;
        }
        return true;
    }

private:
    std::u16string_view s_;
    size_t pos_ = 0;
};

class Parser
{
public:
    Parser(std::u16string_view sql, std::string *error) : lex_(sql), error_(error) {}

    bool advance() { return lex_.next(&tok_, error_); }

    bool isKeyword(const char16_t *kw) const { return tok_.kind == Token::Word && sameName(tok_.text, kw); }
    bool isPunct(char16_t p) const { return tok_.kind == Token::Punct && tok_.text.size() == 1 && tok_.text[0] == p; }

    bool fail(const std::string &msg)
    {
        if (error_->empty())
            *error_ = msg;
        return false;
    }

    bool expectKeyword(const char16_t *kw, const std::string &msg)
    {
        if (!isKeyword(kw))
            return fail(msg);
        return advance();
    }
    bool expectPunct(char16_t p, const std::string &msg)
    {
        if (!isPunct(p))
            return fail(msg);
        return advance();
    }

    bool name(std::u16string *out, const std::string &what)
    {
        if ((tok_.kind != Token::Word && tok_.kind != Token::Name) || tok_.text.empty())
            return fail("Expected " + what + ".");
        *out = tok_.text;
        return advance();
    }

    bool finish()
    {
        while (isPunct(u';'))
            if (!advance())
                return false;
        if (tok_.kind != Token::End)
            return fail("Unexpected text after the end of the statement.");
        return true;
    }

    bool createTable(SqlStatement *st)
    {
        st->kind = SqlStatement::CreateTable;
        if (!advance() || !expectKeyword(u"TABLE", "Only CREATE TABLE is supported.")
            || !name(&st->table, "a table name") || !expectPunct(u'(', "Expected ( after the table name."))
            return false;
        for (;;) {
            std::u16string col;
            if (!name(&col, "a column name"))
                return false;
            st->columns.push_back(col);
            // The type and its arguments: everything up to the next comma
            // or closing parenthesis at this level. All cells are text.
            int depth = 0;
            while (!(depth == 0 && (isPunct(u',') || isPunct(u')')))) {
                if (tok_.kind == Token::End)
                    return fail("Unterminated column list.");
                if (tok_.kind == Token::String || isPunct(u'?') || isPunct(u';'))
                    return fail("Invalid column definition.");
                if (isPunct(u'('))
                    ++depth;
                else if (isPunct(u')'))
                    --depth;
                if (!advance())
                    return false;
            }
            if (isPunct(u')'))
                break;
            if (!advance())
                return false;
        }
        return advance() && finish();
    }

    bool insert(SqlStatement *st)
    {
        st->kind = SqlStatement::Insert;
        if (!advance() || !expectKeyword(u"INTO", "Expected INTO after INSERT.") || !name(&st->table, "a table name"))
            return false;
        if (isPunct(u'(')) {
            if (!advance())
                return false;
            for (;;) {
                std::u16string col;
                if (!name(&col, "a column name"))
                    return false;
                st->columns.push_back(col);
                if (isPunct(u')'))
                    break;
                if (!expectPunct(u',', "Expected , or ) in the column list."))
                    return false;
            }
            if (!advance())
                return false;
        }
        if (!expectKeyword(u"VALUES", "Expected VALUES.") || !expectPunct(u'(', "Expected ( after VALUES."))
            return false;
        for (;;) {
            SqlValue v;
            if (isPunct(u'?')) {
                v.kind = SqlValue::Parameter;
                ++st->parameterCount;
            } else if (tok_.kind == Token::String) {
                v.kind = SqlValue::Text;
                v.text = tok_.text;
            } else if (isKeyword(u"NULL")) {
                v.kind = SqlValue::Null;
            } else if (tok_.kind == Token::Word && isNumber(tok_.text)) {
                v.kind = SqlValue::Text;
                v.text = tok_.text;
            } else {
                return fail("Values must be ?, text in single quotes, numbers or NULL.");
            }
            st->values.push_back(v);
            if (!advance())
                return false;
            if (isPunct(u')'))
                break;
            if (!expectPunct(u',', "Expected , or ) in the value list."))
                return false;
        }
        return advance() && finish();
    }

    static bool isNumber(const std::u16string &w)
    {
        size_t i = (!w.empty() && (w[0] == u'-' || w[0] == u'+')) ? 1 : 0;
        bool digits = false, dot = false;
        for (; i < w.size(); ++i) {
            if (w[i] >= u'0' && w[i] <= u'9')
                digits = true;
            else if (w[i] == u'.' && !dot)
                dot = true;
            else
                return false;
        }
        return digits;
    }

    Lexer lex_;
    Token tok_;
    std::string *error_;
};

} // namespace

bool parseStatement(std::u16string_view sql, SqlStatement *out, std::string *error)
{
    std::string localError;
    if (!error)
        error = &localError;
    error->clear();
    *out = SqlStatement();
    Parser p(sql, error);
    if (!p.advance())
        return false;
    if (p.isKeyword(u"CREATE"))
        return p.createTable(out);
    if (p.isKeyword(u"INSERT"))
        return p.insert(out);
    if (p.tok_.kind == Token::End)
        return p.fail("The statement is empty.");
    return p.fail("Only CREATE TABLE and INSERT INTO statements are supported.");
}

int countParameters(std::u16string_view sql)
{
    Lexer lex(sql);
    Token t;
    std::string error;
    int n = 0;
    while (lex.next(&t, &error) && t.kind != Token::End)
        if (t.kind == Token::Punct && t.text == u"?")
            ++n;
    return n;
}

} // namespace xls
