// ODBC driver that writes Excel 97-2003 workbooks. It understands a
// connection string naming the file (DBQ / CREATE_DB, READONLY,
// FIRSTROWHASNAMES), CREATE TABLE (one sheet per table, the column names as
// header row) and INSERT INTO with literal or bound text values. The file
// is written when the connection closes, through a temporary file, so it
// either holds the complete workbook or does not exist.
//
// Entry points are those the unixODBC driver manager and Qt's QODBC plugin
// call, in ANSI (UTF-8) and wide (UTF-16) forms. Anything else is answered
// with an error and a diagnostic record.

#include "xlsbook.h"
#include "xlssql.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

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

SQLRETURN diag(Handle *h, const char *state, const std::string &message, SQLRETURN rc = SQL_ERROR)
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

// ---------------------------------------------------------------------------
// Handles

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

// ---------------------------------------------------------------------------
// Connection

std::u16string trimmed(const std::u16string &v)
{
    const size_t b = v.find_first_not_of(u" \t");
    if (b == std::u16string::npos)
        return {};
    return v.substr(b, v.find_last_not_of(u" \t") - b + 1);
}

bool truthy(std::u16string v)
{
    v = trimmed(v);
    return xls::sameName(v, u"1") || xls::sameName(v, u"TRUE") || xls::sameName(v, u"YES") || xls::sameName(v, u"ON");
}
bool falsy(std::u16string v)
{
    v = trimmed(v);
    return xls::sameName(v, u"0") || xls::sameName(v, u"FALSE") || xls::sameName(v, u"NO") || xls::sameName(v, u"OFF");
}

// Attributes of a data source in odbc.ini, under the connection string's
// own: DBQ, CREATE_DB, DEFAULTDIR, READONLY, FIRSTROWHASNAMES.
std::vector<std::pair<std::string, std::u16string>> dsnAttributes(const std::u16string &dsn)
{
    std::vector<std::pair<std::string, std::u16string>> out;
    const std::string name = xls::toUtf8(dsn);
    for (const char *key : {"DBQ", "CREATE_DB", "DEFAULTDIR", "READONLY", "FIRSTROWHASNAMES"}) {
        char value[4096] = {};
        const int n = SQLGetPrivateProfileString(name.c_str(), key, "", value, int(sizeof value), "odbc.ini");
        if (n > 0 && value[0])
            out.emplace_back(key, xls::fromUtf8(value));
    }
    return out;
}

std::u16string unquote(std::u16string v)
{
    while (v.size() >= 2 && ((v.front() == u'"' && v.back() == u'"') || (v.front() == u'\'' && v.back() == u'\'')))
        v = v.substr(1, v.size() - 2);
    return v;
}

SQLRETURN driverConnect(Dbc *d, const std::u16string &in, std::u16string *out)
{
    if (d->connected)
        return diag(d, "08002", "Connection name in use.");
    std::u16string dbq, createDb, defaultDir;
    bool readOnly = false, header = true;
    auto attributes = xls::parseConnectionString(in);
    // Values from a named data source come first, so the string's own win.
    for (const auto &[key, raw] : std::vector(attributes)) {
        if (key == "DSN" && !unquote(raw).empty()) {
            const auto fromDsn = dsnAttributes(unquote(raw));
            attributes.insert(attributes.begin(), fromDsn.begin(), fromDsn.end());
        }
    }
    for (const auto &[key, raw] : attributes) {
        const std::u16string value = unquote(raw);
        if (key == "DBQ") {
            dbq = value;
        } else if (key == "CREATE_DB") {
            createDb = value;
        } else if (key == "DEFAULTDIR") {
            defaultDir = value;
        } else if (key == "READONLY") {
            if (truthy(value))
                readOnly = true;
            else if (falsy(value))
                readOnly = false;
            else
                return diag(d, "HY024", "READONLY must be TRUE or FALSE.");
        } else if (key == "FIRSTROWHASNAMES") {
            if (truthy(value))
                header = true;
            else if (falsy(value))
                header = false;
            else
                return diag(d, "HY024", "FIRSTROWHASNAMES must be 1 or 0.");
        }
    }
    std::u16string target = !dbq.empty() ? dbq : createDb;
    if (target.empty())
        return diag(d, "08001", "No workbook given: the connection string needs DBQ or CREATE_DB.");
    if (target.front() != u'/' && !defaultDir.empty())
        target = defaultDir + (defaultDir.back() == u'/' ? u"" : u"/") + target;
    const std::string path = xls::toUtf8(target);
    if (path.find('\0') != std::string::npos)
        return diag(d, "HY024", "The workbook path is invalid.");

    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return diag(d, "08001", "The workbook path names a folder: " + path);
    if (createDb.empty()) {
        // Reading workbooks is not this driver's business; it only writes
        // new ones.
        if (exists)
            return diag(d, "08001", "Existing workbooks cannot be opened; use CREATE_DB to write a new one: " + path);
        return diag(d, "08001", "The workbook does not exist: " + path);
    }

    auto file = std::make_unique<xls::PendingFile>();
    if (!readOnly) {
        std::string reason;
        if (!file->open(path, &reason))
            return diag(d, "08001", "Cannot create the workbook " + path + ": " + reason);
    }
    d->path = path;
    d->readOnly = readOnly;
    d->header = header;
    d->broken = false;
    d->file = std::move(file);
    d->book = std::make_unique<xls::Workbook>();
    d->tables.clear();
    d->connected = true;
    if (out)
        *out = in;
    return SQL_SUCCESS;
}

