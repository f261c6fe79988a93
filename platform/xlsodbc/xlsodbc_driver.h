// ODBC driver that writes Excel 97-2003 workbooks. It understands a
// connection string naming the file (DBQ / CREATE_DB, READONLY,
// FIRSTROWHASNAMES), CREATE TABLE (one sheet per table, the column names as
// header row) and INSERT INTO with literal or bound text values. The file
// is written when the connection closes, through a temporary file, so it
// either holds the complete workbook or does not exist. Anything else is
// answered with an error and a diagnostic record.
//
// Internals of the workbook ODBC driver, shared by its parts:
//   xlsodbc_handles.cpp     handles, diagnostics, string arguments
//   xlsodbc_connection.cpp  connecting, disconnecting, connection attributes
//   xlsodbc_statements.cpp  preparing and executing, statement attributes
//   xlsodbc_info.cpp        driver information and catalogue calls
//   xlsodbc_entry.cpp       the SQL* entry points (C linkage)
// The entry points hold the driver mutex and catch every exception; the
// functions declared here may throw (std::bad_alloc and the like).
#pragma once

#include "xlsbook.h"
#include "xlssql.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace xlsodbc {

constexpr uint32_t kEnvMagic = 0x584C5345; // "XLSE"
constexpr uint32_t kDbcMagic = 0x584C5344;
constexpr uint32_t kStmtMagic = 0x584C5353;
constexpr uint32_t kDescMagic = 0x584C5358;
constexpr const char *kPrefix = "[Toolbay][XLS driver]";

struct DiagRecord {
    std::string state;
    SQLINTEGER native = 0;
    std::u16string message;
};

struct Handle {
    explicit Handle(uint32_t m) : magic(m) {}
    ~Handle() { magic = 0; }
    uint32_t magic;
    std::vector<DiagRecord> diags;
};

struct Env : Handle {
    Env() : Handle(kEnvMagic) {}
    SQLINTEGER version = SQL_OV_ODBC3;
};

struct Stmt;

struct Table {
    std::u16string name;
    std::vector<std::u16string> columns;
    int sheet = 0;
};

struct Dbc : Handle {
    Dbc() : Handle(kDbcMagic) {}
    Env *env = nullptr;
    bool connected = false;
    std::string path;
    bool readOnly = false;
    bool header = true;
    // Set when a row did not fit: the workbook is then never written.
    bool broken = false;
    std::unique_ptr<xls::PendingFile> file;
    std::unique_ptr<xls::Workbook> book;
    std::vector<Table> tables;
    std::vector<Stmt *> stmts;
    SQLUINTEGER autocommit = SQL_AUTOCOMMIT_ON;
    SQLUINTEGER loginTimeout = 0;
    SQLUINTEGER connectionTimeout = 0;
};

struct Desc : Handle {
    Desc() : Handle(kDescMagic) {}
};

struct Param {
    SQLSMALLINT ioType = SQL_PARAM_INPUT;
    SQLSMALLINT cType = SQL_C_DEFAULT;
    SQLSMALLINT sqlType = SQL_VARCHAR;
    SQLPOINTER value = nullptr;
    SQLLEN bufferLength = 0;
    SQLLEN *indicator = nullptr;
};

struct Stmt : Handle {
    Stmt() : Handle(kStmtMagic) {}
    Dbc *dbc = nullptr;
    bool prepared = false;
    xls::SqlStatement statement;
    int parameterCount = 0;
    std::vector<std::optional<Param>> params; // index = parameter number - 1
    SQLLEN rowCount = -1;
    Desc ard, apd, ird, ipd;
    SQLULEN cursorType = SQL_CURSOR_FORWARD_ONLY;
    SQLULEN concurrency = SQL_CONCUR_READ_ONLY;
    SQLULEN queryTimeout = 0;
    SQLULEN maxRows = 0;
    SQLULEN maxLength = 0;
    SQLULEN noscan = SQL_NOSCAN_OFF;
    SQLULEN *rowsFetched = nullptr;
};

// Held by every entry point: the driver's handles are shared state.
extern std::recursive_mutex g_mutex;

Env *asEnv(SQLHANDLE h);
Dbc *asDbc(SQLHANDLE h);
Stmt *asStmt(SQLHANDLE h);
Handle *asHandle(SQLSMALLINT type, SQLHANDLE h);

// Adds a diagnostic record (the message gets the driver's prefix) and
// returns rc.
SQLRETURN diag(Handle *h, const char *state, const std::string &message, SQLRETURN rc = SQL_ERROR);
SQLRETURN unsupported(Handle *h, const std::string &what);

