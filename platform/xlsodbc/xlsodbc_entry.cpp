// The driver's entry points, in ANSI (UTF-8) and wide (UTF-16) forms: the
// ones the unixODBC driver manager and Qt's QODBC plugin call. Each holds
// the driver mutex, checks its handle and clears the handle's diagnostic
// records; no exception leaves one: it becomes SQL_ERROR with a record.

#include "xlsodbc_driver.h"

#include <new>
#include <stdexcept>

using namespace xlsodbc;

namespace {

SQLRETURN failed(Handle *h, const char *state, const char *message) noexcept
{
    if (h) {
        try {
            diag(h, state, message);
        } catch (...) {
            // Not even the record fits; the return code still tells.
        }
    }
    return SQL_ERROR;
}

// Runs work under the driver mutex; an exception becomes SQL_ERROR with a
// record on the handle target() names (none when it gives null).
template <typename Work, typename Target>
SQLRETURN guarded(Work &&work, Target &&target) noexcept
{
    std::unique_lock<std::recursive_mutex> lock(g_mutex, std::defer_lock);
    try {
        lock.lock();
        return work();
    } catch (const std::bad_alloc &) {
        return failed(lock.owns_lock() ? target() : nullptr, "HY001", "Memory allocation error.");
    } catch (const std::length_error &) {
        return failed(lock.owns_lock() ? target() : nullptr, "HY001",
                      "Memory allocation error: the request is larger than the driver can hold.");
    } catch (...) {
        return failed(lock.owns_lock() ? target() : nullptr, "HY000", "Internal error in the driver.");
    }
}

template <typename Work>
SQLRETURN guarded(Work &&work) noexcept
{
    return guarded(std::forward<Work>(work), [] { return static_cast<Handle *>(nullptr); });
}

// The common case: a valid handle of one type, its records cleared, then
// the work.
template <typename T, typename Work>
SQLRETURN onHandleOf(T *(*as)(SQLHANDLE), SQLHANDLE handle, Work &&work) noexcept
{
    return guarded(
        [&]() -> SQLRETURN {
            T *h = as(handle);
            if (!h)
                return SQL_INVALID_HANDLE;
            h->diags.clear();
            return work(h);
        },
        [&]() -> Handle * { return as(handle); });
}

template <typename Work>
SQLRETURN onEnv(SQLHANDLE h, Work &&work) noexcept
{
    return onHandleOf(&asEnv, h, std::forward<Work>(work));
}
template <typename Work>
SQLRETURN onDbc(SQLHANDLE h, Work &&work) noexcept
{
    return onHandleOf(&asDbc, h, std::forward<Work>(work));
}
template <typename Work>
SQLRETURN onStmt(SQLHANDLE h, Work &&work) noexcept
{
    return onHandleOf(&asStmt, h, std::forward<Work>(work));
}
template <typename Work>
SQLRETURN onHandle(SQLSMALLINT type, SQLHANDLE handle, Work &&work) noexcept
{
    return guarded(
        [&]() -> SQLRETURN {
            Handle *h = asHandle(type, handle);
            if (!h)
                return SQL_INVALID_HANDLE;
            h->diags.clear();
            return work(h);
        },
        [&] { return asHandle(type, handle); });
}

} // namespace

extern "C" {

// --- handles and environment ---------------------------------------------------

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle, SQLHANDLE *OutputHandle)
{
    // A failure is recorded on the handle the new one was to belong to.
    return guarded([&] { return allocHandle(HandleType, InputHandle, OutputHandle); },
                   [&]() -> Handle * {
                       return HandleType == SQL_HANDLE_DBC ? static_cast<Handle *>(asEnv(InputHandle))
                                                           : asDbc(InputHandle);
                   });
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle)
{
    return guarded([&] { return freeHandle(HandleType, Handle); }, [&] { return asHandle(HandleType, Handle); });
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT StatementHandle, SQLUSMALLINT Option)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN {
        switch (Option) {
        case SQL_CLOSE:
        case SQL_UNBIND: return SQL_SUCCESS;
        case SQL_RESET_PARAMS: s->params.clear(); return SQL_SUCCESS;
        case SQL_DROP: dropStatement(s); return SQL_SUCCESS;
        default: return diag(s, "HY092", "Invalid option.");
        }
    });
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                SQLINTEGER /*StringLength*/)
{
    return onEnv(EnvironmentHandle, [&](Env *e) -> SQLRETURN {
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
    });
}

SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                SQLINTEGER /*BufferLength*/, SQLINTEGER *StringLength)
{
    return onEnv(EnvironmentHandle, [&](Env *e) -> SQLRETURN {
        switch (Attribute) {
        case SQL_ATTR_ODBC_VERSION: return outputNumber(e->version, Value, StringLength);
        case SQL_ATTR_OUTPUT_NTS: return outputNumber(SQLINTEGER(SQL_TRUE), Value, StringLength);
        case SQL_ATTR_CONNECTION_POOLING: return outputNumber(SQLUINTEGER(SQL_CP_OFF), Value, StringLength);
        case SQL_ATTR_CP_MATCH: return outputNumber(SQLUINTEGER(SQL_CP_STRICT_MATCH), Value, StringLength);
        default: return diag(e, "HY092", "Environment attribute " + std::to_string(Attribute) + " is not supported.");
        }
    });
}

// --- connection ----------------------------------------------------------------

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC ConnectionHandle, SQLHWND /*WindowHandle*/, SQLCHAR *InConnectionString,
                                   SQLSMALLINT StringLength1, SQLCHAR *OutConnectionString, SQLSMALLINT BufferLength,
                                   SQLSMALLINT *StringLength2Ptr, SQLUSMALLINT /*DriverCompletion*/)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN {
        std::u16string in, out;
        if (!inputString(InConnectionString, StringLength1, &in))
            return diag(d, "HY090", "Invalid string or buffer length.");
        const SQLRETURN rc = driverConnect(d, in, &out);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        return outputString(d, out, false, OutConnectionString, BufferLength, StringLength2Ptr);
    });
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC hdbc, SQLHWND /*hwnd*/, SQLWCHAR *szConnStrIn, SQLSMALLINT cbConnStrIn,
                                    SQLWCHAR *szConnStrOut, SQLSMALLINT cbConnStrOutMax, SQLSMALLINT *pcbConnStrOut,
                                    SQLUSMALLINT /*fDriverCompletion*/)
{
    return onDbc(hdbc, [&](Dbc *d) -> SQLRETURN {
        std::u16string in, out;
        if (!inputString(szConnStrIn, cbConnStrIn, &in))
            return diag(d, "HY090", "Invalid string or buffer length.");
        const SQLRETURN rc = driverConnect(d, in, &out);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        return outputString(d, out, true, szConnStrOut, cbConnStrOutMax, pcbConnStrOut);
    });
}

SQLRETURN SQL_API SQLConnect(SQLHDBC ConnectionHandle, SQLCHAR *ServerName, SQLSMALLINT NameLength1,
                             SQLCHAR * /*UserName*/, SQLSMALLINT /*NameLength2*/, SQLCHAR * /*Authentication*/,
                             SQLSMALLINT /*NameLength3*/)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN {
        std::u16string dsn;
        if (!inputString(ServerName, NameLength1, &dsn))
            return diag(d, "HY090", "Invalid string or buffer length.");
        return connectDsn(d, dsn);
    });
}

SQLRETURN SQL_API SQLConnectW(SQLHDBC hdbc, SQLWCHAR *szDSN, SQLSMALLINT cbDSN, SQLWCHAR * /*szUID*/,
                              SQLSMALLINT /*cbUID*/, SQLWCHAR * /*szAuthStr*/, SQLSMALLINT /*cbAuthStr*/)
{
    return onDbc(hdbc, [&](Dbc *d) -> SQLRETURN {
        std::u16string dsn;
        if (!inputString(szDSN, cbDSN, &dsn))
            return diag(d, "HY090", "Invalid string or buffer length.");
        return connectDsn(d, dsn);
    });
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC ConnectionHandle)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN { return disconnect(d); });
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC ConnectionHandle, SQLUSMALLINT InfoType, SQLPOINTER InfoValue,
                             SQLSMALLINT BufferLength, SQLSMALLINT *StringLength)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN {
        return getInfo(d, InfoType, InfoValue, BufferLength, StringLength, false);
    });
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC hdbc, SQLUSMALLINT fInfoType, SQLPOINTER rgbInfoValue, SQLSMALLINT cbInfoValueMax,
                              SQLSMALLINT *pcbInfoValue)
{
    return onDbc(hdbc, [&](Dbc *d) -> SQLRETURN {
        return getInfo(d, fInfoType, rgbInfoValue, cbInfoValueMax, pcbInfoValue, true);
    });
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC ConnectionHandle, SQLUSMALLINT FunctionId, SQLUSMALLINT *Supported)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN { return getFunctions(d, FunctionId, Supported); });
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                    SQLINTEGER /*StringLength*/)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN { return setConnectAttr(d, Attribute, Value); });
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER /*cbValue*/)
{
    return onDbc(hdbc, [&](Dbc *d) -> SQLRETURN { return setConnectAttr(d, fAttribute, rgbValue); });
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC ConnectionHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                    SQLINTEGER BufferLength, SQLINTEGER *StringLength)
{
    return onDbc(ConnectionHandle, [&](Dbc *d) -> SQLRETURN {
        return getConnectAttr(d, Attribute, Value, BufferLength, StringLength, false);
    });
}

SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC hdbc, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER cbValueMax,
                                     SQLINTEGER *pcbValue)
{
    return onDbc(
        hdbc, [&](Dbc *d) -> SQLRETURN { return getConnectAttr(d, fAttribute, rgbValue, cbValueMax, pcbValue, true); });
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE handle, SQLSMALLINT CompletionType)
{
    if (HandleType != SQL_HANDLE_ENV && HandleType != SQL_HANDLE_DBC)
        return SQL_INVALID_HANDLE;
    return onHandle(HandleType, handle, [&](Handle *h) -> SQLRETURN {
        // Every statement takes effect at once; there is nothing to roll back.
        if (CompletionType == SQL_COMMIT)
            return SQL_SUCCESS;
        if (CompletionType == SQL_ROLLBACK)
            return unsupported(h, "Rollback");
        return diag(h, "HY012", "Invalid transaction operation code.");
    });
}

// --- statements ----------------------------------------------------------------

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                 SQLINTEGER /*StringLength*/)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN { return setStmtAttr(s, Attribute, Value); });
}

SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER /*cbValueMax*/)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN { return setStmtAttr(s, fAttribute, rgbValue); });
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT StatementHandle, SQLINTEGER Attribute, SQLPOINTER Value,
                                 SQLINTEGER /*BufferLength*/, SQLINTEGER *StringLength)
{
    return onStmt(StatementHandle,
                  [&](Stmt *s) -> SQLRETURN { return getStmtAttr(s, Attribute, Value, StringLength); });
}

SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER fAttribute, SQLPOINTER rgbValue, SQLINTEGER /*cbValueMax*/,
                                  SQLINTEGER *pcbValue)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN { return getStmtAttr(s, fAttribute, rgbValue, pcbValue); });
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT StatementHandle, SQLCHAR *StatementText, SQLINTEGER TextLength)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN {
        std::u16string sql;
        if (!inputString(StatementText, TextLength, &sql))
            return diag(s, "HY090", "Invalid string or buffer length.");
        return prepare(s, sql);
    });
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN {
        std::u16string sql;
        if (!inputString(szSqlStr, cbSqlStr, &sql))
            return diag(s, "HY090", "Invalid string or buffer length.");
        return prepare(s, sql);
    });
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN { return execute(s); });
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT StatementHandle, SQLCHAR *StatementText, SQLINTEGER TextLength)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN {
        std::u16string sql;
        if (!inputString(StatementText, TextLength, &sql))
            return diag(s, "HY090", "Invalid string or buffer length.");
        const SQLRETURN rc = prepare(s, sql);
        return SQL_SUCCEEDED(rc) ? execute(s) : rc;
    });
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN {
        std::u16string sql;
        if (!inputString(szSqlStr, cbSqlStr, &sql))
            return diag(s, "HY090", "Invalid string or buffer length.");
        const SQLRETURN rc = prepare(s, sql);
        return SQL_SUCCEEDED(rc) ? execute(s) : rc;
    });
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT ipar, SQLSMALLINT fParamType, SQLSMALLINT fCType,
                                   SQLSMALLINT fSqlType, SQLULEN /*cbColDef*/, SQLSMALLINT /*ibScale*/,
                                   SQLPOINTER rgbValue, SQLLEN cbValueMax, SQLLEN *pcbValue)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN {
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
    });
}

SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT *pcpar)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN {
        if (!s->prepared)
            return diag(s, "HY010", "Function sequence error: no statement prepared.");
        if (pcpar)
            *pcpar = SQLSMALLINT(s->parameterCount);
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT *ColumnCount)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN {
        if (!s->prepared)
            return diag(s, "HY010", "Function sequence error: no statement prepared.");
        if (ColumnCount)
            *ColumnCount = 0;
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN *RowCount)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN {
        if (RowCount)
            *RowCount = s->rowCount;
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLCHAR *, SQLSMALLINT, SQLSMALLINT *,
                                 SQLSMALLINT *, SQLULEN *, SQLSMALLINT *, SQLSMALLINT *)
{
    return onStmt(StatementHandle,
                  [&](Stmt *s) -> SQLRETURN { return diag(s, "07005", "The statement returns no columns."); });
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLSMALLINT *, SQLSMALLINT *,
                                  SQLULEN *, SQLSMALLINT *, SQLSMALLINT *)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN { return diag(s, "07005", "The statement returns no columns."); });
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT,
                                  SQLSMALLINT *, SQLLEN *)
{
    return onStmt(StatementHandle,
                  [&](Stmt *s) -> SQLRETURN { return diag(s, "07005", "The statement returns no columns."); });
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT hstmt, SQLUSMALLINT, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT *,
                                   SQLLEN *)
{
    return onStmt(hstmt, [&](Stmt *s) -> SQLRETURN { return diag(s, "07005", "The statement returns no columns."); });
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN { return noCursor(s); });
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT, SQLLEN)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN { return noCursor(s); });
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN *)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN { return noCursor(s); });
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT StatementHandle, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN *)
{
    return onStmt(StatementHandle,
                  [&](Stmt *s) -> SQLRETURN { return diag(s, "07009", "The statement returns no columns."); });
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle)
{
    return onStmt(StatementHandle, [&](Stmt *s) -> SQLRETURN { return noCursor(s); });
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT StatementHandle)
{
    return onStmt(StatementHandle, [](Stmt *) -> SQLRETURN { return SQL_NO_DATA; });
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle)
{
    return onStmt(StatementHandle, [](Stmt *) -> SQLRETURN { return SQL_SUCCESS; });
}

// --- diagnostics -----------------------------------------------------------------

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber, SQLCHAR *Sqlstate,
                                SQLINTEGER *NativeError, SQLCHAR *MessageText, SQLSMALLINT BufferLength,
                                SQLSMALLINT *TextLength)
{
    // Reading the records adds none, not even for a failure.
    return guarded([&] {
        return getDiagRec(HandleType, Handle, RecNumber, Sqlstate, NativeError, MessageText, BufferLength, TextLength,
                          false);
    });
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT fHandleType, SQLHANDLE handle, SQLSMALLINT iRecord, SQLWCHAR *szSqlState,
                                 SQLINTEGER *pfNativeError, SQLWCHAR *szErrorMsg, SQLSMALLINT cbErrorMsgMax,
                                 SQLSMALLINT *pcbErrorMsg)
{
    // Reading the records adds none, not even for a failure.
    return guarded([&] {
        return getDiagRec(fHandleType, handle, iRecord, szSqlState, pfNativeError, szErrorMsg, cbErrorMsgMax,
                          pcbErrorMsg, true);
    });
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT RecNumber,
                                  SQLSMALLINT DiagIdentifier, SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                  SQLSMALLINT *StringLength)
{
    // Reading the records adds none, not even for a failure.
    return guarded([&] {
        return getDiagField(HandleType, Handle, RecNumber, DiagIdentifier, DiagInfo, BufferLength, StringLength, false);
    });
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT fHandleType, SQLHANDLE handle, SQLSMALLINT iRecord,
                                   SQLSMALLINT fDiagField, SQLPOINTER rgbDiagInfo, SQLSMALLINT cbDiagInfoMax,
                                   SQLSMALLINT *pcbDiagInfo)
{
    // Reading the records adds none, not even for a failure.
    return guarded([&] {
        return getDiagField(fHandleType, handle, iRecord, fDiagField, rgbDiagInfo, cbDiagInfoMax, pcbDiagInfo, true);
    });
}

// --- catalog functions: a new workbook has nothing to describe ------------------

SQLRETURN SQL_API SQLTables(SQLHSTMT h, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT,
                            SQLCHAR *, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing tables"); });
}
SQLRETURN SQL_API SQLTablesW(SQLHSTMT h, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                             SQLWCHAR *, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing tables"); });
}
SQLRETURN SQL_API SQLColumns(SQLHSTMT h, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT,
                             SQLCHAR *, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing columns"); });
}
SQLRETURN SQL_API SQLColumnsW(SQLHSTMT h, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                              SQLWCHAR *, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing columns"); });
}
SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT h, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing data types"); });
}
SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT h, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing data types"); });
}
SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT h, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing primary keys"); });
}
SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT h, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing primary keys"); });
}
SQLRETURN SQL_API SQLSpecialColumns(SQLHSTMT h, SQLUSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *, SQLSMALLINT, SQLCHAR *,
                                    SQLSMALLINT, SQLUSMALLINT, SQLUSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing special columns"); });
}
SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT h, SQLUSMALLINT, SQLWCHAR *, SQLSMALLINT, SQLWCHAR *, SQLSMALLINT,
                                     SQLWCHAR *, SQLSMALLINT, SQLUSMALLINT, SQLUSMALLINT)
{
    return onStmt(h, [&](Stmt *s) { return catalogFunction(s, "Listing special columns"); });
}

} // extern "C"