SQLRETURN connectDsn(Dbc *d, const std::u16string &dsn)
{
    if (dsn.empty())
        return diag(d, "IM002", "Data source name not given.");
    return driverConnect(d, u"DSN={" + dsn + u"}", nullptr);
}

SQLRETURN disconnect(Dbc *d)
{
    if (!d->connected)
        return diag(d, "08003", "Connection not open.");
    SQLRETURN rc = SQL_SUCCESS;
    if (!d->readOnly && !d->broken && !d->tables.empty() && d->file && d->file->isOpen()) {
        std::string reason;
        if (!d->file->commit(d->book->fileImage(), &reason))
            rc = diag(d, "HY000", "Writing the workbook " + d->path + " failed: " + reason);
    }
    closeConnection(d);
    return rc;
}

// ---------------------------------------------------------------------------
// Information

enum class InfoKind { String, U16, U32 };
struct InfoValue {
    InfoKind kind;
    std::u16string text;
    SQLUINTEGER number = 0;
};

constexpr SQLUINTEGER kTextConversions = SQL_CVT_CHAR | SQL_CVT_VARCHAR | SQL_CVT_LONGVARCHAR | SQL_CVT_WCHAR
    | SQL_CVT_WVARCHAR | SQL_CVT_WLONGVARCHAR;