// Input strings: ANSI ones are taken as UTF-8. False for a bad length.
bool inputString(const SQLCHAR *s, SQLINTEGER len, std::u16string *out);
bool inputString(const SQLWCHAR *s, SQLINTEGER len, std::u16string *out);

// Copies a string result. capacity counts bytes (ANSI) or characters
// (wide); lengthScale turns the character count of a wide result into the
// unit the caller reports (1 for characters, 2 for bytes).
template <typename LenT>
SQLRETURN outputString(Handle *h, const std::u16string &value, bool wide, SQLPOINTER buffer, SQLLEN capacity,
                       LenT *length, int lengthScale = 1)
{
    if (capacity < 0)
        return diag(h, "HY090", "Invalid string or buffer length.");
    bool truncated = false;
    if (wide) {
        if (length)
            *length = LenT(value.size() * lengthScale);
        if (buffer && capacity > 0) {
            size_t n = std::min(value.size(), size_t(capacity - 1));
            if (n > 0 && n < value.size() && value[n - 1] >= 0xD800 && value[n - 1] <= 0xDBFF)
                --n; // keep surrogate pairs whole
            auto *out = static_cast<SQLWCHAR *>(buffer);
            for (size_t i = 0; i < n; ++i)
                out[i] = SQLWCHAR(value[i]);
            out[n] = 0;
            truncated = n < value.size();
        } else if (buffer) {
            truncated = !value.empty();
        }
    } else {
        const std::string utf8 = xls::toUtf8(value);
        if (length)
            *length = LenT(utf8.size());
        if (buffer && capacity > 0) {
            size_t n = std::min(utf8.size(), size_t(capacity - 1));
            while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80)
                --n; // keep UTF-8 sequences whole
            std::memcpy(buffer, utf8.data(), n);
            static_cast<char *>(buffer)[n] = 0;
            truncated = n < utf8.size();
        } else if (buffer) {
            truncated = !utf8.empty();
        }
    }
    if (truncated)
        return diag(h, "01004", "String data, right truncated.", SQL_SUCCESS_WITH_INFO);
    return SQL_SUCCESS;
}

template <typename T>
SQLRETURN outputNumber(T value, SQLPOINTER buffer, SQLINTEGER *lengthInt, SQLSMALLINT *lengthSmall = nullptr)
{
    if (buffer)
        std::memcpy(buffer, &value, sizeof value);
    if (lengthInt)
        *lengthInt = SQLINTEGER(sizeof value);
    if (lengthSmall)
        *lengthSmall = SQLSMALLINT(sizeof value);
    return SQL_SUCCESS;
}

// Handles (xlsodbc_handles.cpp)
SQLRETURN allocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE *output);
SQLRETURN freeHandle(SQLSMALLINT type, SQLHANDLE handle);
void dropStatement(Stmt *s);
void closeConnection(Dbc *d);
SQLRETURN getDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT rec, SQLPOINTER state, SQLINTEGER *native,
                     SQLPOINTER message, SQLSMALLINT bufferLength, SQLSMALLINT *length, bool wide);
SQLRETURN getDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT rec, SQLSMALLINT field, SQLPOINTER info,
                       SQLSMALLINT bufferLength, SQLSMALLINT *length, bool wide);

// Connection (xlsodbc_connection.cpp)
SQLRETURN driverConnect(Dbc *d, const std::u16string &in, std::u16string *out);
SQLRETURN connectDsn(Dbc *d, const std::u16string &dsn);
SQLRETURN disconnect(Dbc *d);
SQLRETURN setConnectAttr(Dbc *d, SQLINTEGER attr, SQLPOINTER value);
SQLRETURN getConnectAttr(Dbc *d, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER *length,
                         bool wide);

// Statements (xlsodbc_statements.cpp)
SQLRETURN prepare(Stmt *s, const std::u16string &sql);
SQLRETURN execute(Stmt *s);
SQLRETURN noCursor(Stmt *s);
SQLRETURN setStmtAttr(Stmt *s, SQLINTEGER attr, SQLPOINTER value);
SQLRETURN getStmtAttr(Stmt *s, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER *length);

// Information and catalogue (xlsodbc_info.cpp)
SQLRETURN getInfo(Dbc *d, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength, SQLSMALLINT *length,
                  bool wide);
SQLRETURN getFunctions(Dbc *d, SQLUSMALLINT id, SQLUSMALLINT *supported);
// Catalogue calls: a new workbook has nothing to describe.
SQLRETURN catalogFunction(Stmt *s, const char *what);

} // namespace xlsodbc
