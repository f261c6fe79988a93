// Handles, their diagnostic records and string arguments.

#include "xlsodbc_driver.h"

namespace xlsodbc {

std::recursive_mutex g_mutex;

Env *asEnv(SQLHANDLE h)
{
    auto *e = static_cast<Env *>(h);
    return e && e->magic == kEnvMagic ? e : nullptr;
}
Dbc *asDbc(SQLHANDLE h)
{
    auto *d = static_cast<Dbc *>(h);
    return d && d->magic == kDbcMagic ? d : nullptr;
}
Stmt *asStmt(SQLHANDLE h)
{
    auto *s = static_cast<Stmt *>(h);
    return s && s->magic == kStmtMagic ? s : nullptr;
}
Handle *asHandle(SQLSMALLINT type, SQLHANDLE h)
{
    switch (type) {
    case SQL_HANDLE_ENV: return asEnv(h);
    case SQL_HANDLE_DBC: return asDbc(h);
    case SQL_HANDLE_STMT: return asStmt(h);
    case SQL_HANDLE_DESC: {
        auto *d = static_cast<Desc *>(h);
        return d && d->magic == kDescMagic ? d : nullptr;
    }
    default: return nullptr;
    }
}

SQLRETURN diag(Handle *h, const char *state, const std::string &message, SQLRETURN rc)
{
    DiagRecord r;
    r.state = state;
    r.message = xls::fromUtf8(std::string(kPrefix) + message);
    h->diags.push_back(std::move(r));
    return rc;
}

SQLRETURN unsupported(Handle *h, const std::string &what)
{
    return diag(h, "HYC00", what + " is not supported by this driver.");
}

// Input strings: ANSI ones are taken as UTF-8.
bool inputString(const SQLCHAR *s, SQLINTEGER len, std::u16string *out)
{
    if (!s) {
        out->clear();
        return len == 0 || len == SQL_NTS;
    }
    if (len == SQL_NTS) {
        *out = xls::fromUtf8(reinterpret_cast<const char *>(s));
        return true;
    }
    if (len < 0)
        return false;
    std::string_view v(reinterpret_cast<const char *>(s), size_t(len));
    // Some callers count the terminator in the length; text ends there.
    v = v.substr(0, v.find('\0'));
    *out = xls::fromUtf8(v);
    return true;
}

bool inputString(const SQLWCHAR *s, SQLINTEGER len, std::u16string *out)
{
    out->clear();
    if (!s)
        return len == 0 || len == SQL_NTS;
    if (len == SQL_NTS) {
        for (const SQLWCHAR *p = s; *p; ++p)
            out->push_back(char16_t(*p));
        return true;
    }
    if (len < 0)
        return false;
    out->assign(reinterpret_cast<const char16_t *>(s), size_t(len));
    // Some callers count the terminator in the length; text ends there.
    out->resize(std::min(out->size(), out->find(u'\0')));
    return true;
}

SQLRETURN allocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE *output)
{
    if (!output)
        return SQL_ERROR;
    *output = SQL_NULL_HANDLE;
    switch (type) {
    case SQL_HANDLE_ENV: {
        *output = new Env;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
        Env *env = asEnv(input);
        if (!env)
            return SQL_INVALID_HANDLE;
        env->diags.clear();
        auto *dbc = new Dbc;
        dbc->env = env;
        *output = dbc;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
        Dbc *dbc = asDbc(input);
        if (!dbc)
            return SQL_INVALID_HANDLE;
        dbc->diags.clear();
        if (!dbc->connected)
            return diag(dbc, "08003", "Connection not open.");
        auto *stmt = new Stmt;
        stmt->dbc = dbc;
        dbc->stmts.push_back(stmt);
        *output = stmt;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DESC: {
        Handle *h = asDbc(input);
        if (!h)
            return SQL_INVALID_HANDLE;
        h->diags.clear();
        return unsupported(h, "Explicit descriptors");
    }
    default: return SQL_ERROR;
    }
}

void dropStatement(Stmt *s)
{
    if (s->dbc) {
        auto &v = s->dbc->stmts;
        v.erase(std::remove(v.begin(), v.end(), s), v.end());
    }
    delete s;
}

void closeConnection(Dbc *d)
{
    for (Stmt *s : std::vector<Stmt *>(d->stmts)) {
        s->dbc = nullptr;
        delete s;
    }
    d->stmts.clear();
    d->file.reset(); // discards the temporary file unless committed
    d->book.reset();
    d->tables.clear();
    d->connected = false;
    d->broken = false;
}

SQLRETURN freeHandle(SQLSMALLINT type, SQLHANDLE handle)
{
    switch (type) {
    case SQL_HANDLE_ENV: {
        Env *e = asEnv(handle);
        if (!e)
            return SQL_INVALID_HANDLE;
        delete e;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
        Dbc *d = asDbc(handle);
        if (!d)
            return SQL_INVALID_HANDLE;
        if (d->connected) {
            d->diags.clear();
            return diag(d, "HY010", "Function sequence error: disconnect first.");
        }
        closeConnection(d);
        delete d;
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
        Stmt *s = asStmt(handle);
        if (!s)
            return SQL_INVALID_HANDLE;
        dropStatement(s);
        return SQL_SUCCESS;
    }
    case SQL_HANDLE_DESC: {
        Handle *h = asHandle(SQL_HANDLE_DESC, handle);
        if (!h)
            return SQL_INVALID_HANDLE;
        h->diags.clear();
        return diag(h, "HY017", "Invalid use of an automatically allocated descriptor handle.");
    }
    default: return SQL_ERROR;
    }
}

SQLRETURN getDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT rec, SQLPOINTER state, SQLINTEGER *native,
                     SQLPOINTER message, SQLSMALLINT bufferLength, SQLSMALLINT *length, bool wide)
{
    Handle *h = asHandle(type, handle);
    if (!h)
        return SQL_INVALID_HANDLE;
    if (rec < 1 || bufferLength < 0)
        return SQL_ERROR;
    if (size_t(rec) > h->diags.size())
        return SQL_NO_DATA;
    const DiagRecord &r = h->diags[size_t(rec - 1)];
    if (state) {
        for (size_t i = 0; i < 5; ++i) {
            const char c = i < r.state.size() ? r.state[i] : '0';
            if (wide)
                static_cast<SQLWCHAR *>(state)[i] = SQLWCHAR(c);
            else
                static_cast<SQLCHAR *>(state)[i] = SQLCHAR(c);
        }
        if (wide)
            static_cast<SQLWCHAR *>(state)[5] = 0;
        else
            static_cast<SQLCHAR *>(state)[5] = 0;
    }
    if (native)
        *native = r.native;
    // Truncating a diagnostic must not add a record to the list it reads.
    const std::vector<DiagRecord> saved = h->diags;
    SQLRETURN rc = outputString(h, r.message, wide, message, bufferLength, length);
    h->diags = saved;
    return rc;
}