std::optional<InfoValue> infoValue(Dbc *d, SQLUSMALLINT type)
{
    auto str = [](std::u16string s) { return InfoValue{InfoKind::String, std::move(s)}; };
    auto u16 = [](SQLUINTEGER v) { return InfoValue{InfoKind::U16, {}, v}; };
    auto u32 = [](SQLUINTEGER v) { return InfoValue{InfoKind::U32, {}, v}; };
    switch (type) {
    case SQL_DRIVER_ODBC_VER: return str(u"03.00");
    case SQL_DRIVER_NAME: return str(u"libtoolbayxls.so");
    case SQL_DRIVER_VER: return str(u"01.00.0000");
    case SQL_DBMS_NAME: return str(u"EXCEL");
    case SQL_DBMS_VER: return str(u"08.00.0000");
    case SQL_DATA_SOURCE_NAME:
    case SQL_SERVER_NAME:
    case SQL_USER_NAME:
    case SQL_CATALOG_NAME_SEPARATOR:
    case SQL_CATALOG_TERM:
    case SQL_SCHEMA_TERM:
    case SQL_PROCEDURE_TERM:
    case SQL_SEARCH_PATTERN_ESCAPE:
    case SQL_SPECIAL_CHARACTERS:
    case SQL_KEYWORDS:
    case SQL_COLLATION_SEQ: return str(u"");
    case SQL_DATABASE_NAME: return str(xls::fromUtf8(d->path));
    case SQL_TABLE_TERM: return str(u"table");
    case SQL_IDENTIFIER_QUOTE_CHAR: return str(u"\"");
    case SQL_XOPEN_CLI_YEAR: return str(u"1995");
    case SQL_DATA_SOURCE_READ_ONLY: return str(d->readOnly ? u"Y" : u"N");
    case SQL_ACCESSIBLE_TABLES: return str(u"Y");
    case SQL_MULT_RESULT_SETS:
    case SQL_MULTIPLE_ACTIVE_TXN:
    case SQL_ACCESSIBLE_PROCEDURES:
    case SQL_NEED_LONG_DATA_LEN:
    case SQL_ORDER_BY_COLUMNS_IN_SELECT:
    case SQL_EXPRESSIONS_IN_ORDERBY:
    case SQL_OUTER_JOINS:
    case SQL_PROCEDURES:
    case SQL_ROW_UPDATES:
    case SQL_COLUMN_ALIAS:
    case SQL_LIKE_ESCAPE_CLAUSE:
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG:
    case SQL_INTEGRITY:
    case SQL_DESCRIBE_PARAMETER:
    case SQL_CATALOG_NAME: return str(u"N");

    case SQL_IDENTIFIER_CASE:
    case SQL_QUOTED_IDENTIFIER_CASE: return u16(SQL_IC_MIXED);
    case SQL_TXN_CAPABLE: return u16(SQL_TC_NONE);
    case SQL_CURSOR_COMMIT_BEHAVIOR:
    case SQL_CURSOR_ROLLBACK_BEHAVIOR: return u16(SQL_CB_PRESERVE);
    case SQL_MAX_COLUMN_NAME_LEN:
    case SQL_MAX_TABLE_NAME_LEN:
    case SQL_MAX_IDENTIFIER_LEN: return u16(64);
    case SQL_MAX_COLUMNS_IN_TABLE: return u16(xls::kMaxColumns);
    case SQL_MAX_DRIVER_CONNECTIONS:
    case SQL_MAX_CONCURRENT_ACTIVITIES:
    case SQL_MAX_SCHEMA_NAME_LEN:
    case SQL_MAX_CATALOG_NAME_LEN:
    case SQL_MAX_CURSOR_NAME_LEN:
    case SQL_MAX_PROCEDURE_NAME_LEN:
    case SQL_MAX_USER_NAME_LEN:
    case SQL_MAX_COLUMNS_IN_GROUP_BY:
    case SQL_MAX_COLUMNS_IN_INDEX:
    case SQL_MAX_COLUMNS_IN_ORDER_BY:
    case SQL_MAX_COLUMNS_IN_SELECT:
    case SQL_MAX_TABLES_IN_SELECT:
    case SQL_ACTIVE_ENVIRONMENTS: return u16(0);
    case SQL_NULL_COLLATION: return u16(SQL_NC_LOW);
    case SQL_CONCAT_NULL_BEHAVIOR: return u16(SQL_CB_NULL);
    case SQL_CORRELATION_NAME: return u16(SQL_CN_NONE);
    case SQL_NON_NULLABLE_COLUMNS: return u16(SQL_NNC_NULL);
    case SQL_FILE_USAGE: return u16(SQL_FILE_CATALOG);
    case SQL_GROUP_BY: return u16(SQL_GB_NOT_SUPPORTED);
    case SQL_ODBC_API_CONFORMANCE: return u16(SQL_OAC_LEVEL1);
    case SQL_ODBC_SQL_CONFORMANCE: return u16(SQL_OSC_MINIMUM);
    case SQL_ODBC_SAG_CLI_CONFORMANCE: return u16(SQL_OSCC_NOT_COMPLIANT);

    case SQL_CONVERT_CHAR:
    case SQL_CONVERT_VARCHAR:
    case SQL_CONVERT_LONGVARCHAR:
    case SQL_CONVERT_WCHAR:
    case SQL_CONVERT_WVARCHAR:
    case SQL_CONVERT_WLONGVARCHAR: return u32(kTextConversions);
    case SQL_CONVERT_BIGINT:
    case SQL_CONVERT_BINARY:
    case SQL_CONVERT_BIT:
    case SQL_CONVERT_DATE:
    case SQL_CONVERT_DECIMAL:
    case SQL_CONVERT_DOUBLE:
    case SQL_CONVERT_FLOAT:
    case SQL_CONVERT_INTEGER:
    case SQL_CONVERT_INTERVAL_DAY_TIME:
    case SQL_CONVERT_INTERVAL_YEAR_MONTH:
    case SQL_CONVERT_LONGVARBINARY:
    case SQL_CONVERT_NUMERIC:
    case SQL_CONVERT_REAL:
    case SQL_CONVERT_SMALLINT:
    case SQL_CONVERT_TIME:
    case SQL_CONVERT_TIMESTAMP:
    case SQL_CONVERT_TINYINT:
    case SQL_CONVERT_VARBINARY:
    case SQL_CONVERT_GUID:
    case SQL_CONVERT_FUNCTIONS:
    case SQL_SCHEMA_USAGE:
    case SQL_CATALOG_USAGE:
    case SQL_GETDATA_EXTENSIONS:
    case SQL_TXN_ISOLATION_OPTION:
    case SQL_DEFAULT_TXN_ISOLATION:
    case SQL_BATCH_SUPPORT:
    case SQL_BATCH_ROW_COUNT:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2:
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
    case SQL_STATIC_CURSOR_ATTRIBUTES2:
    case SQL_DDL_INDEX:
    case SQL_DROP_TABLE:
    case SQL_DROP_VIEW:
    case SQL_DROP_SCHEMA:
    case SQL_DROP_ASSERTION:
    case SQL_DROP_CHARACTER_SET:
    case SQL_DROP_COLLATION:
    case SQL_DROP_DOMAIN:
    case SQL_DROP_TRANSLATION:
    case SQL_CREATE_VIEW:
    case SQL_CREATE_SCHEMA:
    case SQL_CREATE_ASSERTION:
    case SQL_CREATE_CHARACTER_SET:
    case SQL_CREATE_COLLATION:
    case SQL_CREATE_DOMAIN:
    case SQL_CREATE_TRANSLATION:
    case SQL_ALTER_TABLE:
    case SQL_ALTER_DOMAIN:
    case SQL_STRING_FUNCTIONS:
    case SQL_NUMERIC_FUNCTIONS:
    case SQL_TIMEDATE_FUNCTIONS:
    case SQL_SYSTEM_FUNCTIONS:
    case SQL_TIMEDATE_ADD_INTERVALS:
    case SQL_TIMEDATE_DIFF_INTERVALS:
    case SQL_MAX_STATEMENT_LEN:
    case SQL_MAX_ROW_SIZE:
    case SQL_MAX_CHAR_LITERAL_LEN:
    case SQL_MAX_BINARY_LITERAL_LEN:
    case SQL_MAX_INDEX_SIZE:
    case SQL_POS_OPERATIONS:
    case SQL_STATIC_SENSITIVITY:
    case SQL_LOCK_TYPES:
    case SQL_BOOKMARK_PERSISTENCE:
    case SQL_SUBQUERIES:
    case SQL_UNION:
    case SQL_OJ_CAPABILITIES:
    case SQL_AGGREGATE_FUNCTIONS:
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS:
    case SQL_DATETIME_LITERALS:
    case SQL_INFO_SCHEMA_VIEWS:
    case SQL_SQL92_DATETIME_FUNCTIONS:
    case SQL_SQL92_FOREIGN_KEY_DELETE_RULE:
    case SQL_SQL92_FOREIGN_KEY_UPDATE_RULE:
    case SQL_SQL92_GRANT:
    case SQL_SQL92_NUMERIC_VALUE_FUNCTIONS:
    case SQL_SQL92_PREDICATES:
    case SQL_SQL92_RELATIONAL_JOIN_OPERATORS:
    case SQL_SQL92_REVOKE:
    case SQL_SQL92_ROW_VALUE_CONSTRUCTOR:
    case SQL_SQL92_STRING_FUNCTIONS:
    case SQL_SQL92_VALUE_EXPRESSIONS:
    case SQL_STANDARD_CLI_CONFORMANCE:
    case SQL_SCROLL_CONCURRENCY:
    case SQL_FETCH_DIRECTION:
    case SQL_POSITIONED_STATEMENTS:
        return u32(0);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: return u32(SQL_CA1_NEXT);
    case SQL_SCROLL_OPTIONS: return u32(SQL_SO_FORWARD_ONLY);
    case SQL_ODBC_INTERFACE_CONFORMANCE: return u32(SQL_OIC_CORE);
    case SQL_SQL_CONFORMANCE: return u32(SQL_SC_SQL92_ENTRY);
    case SQL_PARAM_ARRAY_ROW_COUNTS: return u32(SQL_PARC_NO_BATCH);
    case SQL_PARAM_ARRAY_SELECTS: return u32(SQL_PAS_NO_SELECT);
    case SQL_CREATE_TABLE: return u32(SQL_CT_CREATE_TABLE);
    case SQL_INSERT_STATEMENT: return u32(SQL_IS_INSERT_LITERALS);
    case SQL_ASYNC_MODE: return u32(SQL_AM_NONE);
    case SQL_CURSOR_SENSITIVITY: return u32(SQL_UNSPECIFIED);
    case SQL_INDEX_KEYWORDS: return u32(SQL_IK_NONE);
    case SQL_DRIVER_HDESC:
    default: return std::nullopt;
    }
}

