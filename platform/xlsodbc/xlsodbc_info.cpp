// What the driver says about itself: information types, supported
// functions and the catalogue calls.

#include "xlsodbc_driver.h"

namespace xlsodbc {

namespace {

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
    case SQL_POSITIONED_STATEMENTS: return u32(0);
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

} // namespace

SQLRETURN getInfo(Dbc *d, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength, SQLSMALLINT *length, bool wide)
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

namespace {

const SQLUSMALLINT kSupportedFunctions[] = {
    SQL_API_SQLALLOCHANDLE, SQL_API_SQLFREEHANDLE,     SQL_API_SQLFREESTMT,       SQL_API_SQLSETENVATTR,
    SQL_API_SQLGETENVATTR,  SQL_API_SQLCONNECT,        SQL_API_SQLDRIVERCONNECT,  SQL_API_SQLDISCONNECT,
    SQL_API_SQLGETINFO,     SQL_API_SQLGETFUNCTIONS,   SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR,
    SQL_API_SQLSETSTMTATTR, SQL_API_SQLGETSTMTATTR,    SQL_API_SQLPREPARE,        SQL_API_SQLEXECUTE,
    SQL_API_SQLEXECDIRECT,  SQL_API_SQLBINDPARAMETER,  SQL_API_SQLNUMPARAMS,      SQL_API_SQLNUMRESULTCOLS,
    SQL_API_SQLROWCOUNT,    SQL_API_SQLDESCRIBECOL,    SQL_API_SQLCOLATTRIBUTE,   SQL_API_SQLFETCH,
    SQL_API_SQLFETCHSCROLL, SQL_API_SQLGETDATA,        SQL_API_SQLBINDCOL,        SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLMORERESULTS, SQL_API_SQLCANCEL,         SQL_API_SQLGETDIAGREC,     SQL_API_SQLGETDIAGFIELD,
    SQL_API_SQLENDTRAN,     SQL_API_SQLTABLES,         SQL_API_SQLCOLUMNS,        SQL_API_SQLGETTYPEINFO,
    SQL_API_SQLPRIMARYKEYS, SQL_API_SQLSPECIALCOLUMNS,
};

} // namespace

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

SQLRETURN catalogFunction(Stmt *s, const char *what)
{
    return unsupported(s, what);
}

} // namespace xlsodbc