SQLRETURN getDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT rec, SQLSMALLINT field, SQLPOINTER info,
                       SQLSMALLINT bufferLength, SQLSMALLINT *length, bool wide)
{
    Handle *h = asHandle(type, handle);
    if (!h)
        return SQL_INVALID_HANDLE;
    const std::vector<DiagRecord> saved = h->diags;
    auto text = [&](const std::u16string &v) {
        SQLRETURN rc = outputString(h, v, wide, info, wide ? bufferLength / SQLLEN(sizeof(SQLWCHAR)) : bufferLength,
                                    length, wide ? int(sizeof(SQLWCHAR)) : 1);
        h->diags = saved;
        return rc;
    };
    switch (field) {
    case SQL_DIAG_NUMBER: return outputNumber(SQLINTEGER(h->diags.size()), info, nullptr, length);
    case SQL_DIAG_RETURNCODE:
        return outputNumber(SQLRETURN(h->diags.empty() ? SQL_SUCCESS : SQL_ERROR), info, nullptr, length);
    case SQL_DIAG_ROW_COUNT: {
        Stmt *s = asStmt(handle);
        if (type != SQL_HANDLE_STMT || !s)
            return SQL_ERROR;
        return outputNumber(SQLLEN(s->rowCount), info, nullptr, length);
    }
    case SQL_DIAG_CURSOR_ROW_COUNT: return outputNumber(SQLLEN(0), info, nullptr, length);
    case SQL_DIAG_DYNAMIC_FUNCTION: return text(u"");
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
        return outputNumber(SQLINTEGER(SQL_DIAG_UNKNOWN_STATEMENT), info, nullptr, length);
    default: break;
    }
    if (rec < 1)
        return SQL_ERROR;
    if (size_t(rec) > h->diags.size())
        return SQL_NO_DATA;
    const DiagRecord &r = saved[size_t(rec - 1)];
    switch (field) {
    case SQL_DIAG_SQLSTATE: return text(xls::fromUtf8(r.state));
    case SQL_DIAG_NATIVE: return outputNumber(r.native, info, nullptr, length);
    case SQL_DIAG_MESSAGE_TEXT: return text(r.message);
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN:
        return text(r.state.rfind("IM", 0) == 0 || r.state.rfind("HY", 0) == 0 ? u"ODBC 3.0" : u"ISO 9075");
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME: return text(u"");
    case SQL_DIAG_ROW_NUMBER: return outputNumber(SQLLEN(SQL_ROW_NUMBER_UNKNOWN), info, nullptr, length);
    case SQL_DIAG_COLUMN_NUMBER: return outputNumber(SQLINTEGER(SQL_COLUMN_NUMBER_UNKNOWN), info, nullptr, length);
    default: return SQL_ERROR;
    }
}

} // namespace xlsodbc