SQLRETURN getInfo(Dbc *d, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength, SQLSMALLINT *length,
                  bool wide)
{
    const std::optional<InfoValue> v = infoValue(d, type);
    if (!v)
        return diag(d, "HY096", "Information type " + std::to_string(type) + " is not supported.");
    switch (v->kind) {
    case InfoKind::String:
        // Wide buffers are sized in bytes here, and the length is in bytes.
        return outputString(d, v->text, wide, value, wide ? bufferLength / SQLLEN(sizeof(SQLWCHAR)) : bufferLength,
                            length, wide ? int(sizeof(SQLWCHAR)) : 1);
    case InfoKind::U16: return outputNumber(SQLUSMALLINT(v->number), value, nullptr, length);
    case InfoKind::U32: return outputNumber(SQLUINTEGER(v->number), value, nullptr, length);
    }
    return SQL_ERROR;
}

const SQLUSMALLINT kSupportedFunctions[] = {
    SQL_API_SQLALLOCHANDLE, SQL_API_SQLFREEHANDLE, SQL_API_SQLFREESTMT, SQL_API_SQLSETENVATTR,
    SQL_API_SQLGETENVATTR, SQL_API_SQLCONNECT, SQL_API_SQLDRIVERCONNECT, SQL_API_SQLDISCONNECT, SQL_API_SQLGETINFO,
    SQL_API_SQLGETFUNCTIONS, SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR, SQL_API_SQLSETSTMTATTR,
    SQL_API_SQLGETSTMTATTR, SQL_API_SQLPREPARE, SQL_API_SQLEXECUTE, SQL_API_SQLEXECDIRECT,
    SQL_API_SQLBINDPARAMETER, SQL_API_SQLNUMPARAMS, SQL_API_SQLNUMRESULTCOLS, SQL_API_SQLROWCOUNT,
    SQL_API_SQLDESCRIBECOL, SQL_API_SQLCOLATTRIBUTE, SQL_API_SQLFETCH, SQL_API_SQLFETCHSCROLL,
    SQL_API_SQLGETDATA, SQL_API_SQLBINDCOL, SQL_API_SQLCLOSECURSOR, SQL_API_SQLMORERESULTS, SQL_API_SQLCANCEL,
    SQL_API_SQLGETDIAGREC, SQL_API_SQLGETDIAGFIELD, SQL_API_SQLENDTRAN, SQL_API_SQLTABLES, SQL_API_SQLCOLUMNS,
    SQL_API_SQLGETTYPEINFO, SQL_API_SQLPRIMARYKEYS, SQL_API_SQLSPECIALCOLUMNS,
};

SQLRETURN getFunctions(Dbc *d, SQLUSMALLINT id, SQLUSMALLINT *supported)
{
    if (!supported)
        return diag(d, "HY009", "Invalid use of null pointer.");
    if (id == SQL_API_ODBC3_ALL_FUNCTIONS) {
        std::fill(supported, supported + SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, SQLUSMALLINT(0));
        for (SQLUSMALLINT f : kSupportedFunctions)
            supported[f >> 4] |= SQLUSMALLINT(1u << (f & 0xF));
        return SQL_SUCCESS;
    }
    if (id == SQL_API_ALL_FUNCTIONS) {
        std::fill(supported, supported + 100, SQLUSMALLINT(0));
        for (SQLUSMALLINT f : kSupportedFunctions)
            if (f < 100)
                supported[f] = SQL_TRUE;
        return SQL_SUCCESS;
    }
    *supported = std::find(std::begin(kSupportedFunctions), std::end(kSupportedFunctions), id)
            != std::end(kSupportedFunctions)
        ? SQL_TRUE
        : SQL_FALSE;
    return SQL_SUCCESS;
}

