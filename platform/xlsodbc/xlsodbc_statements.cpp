// Preparing and executing CREATE TABLE and INSERT, bound parameters and
// statement attributes.

#include "xlsodbc_driver.h"

#include <cstdio>

namespace xlsodbc {

namespace {

// Application buffers need not be aligned for their type.
template <typename T>
T load(const void *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Reads a bound parameter as text. nullopt in *out means SQL NULL.
SQLRETURN parameterText(Stmt *s, int number, std::optional<std::u16string> *out)
{
    const size_t index = size_t(number - 1);
    if (index >= s->params.size() || !s->params[index])
        return diag(s, "07002", "Parameter " + std::to_string(number) + " is not bound.");
    const Param &p = *s->params[index];
    const SQLLEN ind = p.indicator ? *p.indicator : SQL_NTS;
    if (ind == SQL_NULL_DATA) {
        out->reset();
        return SQL_SUCCESS;
    }
    if (ind == SQL_DATA_AT_EXEC || ind <= SQL_LEN_DATA_AT_EXEC_OFFSET)
        return unsupported(s, "Data at execution");
    if (ind < 0 && ind != SQL_NTS)
        return diag(s, "HY090", "Invalid length for parameter " + std::to_string(number) + ".");
    if (!p.value)
        return diag(s, "HY009", "Parameter " + std::to_string(number) + " has no value buffer.");

    SQLSMALLINT cType = p.cType;
    if (cType == SQL_C_DEFAULT)
        cType = (p.sqlType == SQL_WCHAR || p.sqlType == SQL_WVARCHAR || p.sqlType == SQL_WLONGVARCHAR) ? SQL_C_WCHAR
                                                                                                       : SQL_C_CHAR;
    auto number16 = [](const std::string &t) { return xls::fromUtf8(t); };
    switch (cType) {
    case SQL_C_WCHAR: {
        const auto *w = static_cast<const SQLWCHAR *>(p.value);
        std::u16string text;
        if (ind == SQL_NTS) {
            // Never read past a buffer whose size we were told.
            const SQLLEN max = p.bufferLength > 0 ? p.bufferLength / SQLLEN(sizeof(SQLWCHAR)) : -1;
            for (SQLLEN i = 0; (max < 0 || i < max) && w[i]; ++i)
                text.push_back(char16_t(w[i]));
        } else {
            text.assign(reinterpret_cast<const char16_t *>(w), size_t(ind) / sizeof(SQLWCHAR));
            // Qt counts the terminator in the length; a cell's text ends there.
            text.resize(std::min(text.size(), text.find(u'\0')));
        }
        *out = std::move(text);
        return SQL_SUCCESS;
    }
    case SQL_C_CHAR: {
        const auto *c = static_cast<const char *>(p.value);
        size_t len;
        if (ind == SQL_NTS)
            len = p.bufferLength > 0 ? strnlen(c, size_t(p.bufferLength)) : std::strlen(c);
        else
            len = strnlen(c, size_t(ind));
        *out = xls::fromUtf8(std::string_view(c, len));
        return SQL_SUCCESS;
    }
    case SQL_C_SLONG:
    case SQL_C_LONG: *out = number16(std::to_string(load<SQLINTEGER>(p.value))); return SQL_SUCCESS;
    case SQL_C_ULONG: *out = number16(std::to_string(load<SQLUINTEGER>(p.value))); return SQL_SUCCESS;
    case SQL_C_SSHORT:
    case SQL_C_SHORT: *out = number16(std::to_string(load<SQLSMALLINT>(p.value))); return SQL_SUCCESS;
    case SQL_C_USHORT: *out = number16(std::to_string(load<SQLUSMALLINT>(p.value))); return SQL_SUCCESS;
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: *out = number16(std::to_string(int(load<signed char>(p.value)))); return SQL_SUCCESS;
    case SQL_C_UTINYINT:
    case SQL_C_BIT: *out = number16(std::to_string(int(load<unsigned char>(p.value)))); return SQL_SUCCESS;
    case SQL_C_SBIGINT: *out = number16(std::to_string(load<SQLBIGINT>(p.value))); return SQL_SUCCESS;
    case SQL_C_UBIGINT: *out = number16(std::to_string(load<SQLUBIGINT>(p.value))); return SQL_SUCCESS;
    case SQL_C_DOUBLE:
    case SQL_C_FLOAT: {
        const double v = cType == SQL_C_DOUBLE ? load<double>(p.value) : double(load<float>(p.value));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v);
        *out = number16(buf);
        return SQL_SUCCESS;
    }
    default: return diag(s, "07006", "Parameter " + std::to_string(number) + " has a C type that cannot become text.");
    }
}

Table *findTable(Dbc *d, const std::u16string &name)
{
    for (Table &t : d->tables)
        if (xls::sameName(t.name, name))
            return &t;
    return nullptr;
}

SQLRETURN executeCreate(Stmt *s)
{
    Dbc *d = s->dbc;
    const xls::SqlStatement &st = s->statement;
    if (findTable(d, st.table))
        return diag(s, "42S01", "Table '" + xls::toUtf8(st.table) + "' already exists.");
    if (st.columns.size() > size_t(xls::kMaxColumns))
        return diag(s, "54011", "Too many columns: a sheet holds at most 256.");
    for (size_t i = 0; i < st.columns.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (xls::sameName(st.columns[i], st.columns[j]))
                return diag(s, "42S21", "Column '" + xls::toUtf8(st.columns[i]) + "' appears twice.");
    for (const std::u16string &c : st.columns)
        if (c.size() > xls::kMaxCellChars)
            return diag(s, "42000", "A column name is too long.");
    const std::u16string sheetName = xls::sanitizeSheetName(st.table);
    for (const Table &t : d->tables)
        if (xls::sameName(d->book->sheetName(t.sheet), sheetName))
            return diag(s, "42S01", "A sheet named '" + xls::toUtf8(sheetName) + "' already exists.");

    Table t;
    t.name = st.table;
    t.columns = st.columns;
    t.sheet = d->book->addSheet(st.table, int(st.columns.size()));
    if (d->header) {
        std::vector<const std::u16string *> row;
        for (const std::u16string &c : t.columns)
            row.push_back(&c);
        d->book->appendRow(t.sheet, row);
    }
    d->tables.push_back(std::move(t));
    s->rowCount = 0;
    return SQL_SUCCESS;
}

SQLRETURN executeInsert(Stmt *s)
{
    Dbc *d = s->dbc;
    const xls::SqlStatement &st = s->statement;
    Table *t = findTable(d, st.table);
    if (!t)
        return diag(s, "42S02", "Table '" + xls::toUtf8(st.table) + "' does not exist.");

    std::vector<int> target; // table column for each value
    if (st.columns.empty()) {
        for (size_t i = 0; i < t->columns.size(); ++i)
            target.push_back(int(i));
    } else {
        for (const std::u16string &c : st.columns) {
            const auto it = std::find_if(t->columns.begin(), t->columns.end(),
                                         [&](const std::u16string &tc) { return xls::sameName(tc, c); });
            if (it == t->columns.end())
                return diag(s, "42S22", "Column '" + xls::toUtf8(c) + "' does not exist.");
            const int col = int(it - t->columns.begin());
            if (std::find(target.begin(), target.end(), col) != target.end())
                return diag(s, "42000", "Column '" + xls::toUtf8(c) + "' is named twice.");
            target.push_back(col);
        }
    }
    if (target.size() != st.values.size())
        return diag(s, "21S01", "The number of values does not match the number of columns.");

    std::vector<std::optional<std::u16string>> cells(t->columns.size());
    int parameter = 0;
    for (size_t i = 0; i < st.values.size(); ++i) {
        const xls::SqlValue &v = st.values[i];
        std::optional<std::u16string> text;
        if (v.kind == xls::SqlValue::Parameter) {
            const SQLRETURN rc = parameterText(s, ++parameter, &text);
            if (rc != SQL_SUCCESS)
                return rc;
        } else if (v.kind == xls::SqlValue::Text) {
            text = v.text;
        }
        if (text && text->size() > xls::kMaxCellChars)
            return diag(s, "22001", "A value is longer than the 32767 characters a cell holds.");
        cells[size_t(target[i])] = std::move(text);
    }

    if (d->book->rowCount(t->sheet) >= xls::kMaxRows) {
        // A workbook missing rows must not look like a saved one.
        d->broken = true;
        if (d->file)
            d->file->discard();
        return diag(s, "HY000",
                    "Too many rows: a sheet holds at most " + std::to_string(xls::kMaxRows - (d->header ? 1 : 0))
                        + " rows" + (d->header ? " under its header" : "") + ". The workbook will not be written.");
    }
    std::vector<const std::u16string *> row;
    for (const auto &c : cells)
        row.push_back(c ? &*c : nullptr);
    if (!d->book->appendRow(t->sheet, row))
        return diag(s, "HY000", "The row could not be added to the sheet.");
    s->rowCount = 1;
    return SQL_SUCCESS;
}

} // namespace

SQLRETURN prepare(Stmt *s, const std::u16string &sql)
{
    s->prepared = false;
    s->rowCount = -1;
    std::string error;
    if (!xls::parseStatement(sql, &s->statement, &error))
        return diag(s, "42000", "Syntax error or unsupported statement: " + error);
    s->parameterCount = s->statement.parameterCount;
    s->prepared = true;
    return SQL_SUCCESS;
}

SQLRETURN execute(Stmt *s)
{
    if (!s->prepared)
        return diag(s, "HY010", "Function sequence error: no statement prepared.");
    Dbc *d = s->dbc;
    if (!d || !d->connected)
        return diag(s, "08003", "Connection not open.");
    s->rowCount = -1;
    if (d->broken)
        return diag(s, "HY000", "An earlier row did not fit into its sheet; the workbook will not be written.");
    if (d->readOnly)
        return diag(s, "HY000", "The workbook was opened read-only.");
    if (s->statement.kind == xls::SqlStatement::CreateTable)
        return executeCreate(s);
    return executeInsert(s);
}

SQLRETURN noCursor(Stmt *s)
{
    return diag(s, "24000", "Invalid cursor state: statements of this driver return no rows.");
}

SQLRETURN setStmtAttr(Stmt *s, SQLINTEGER attr, SQLPOINTER value)
{
    const auto v = SQLULEN(reinterpret_cast<uintptr_t>(value));
    switch (attr) {
    case SQL_ATTR_CURSOR_TYPE:
        // No statement returns rows, so every cursor type behaves alike.
        if (v != SQL_CURSOR_FORWARD_ONLY && v != SQL_CURSOR_STATIC && v != SQL_CURSOR_KEYSET_DRIVEN
            && v != SQL_CURSOR_DYNAMIC)
            return diag(s, "HY024", "Invalid cursor type.");
        s->cursorType = v;
        return SQL_SUCCESS;
    case SQL_ATTR_CONCURRENCY: s->concurrency = v; return SQL_SUCCESS;
    case SQL_ATTR_QUERY_TIMEOUT: s->queryTimeout = v; return SQL_SUCCESS;
    case SQL_ATTR_MAX_ROWS: s->maxRows = v; return SQL_SUCCESS;
    case SQL_ATTR_MAX_LENGTH: s->maxLength = v; return SQL_SUCCESS;
    case SQL_ATTR_NOSCAN: s->noscan = v; return SQL_SUCCESS;
    case SQL_ATTR_ROWS_FETCHED_PTR: s->rowsFetched = static_cast<SQLULEN *>(value); return SQL_SUCCESS;
    case SQL_ATTR_CURSOR_SCROLLABLE:
        if (v != SQL_NONSCROLLABLE)
            return unsupported(s, "Scrollable cursors");
        return SQL_SUCCESS;
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ATTR_PARAMSET_SIZE:
        if (v != 1)
            return unsupported(s, "Arrays of rows or parameters");
        return SQL_SUCCESS;
    case SQL_ATTR_ROW_BIND_TYPE:
    case SQL_ATTR_PARAM_BIND_TYPE:
        if (v != SQL_BIND_BY_COLUMN)
            return unsupported(s, "Row-wise binding");
        return SQL_SUCCESS;
    case SQL_ATTR_RETRIEVE_DATA:
    case SQL_ATTR_USE_BOOKMARKS:
    case SQL_ATTR_ASYNC_ENABLE:
        if (v != (attr == SQL_ATTR_RETRIEVE_DATA ? SQL_RD_ON : 0))
            return unsupported(s, "This statement attribute value");
        return SQL_SUCCESS;
    default: return diag(s, "HY092", "Statement attribute " + std::to_string(attr) + " is not supported.");
    }
}

SQLRETURN getStmtAttr(Stmt *s, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER *length)
{
    switch (attr) {
    case SQL_ATTR_APP_ROW_DESC: return outputNumber(SQLPOINTER(&s->ard), value, length);
    case SQL_ATTR_APP_PARAM_DESC: return outputNumber(SQLPOINTER(&s->apd), value, length);
    case SQL_ATTR_IMP_ROW_DESC: return outputNumber(SQLPOINTER(&s->ird), value, length);
    case SQL_ATTR_IMP_PARAM_DESC: return outputNumber(SQLPOINTER(&s->ipd), value, length);
    case SQL_ATTR_CURSOR_TYPE: return outputNumber(s->cursorType, value, length);
    case SQL_ATTR_CONCURRENCY: return outputNumber(s->concurrency, value, length);
    case SQL_ATTR_QUERY_TIMEOUT: return outputNumber(s->queryTimeout, value, length);
    case SQL_ATTR_MAX_ROWS: return outputNumber(s->maxRows, value, length);
    case SQL_ATTR_MAX_LENGTH: return outputNumber(s->maxLength, value, length);
    case SQL_ATTR_NOSCAN: return outputNumber(s->noscan, value, length);
    case SQL_ATTR_CURSOR_SCROLLABLE: return outputNumber(SQLULEN(SQL_NONSCROLLABLE), value, length);
    case SQL_ATTR_CURSOR_SENSITIVITY: return outputNumber(SQLULEN(SQL_UNSPECIFIED), value, length);
    case SQL_ATTR_ROW_ARRAY_SIZE:
    case SQL_ATTR_PARAMSET_SIZE: return outputNumber(SQLULEN(1), value, length);
    case SQL_ATTR_ROW_BIND_TYPE:
    case SQL_ATTR_PARAM_BIND_TYPE: return outputNumber(SQLULEN(SQL_BIND_BY_COLUMN), value, length);
    case SQL_ATTR_RETRIEVE_DATA: return outputNumber(SQLULEN(SQL_RD_ON), value, length);
    case SQL_ATTR_USE_BOOKMARKS:
    case SQL_ATTR_ASYNC_ENABLE: return outputNumber(SQLULEN(0), value, length);
    case SQL_ATTR_ROWS_FETCHED_PTR: return outputNumber(static_cast<SQLPOINTER>(s->rowsFetched), value, length);
    case SQL_ATTR_ROW_NUMBER: return outputNumber(SQLULEN(0), value, length);
    default: return diag(s, "HY092", "Statement attribute " + std::to_string(attr) + " is not supported.");
    }
}

} // namespace xlsodbc
