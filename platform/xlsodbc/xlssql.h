// The small SQL dialect the workbook driver understands, its connection
// strings and the text conversions around them. No ODBC types here, so the
// parser can be tested on its own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xls {

std::u16string fromUtf8(std::string_view s);
std::string toUtf8(std::u16string_view s);
// Identifiers compare like the spreadsheet's sheet and column names:
// without regard to the case of ASCII letters.
bool sameName(std::u16string_view a, std::u16string_view b);

// "KEY=value;KEY={value};KEY=\"value\"" pairs in order. Keys come back in
// upper case. A ';' only ends a bare value when another "KEY=" or the end
// follows, so paths with semicolons survive.
std::vector<std::pair<std::string, std::u16string>> parseConnectionString(std::u16string_view s);

struct SqlValue {
    enum Kind { Parameter, Text, Null } kind = Null;
    std::u16string text;
};

struct SqlStatement {
    enum Kind { CreateTable, Insert } kind = CreateTable;
    std::u16string table;
    // CREATE TABLE: the column names. INSERT: the column list, empty when
    // the statement has none (all columns in table order).
    std::vector<std::u16string> columns;
    std::vector<SqlValue> values; // INSERT only
    int parameterCount = 0;
};

// Parses "CREATE TABLE name (col type, ...)" and
// "INSERT INTO name [(col, ...)] VALUES (value, ...)". Identifiers may be
// bare, in [brackets], "double quotes" or `back quotes`; values are ?,
// 'text', numbers or NULL. On failure returns false with a message.
bool parseStatement(std::u16string_view sql, SqlStatement *out, std::string *error);

// Counts the ? placeholders outside quotes, for statements that fail to
// parse as well.
int countParameters(std::u16string_view sql);

} // namespace xls