// ---------------------------------------------------------------------------
// Statements

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
    default:
        return diag(s, "07006", "Parameter " + std::to_string(number) + " has a C type that cannot become text.");
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
                        + " rows" + (d->header ? " under its header" : "")
                        + ". The workbook will not be written.");
    }
    std::vector<const std::u16string *> row;
    for (const auto &c : cells)
        row.push_back(c ? &*c : nullptr);
    if (!d->book->appendRow(t->sheet, row))
        return diag(s, "HY000", "The row could not be added to the sheet.");
    s->rowCount = 1;
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

SQLRETURN setConnectAttr(Dbc *d, SQLINTEGER attr, SQLPOINTER value)
{
    const auto v = SQLUINTEGER(reinterpret_cast<uintptr_t>(value));
    switch (attr) {
    case SQL_ATTR_AUTOCOMMIT: d->autocommit = v; return SQL_SUCCESS;
    case SQL_ATTR_LOGIN_TIMEOUT: d->loginTimeout = v; return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_TIMEOUT: d->connectionTimeout = v; return SQL_SUCCESS;
    case SQL_ATTR_ACCESS_MODE:
        // READONLY in the connection string decides; the attribute may only
        // confirm it.
        if (d->connected && v == SQL_MODE_READ_WRITE && d->readOnly)
            return diag(d, "HY024", "The workbook was opened read-only.");
        return SQL_SUCCESS;
    case SQL_ATTR_TXN_ISOLATION:
    case SQL_ATTR_QUIET_MODE:
    case SQL_ATTR_PACKET_SIZE:
    case SQL_ATTR_ODBC_CURSORS:
    case SQL_ATTR_TRACE:
        return SQL_SUCCESS;
    default: return diag(d, "HY092", "Connection attribute " + std::to_string(attr) + " is not supported.");
    }
}

SQLRETURN getConnectAttr(Dbc *d, SQLINTEGER attr, SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER *length,
                         bool wide)
{
    switch (attr) {
    case SQL_ATTR_AUTOCOMMIT: return outputNumber(d->autocommit, value, length);
    case SQL_ATTR_LOGIN_TIMEOUT: return outputNumber(d->loginTimeout, value, length);
    case SQL_ATTR_CONNECTION_TIMEOUT: return outputNumber(d->connectionTimeout, value, length);
    case SQL_ATTR_ACCESS_MODE:
        return outputNumber(SQLUINTEGER(d->readOnly ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE), value, length);
    case SQL_ATTR_CONNECTION_DEAD:
        return outputNumber(SQLUINTEGER(d->connected ? SQL_CD_FALSE : SQL_CD_TRUE), value, length);
    case SQL_ATTR_TXN_ISOLATION: return outputNumber(SQLUINTEGER(0), value, length);
    case SQL_ATTR_CURRENT_CATALOG:
        return outputString(d, xls::fromUtf8(d->path), wide, value,
                            wide ? bufferLength / SQLLEN(sizeof(SQLWCHAR)) : bufferLength, length,
                            wide ? int(sizeof(SQLWCHAR)) : 1);
    default: return diag(d, "HY092", "Connection attribute " + std::to_string(attr) + " is not supported.");
    }
}

// ---------------------------------------------------------------------------
// Diagnostics

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
    case SQL_DIAG_RETURNCODE: return outputNumber(SQLRETURN(h->diags.empty() ? SQL_SUCCESS : SQL_ERROR), info, nullptr, length);
    case SQL_DIAG_ROW_COUNT: {
        Stmt *s = asStmt(handle);
        if (type != SQL_HANDLE_STMT || !s)
            return SQL_ERROR;
        return outputNumber(SQLLEN(s->rowCount), info, nullptr, length);
    }
    case SQL_DIAG_CURSOR_ROW_COUNT: return outputNumber(SQLLEN(0), info, nullptr, length);
    case SQL_DIAG_DYNAMIC_FUNCTION: return text(u"");
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE: return outputNumber(SQLINTEGER(SQL_DIAG_UNKNOWN_STATEMENT), info, nullptr, length);
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

SQLRETURN catalogFunction(SQLHSTMT h, const char *what)
{
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    Stmt *s = asStmt(h);
    if (!s)
        return SQL_INVALID_HANDLE;
    s->diags.clear();
    return unsupported(s, what);
}

using Lock = std::lock_guard<std::recursive_mutex>;

#define STMT_OR_INVALID(h)                                                                                             \
    Lock lock(g_mutex);                                                                                                \
    Stmt *s = asStmt(h);                                                                                               \
    if (!s)                                                                                                            \
        return SQL_INVALID_HANDLE;                                                                                     \
    s->diags.clear()

#define DBC_OR_INVALID(h)                                                                                              \
    Lock lock(g_mutex);                                                                                                \
    Dbc *d = asDbc(h);                                                                                                 \
    if (!d)                                                                                                            \
        return SQL_INVALID_HANDLE;                                                                                     \
    d->diags.clear()

} // namespace

extern "C" {

// --- handles and environment ---------------------------------------------------

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle, SQLHANDLE *OutputHandle)
{
    Lock lock(g_mutex);
    return allocHandle(HandleType, InputHandle, OutputHandle);
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle)
{
    Lock lock(g_mutex);
    return freeHandle(HandleType, Handle);
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT StatementHandle, SQLUSMALLINT Option)
{
    STMT_OR_INVALID(StatementHandle);
    switch (Option) {
    case SQL_CLOSE:
    case SQL_UNBIND: return SQL_SUCCESS;
    case SQL_RESET_PARAMS: s->params.clear(); return SQL_SUCCESS;
    case SQL_DROP: dropStatement(s); return SQL_SUCCESS;
    default: return diag(s, "HY092", "Invalid option.");
    }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                SQLINTEGER /*StringLength*/)
{
    Lock lock(g_mutex);
    Env *e = asEnv(EnvironmentHandle);
    if (!e)
        return SQL_INVALID_HANDLE;
    e->diags.clear();
    const auto v = SQLINTEGER(reinterpret_cast<intptr_t>(Value));
    switch (Attribute) {
    case SQL_ATTR_ODBC_VERSION:
        if (v != SQL_OV_ODBC2 && v != SQL_OV_ODBC3 && v != SQL_OV_ODBC3_80)
            return diag(e, "HY024", "Invalid ODBC version.");
        e->version = v;
        return SQL_SUCCESS;
    case SQL_ATTR_OUTPUT_NTS:
        if (v != SQL_TRUE)
            return unsupported(e, "Strings without terminator");
        return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_POOLING:
    case SQL_ATTR_CP_MATCH: return SQL_SUCCESS;
    default: return diag(e, "HY092", "Environment attribute " + std::to_string(Attribute) + " is not supported.");
    }
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                SQLINTEGER /*BufferLength*/, SQLINTEGER *StringLength)
{
    Lock lock(g_mutex);
    Env *e = asEnv(EnvironmentHandle);
    if (!e)
        return SQL_INVALID_HANDLE;
    e->diags.clear();
    switch (Attribute) {
    case SQL_ATTR_ODBC_VERSION: return outputNumber(e->version, Value, StringLength);
    case SQL_ATTR_OUTPUT_NTS: return outputNumber(SQLINTEGER(SQL_TRUE), Value, StringLength);
    case SQL_ATTR_CONNECTION_POOLING: return outputNumber(SQLUINTEGER(SQL_CP_OFF), Value, StringLength);
    case SQL_ATTR_CP_MATCH: return outputNumber(SQLUINTEGER(SQL_CP_STRICT_MATCH), Value, StringLength);
    default: return diag(e, "HY092", "Environment attribute " + std::to_string(Attribute) + " is not supported.");
    }
}

// --- connection ----------------------------------------------------------------

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC ConnectionHandle, SQLHWND /*WindowHandle*/, SQLCHAR *InConnectionString,
                                   SQLSMALLINT StringLength1, SQLCHAR *OutConnectionString, SQLSMALLINT BufferLength,
                                   SQLSMALLINT *StringLength2Ptr, SQLUSMALLINT /*DriverCompletion*/)
{
    DBC_OR_INVALID(ConnectionHandle);
    std::u16string in, out;
    if (!inputString(InConnectionString, StringLength1, &in))
        return diag(d, "HY090", "Invalid string or buffer length.");
    const SQLRETURN rc = driverConnect(d, in, &out);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    return outputString(d, out, false, OutConnectionString, BufferLength, StringLength2Ptr);
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC hdbc, SQLHWND /*hwnd*/, SQLWCHAR *szConnStrIn, SQLSMALLINT cbConnStrIn,
                                    SQLWCHAR *szConnStrOut, SQLSMALLINT cbConnStrOutMax, SQLSMALLINT *pcbConnStrOut,
                                    SQLUSMALLINT /*fDriverCompletion*/)
{
    DBC_OR_INVALID(hdbc);
    std::u16string in, out;
    if (!inputString(szConnStrIn, cbConnStrIn, &in))
        return diag(d, "HY090", "Invalid string or buffer length.");
    const SQLRETURN rc = driverConnect(d, in, &out);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    return outputString(d, out, true, szConnStrOut, cbConnStrOutMax, pcbConnStrOut);
}

SQLRETURN SQL_API SQLConnect(SQLHDBC ConnectionHandle, SQLCHAR *ServerName, SQLSMALLINT NameLength1,
                             SQLCHAR * /*UserName*/, SQLSMALLINT /*NameLength2*/, SQLCHAR * /*Authentication*/,
                             SQLSMALLINT /*NameLength3*/)
{
    DBC_OR_INVALID(ConnectionHandle);
    std::u16string dsn;
    if (!inputString(ServerName, NameLength1, &dsn))
        return diag(d, "HY090", "Invalid string or buffer length.");
    return connectDsn(d, dsn);
}

SQLRETURN SQL_API SQLConnectW(SQLHDBC hdbc, SQLWCHAR *szDSN, SQLSMALLINT cbDSN, SQLWCHAR * /*szUID*/,
                              SQLSMALLINT /*cbUID*/, SQLWCHAR * /*szAuthStr*/, SQLSMALLINT /*cbAuthStr*/)
{
    DBC_OR_INVALID(hdbc);
    std::u16string dsn;
    if (!inputString(szDSN, cbDSN, &dsn))
        return diag(d, "HY090", "Invalid string or buffer length.");
    return connectDsn(d, dsn);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC ConnectionHandle)
{
    DBC_OR_INVALID(ConnectionHandle);
    return disconnect(d);
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType, SQLPOINTER InfoValue,
                             SQLSMALLINT BufferLength, SQLSMALLINT *StringLength)
{
    DBC_OR_INVALID(ConnectionHandle);
    return getInfo(d, InfoType, InfoValue, BufferLength, StringLength, false);
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC hdbc, SQLUSMALLINT fInfoType, SQLPOINTER rgbInfoValue, SQLSMALLINT cbInfoValueMax,
                              SQLSMALLINT *pcbInfoValue)
{
    DBC_OR_INVALID(hdbc);
    return getInfo(d, fInfoType, rgbInfoValue, cbInfoValueMax, pcbInfoValue, true);
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC ConnectionHandle, SQLUSMALLINT FunctionId, SQLUSMALLINT *Supported)
{
    DBC_OR_INVALID(ConnectionHandle);
    return getFunctions(d, FunctionId, Supported);
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                    SQLINTEGER /*StringLength*/)
{
    DBC_OR_INVALID(ConnectionHandle);
    return setConnectAttr(d, Attribute, Value);
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute, SQLPOINTER rgbValue,
                                     SQLINTEGER /*cbValue*/)
{
    DBC_OR_INVALID(hdbc);
    return setConnectAttr(d, fAttribute, rgbValue);
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                    SQLINTEGER BufferLength, SQLINTEGER *StringLength)
{
    DBC_OR_INVALID(ConnectionHandle);
    return getConnectAttr(d, Attribute, Value, BufferLength, StringLength, false);
}

SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                     SQLINTEGER *pcbValue)
{
    DBC_OR_INVALID(hdbc);
    return getConnectAttr(d, fAttribute, rgbValue, cbValueMax, pcbValue, true);
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE handle, SQLSMALLINT CompletionType)
{
    Lock lock(g_mutex);
    Handle *h = asHandle(HandleType, handle);
    if (!h || (HandleType != SQL_HANDLE_ENV && HandleType != SQL_HANDLE_DBC))
        return SQL_INVALID_HANDLE;
    h->diags.clear();
    // Every statement takes effect at once; there is nothing to roll back.
    if (CompletionType == SQL_COMMIT)
        return SQL_SUCCESS;
    if (CompletionType == SQL_ROLLBACK)
        return unsupported(h, "Rollback");
    return diag(h, "HY012", "Invalid transaction operation code.");
}

// --- statements ----------------------------------------------------------------

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                 SQLINTEGER /*StringLength*/)
{
    STMT_OR_INVALID(StatementHandle);
    return setStmtAttr(s, Attribute, Value);
}

SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER /*cbValueMax*/)
{
    STMT_OR_INVALID(hstmt);
    return setStmtAttr(s, fAttribute, rgbValue);
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                 SQLINTEGER /*BufferLength*/, SQLINTEGER *StringLength)
{
    STMT_OR_INVALID(StatementHandle);
    return getStmtAttr(s, Attribute, Value, StringLength);
}

SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER /*cbValueMax*/,
                                  SQLINTEGER *pcbValue)
{
    STMT_OR_INVALID(hstmt);
    return getStmtAttr(s, fAttribute, rgbValue, pcbValue);
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT StatementHandle, SQLCHAR *StatementText, SQLINTEGER TextLength)
{
    STMT_OR_INVALID(StatementHandle);
    std::u16string sql;
    if (!inputString(StatementText, TextLength, &sql))
        return diag(s, "HY090", "Invalid string or buffer length.");
    return prepare(s, sql);
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr)
{
    STMT_OR_INVALID(hstmt);
    std::u16string sql;
    if (!inputString(szSqlStr, cbSqlStr, &sql))
        return diag(s, "HY090", "Invalid string or buffer length.");
    return prepare(s, sql);
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle)
{
    STMT_OR_INVALID(StatementHandle);
    return execute(s);
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT StatementHandle, SQLCHAR *StatementText, SQLINTEGER TextLength)
{
    STMT_OR_INVALID(StatementHandle);
    std::u16string sql;
    if (!inputString(StatementText, TextLength, &sql))
        return diag(s, "HY090", "Invalid string or buffer length.");
    const SQLRETURN rc = prepare(s, sql);
    return SQL_SUCCEEDED(rc) ? execute(s) : rc;
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr)
{
    STMT_OR_INVALID(hstmt);
    std::u16string sql;
    if (!inputString(szSqlStr, cbSqlStr, &sql))
        return diag(s, "HY090", "Invalid string or buffer length.");
    const SQLRETURN rc = prepare(s, sql);
    return SQL_SUCCEEDED(rc) ? execute(s) : rc;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT ipar, SQLSMALLINT fParamType, SQLSMALLINT fCType,
                                   SQLSMALLINT fSqlType, SQLULEN /*cbColDef*/, SQLSMALLINT /*ibScale*/,
                                   SQLPOINTER rgbValue, SQLLEN cbValueMax, SQLLEN *pcbValue)
{
    STMT_OR_INVALID(hstmt);
    if (ipar < 1)
        return diag(s, "07009", "Invalid parameter number.");
    if (ipar > 32767)
        return diag(s, "07009", "Invalid parameter number.");
    if (fParamType != SQL_PARAM_INPUT)
        return unsupported(s, "Output parameters");
    if (s->params.size() < ipar)
        s->params.resize(ipar);
    Param p;
    p.ioType = fParamType;
    p.cType = fCType;
    p.sqlType = fSqlType;
    p.value = rgbValue;
    p.bufferLength = cbValueMax;
    p.indicator = pcbValue;
    s->params[ipar - 1] = p;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT *pcpar)
{
    STMT_OR_INVALID(hstmt);
    if (!s->prepared)
        return diag(s, "HY010", "Function sequence error: no statement prepared.");
    if (pcpar)
        *pcpar = SQLSMALLINT(s->parameterCount);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT *ColumnCount)
{
    STMT_OR_INVALID(StatementHandle);
    if (!s->prepared)
        return diag(s, "HY010", "Function sequence error: no statement prepared.");
    if (ColumnCount)
        *ColumnCount = 0;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN *RowCount)
{
    STMT_OR_INVALID(StatementHandle);
    if (RowCount)
        *RowCount = s->rowCount;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLCHAR *, SQLSMALLINT, SQLSMALLINT *,
                                 SQLSMALLINT *, SQLULEN *, SQLSMALLINT *, SQLSMALLINT *)
{
    STMT_OR_INVALID(StatementHandle);
    return diag(s, "07005", "The statement returns no columns.");
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLSMALLINT *, SQLSMALLINT *,
                                  SQLULEN *, SQLSMALLINT *, SQLSMALLINT *)
{
    STMT_OR_INVALID(hstmt);
    return diag(s, "07005", "The statement returns no columns.");
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT,
                                  SQLSMALLINT *, SQLLEN *)
{
    STMT_OR_INVALID(StatementHandle);
    return diag(s, "07005", "The statement returns no columns.");
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT hstmt, SQLUSMALLINT, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT *,
                                   SQLLEN *)
{
    STMT_OR_INVALID(hstmt);
    return diag(s, "07005", "The statement returns no columns.");
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle)
{
    STMT_OR_INVALID(StatementHandle);
    return noCursor(s);
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT, SQLLEN)
{
    STMT_OR_INVALID(StatementHandle);
    return noCursor(s);
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN *)
{
    STMT_OR_INVALID(StatementHandle);
    return noCursor(s);
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN *)
{
    STMT_OR_INVALID(StatementHandle);
    return diag(s, "07009", "The statement returns no columns.");
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle)
{
    STMT_OR_INVALID(StatementHandle);
    return noCursor(s);
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT StatementHandle)
{
    STMT_OR_INVALID(StatementHandle);
    return SQL_NO_DATA;
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle)
{
    STMT_OR_INVALID(StatementHandle);
    return SQL_SUCCESS;
}

// --- diagnostics -----------------------------------------------------------------

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber, SQLCHAR *Sqlstate,
                                SQLINTEGER *NativeError, SQLCHAR *MessageText, SQLSMALLINT BufferLength,
                                SQLSMALLINT *TextLength)
{
    Lock lock(g_mutex);
    return getDiagRec(HandleType, Handle, RecNumber, Sqlstate, NativeError, MessageText, BufferLength, TextLength,
                      false);
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT fHandleType, SQLHANDLE handle, SQLSMALLINT iRecord, SQLWCHAR *szSqlState,
                                 SQLINTEGER *pfNativeError, SQLWCHAR *szErrorMsg, SQLSMALLINT cbErrorMsgMax,
                                 SQLSMALLINT *pcbErrorMsg)
{
    Lock lock(g_mutex);
    return getDiagRec(fHandleType, handle, iRecord, szSqlState, pfNativeError, szErrorMsg, cbErrorMsgMax, pcbErrorMsg,
                      true);
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                                  SQLSMALLINT DiagIdentifier, SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                  SQLSMALLINT *StringLength)
{
    Lock lock(g_mutex);
    return getDiagField(HandleType, Handle, RecNumber, DiagIdentifier, DiagInfo, BufferLength, StringLength, false);
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT fHandleType, SQLHANDLE handle, SQLSMALLINT iRecord,
                                   SQLSMALLINT fDiagField, SQLPOINTER rgbDiagInfo, SQLSMALLINT cbDiagInfoMax,
                                   SQLSMALLINT *pcbDiagInfo)
{
    Lock lock(g_mutex);
    return getDiagField(fHandleType, handle, iRecord, fDiagField, rgbDiagInfo, cbDiagInfoMax, pcbDiagInfo, true);
}

// --- catalog functions: a new workbook has nothing to describe ------------------

SQLRETURN SQL_API SQLTables(SQLHSTMT h, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT,
                            SQLCHAR *, SQLSMALLINT)
{
    return catalogFunction(h, "Listing tables");
}
SQLRETURN SQL_API SQLTablesW(SQLHSTMT h, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                             SQLWCHAR *, SQLSMALLINT)
{
    return catalogFunction(h, "Listing tables");
}
SQLRETURN SQL_API SQLColumns(SQLHSTMT h, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT,
                             SQLCHAR *, SQLSMALLINT)
{
    return catalogFunction(h, "Listing columns");
}
SQLRETURN SQL_API SQLColumnsW(SQLHSTMT h, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                              SQLWCHAR *, SQLSMALLINT)
{
    return catalogFunction(h, "Listing columns");
}
SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT h, SQLSMALLINT)
{
    return catalogFunction(h, "Listing data types");
}
SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT h, SQLSMALLINT)
{
    return catalogFunction(h, "Listing data types");
}
SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT h, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT)
{
    return catalogFunction(h, "Listing primary keys");
}
SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT h, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *,
                                  SQLSMALLINT)
{
    return catalogFunction(h, "Listing primary keys");
}
SQLRETURN SQL_API SQLSpecialColumns(SQLHSTMT h, SQLUSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *,
                                    SQLSMALLINT, SQLUSMALLINT, SQLUSMALLINT)
{
    return catalogFunction(h, "Listing special columns");
}
SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT h, SQLUSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                                     SQLWCHAR *, SQLSMALLINT, SQLUSMALLINT, SQLUSMALLINT)
{
    return catalogFunction(h, "Listing special columns");
}

} // extern "C"
