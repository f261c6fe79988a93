// The driver's entry points called directly, without the driver manager
// that would screen most bad calls: wrong handles, missing buffers, short
// buffers, unsupported types and sequences must give errors with
// diagnostics, never crashes.

#include "xlsreader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>
#include <limits>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace {

std::u16string w(const QString &s)
{
    return s.toStdU16String();
}
SQLWCHAR *wp(std::u16string &s)
{
    return reinterpret_cast<SQLWCHAR *>(s.data());
}

struct Driver {
    void *lib = nullptr;
#define XLS_FN(name) decltype(&::name) name = nullptr;
    XLS_FN(SQLAllocHandle)
    XLS_FN(SQLFreeHandle)
    XLS_FN(SQLSetEnvAttr)
    XLS_FN(SQLDriverConnectW)
    XLS_FN(SQLDriverConnect)
    XLS_FN(SQLDisconnect)
    XLS_FN(SQLGetInfoW)
    XLS_FN(SQLGetInfo)
    XLS_FN(SQLGetFunctions)
    XLS_FN(SQLPrepareW)
    XLS_FN(SQLPrepare)
    XLS_FN(SQLExecute)
    XLS_FN(SQLExecDirectW)
    XLS_FN(SQLBindParameter)
    XLS_FN(SQLNumParams)
    XLS_FN(SQLRowCount)
    XLS_FN(SQLFetch)
    XLS_FN(SQLGetDiagRecW)
    XLS_FN(SQLGetDiagRec)
    XLS_FN(SQLGetDiagFieldW)
    XLS_FN(SQLSetStmtAttrW)
    XLS_FN(SQLGetStmtAttrW)
    XLS_FN(SQLSetConnectAttrW)
    XLS_FN(SQLFreeStmt)
#undef XLS_FN

    bool load(const QString &path)
    {
        lib = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            return false;
        bool ok = true;
        auto sym = [&](auto &fn, const char *name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            ok = ok && fn;
        };
#define XLS_SYM(name) sym(name, #name)
        XLS_SYM(SQLAllocHandle);
        XLS_SYM(SQLFreeHandle);
        XLS_SYM(SQLSetEnvAttr);
        XLS_SYM(SQLDriverConnectW);
        XLS_SYM(SQLDriverConnect);
        XLS_SYM(SQLDisconnect);
        XLS_SYM(SQLGetInfoW);
        XLS_SYM(SQLGetInfo);
        XLS_SYM(SQLGetFunctions);
        XLS_SYM(SQLPrepareW);
        XLS_SYM(SQLPrepare);
        XLS_SYM(SQLExecute);
        XLS_SYM(SQLExecDirectW);
        XLS_SYM(SQLBindParameter);
        XLS_SYM(SQLNumParams);
        XLS_SYM(SQLRowCount);
        XLS_SYM(SQLFetch);
        XLS_SYM(SQLGetDiagRecW);
        XLS_SYM(SQLGetDiagRec);
        XLS_SYM(SQLGetDiagFieldW);
        XLS_SYM(SQLSetStmtAttrW);
        XLS_SYM(SQLGetStmtAttrW);
        XLS_SYM(SQLSetConnectAttrW);
        XLS_SYM(SQLFreeStmt);
#undef XLS_SYM
        return ok;
    }
};

} // namespace

class TestXlsOdbcApi : public QObject
{
    Q_OBJECT

private:
    Driver drv;
    QTemporaryDir tmp;
    SQLHANDLE env = nullptr;

    QString state(SQLSMALLINT type, SQLHANDLE h, int rec = 1)
    {
        SQLWCHAR st[6] = {};
        SQLWCHAR msg[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(drv.SQLGetDiagRecW(type, h, SQLSMALLINT(rec), st, &native, msg, 512, &len)))
            return QString();
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(st));
    }

    SQLHANDLE connect(const QString &name, SQLRETURN *rc = nullptr, const QString &extra = QString())
    {
        SQLHANDLE dbc = nullptr;
        if (drv.SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS)
            return nullptr;
        std::u16string conn = w(QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};DSN='';FIRSTROWHASNAMES=1;"
                                               "READONLY=FALSE;CREATE_DB=\"%1.xls\";DBQ=%2/%1.xls")
                                    .arg(name, tmp.path())
                                + extra);
        const SQLRETURN r = drv.SQLDriverConnectW(dbc, nullptr, wp(conn), SQLSMALLINT(conn.size()), nullptr, 0, nullptr,
                                                  SQL_DRIVER_NOPROMPT);
        if (rc)
            *rc = r;
        return dbc;
    }

    SQLHANDLE statement(SQLHANDLE dbc, const QString &sql)
    {
        SQLHANDLE st = nullptr;
        drv.SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        std::u16string s = w(sql);
        drv.SQLPrepareW(st, wp(s), SQL_NTS);
        return st;
    }

    // A connection to a new workbook with one table, and an INSERT prepared
    // on it; the CREATE TABLE must succeed.
    SQLHANDLE tableWithInsert(const QString &name, const QString &create, const QString &insert, SQLHANDLE *ins)
    {
        SQLHANDLE dbc = connect(name);
        if (drv.SQLExecute(statement(dbc, create)) != SQL_SUCCESS)
            qWarning() << "CREATE TABLE failed:" << create;
        *ins = statement(dbc, insert);
        return dbc;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        QVERIFY2(drv.load(QStringLiteral(XLS_DRIVER_PATH)), dlerror());
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_ENV, nullptr, &env), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                 SQLRETURN(SQL_SUCCESS));
    }

    void cleanupTestCase()
    {
        if (env)
            drv.SQLFreeHandle(SQL_HANDLE_ENV, env);
    }

    void invalidHandles()
    {
        QCOMPARE(drv.SQLExecute(nullptr), SQLRETURN(SQL_INVALID_HANDLE));
        QCOMPARE(drv.SQLExecute(env), SQLRETURN(SQL_INVALID_HANDLE)); // an environment is no statement
        QCOMPARE(drv.SQLDisconnect(env), SQLRETURN(SQL_INVALID_HANDLE));
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_STMT, env, nullptr), SQLRETURN(SQL_ERROR));
        SQLHANDLE out = nullptr;
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_DBC, nullptr, &out), SQLRETURN(SQL_INVALID_HANDLE));
        QCOMPARE(drv.SQLAllocHandle(99, env, &out), SQLRETURN(SQL_ERROR));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_STMT, env), SQLRETURN(SQL_INVALID_HANDLE));
        QCOMPARE(drv.SQLGetDiagRecW(SQL_HANDLE_DBC, env, 1, nullptr, nullptr, nullptr, 0, nullptr),
                 SQLRETURN(SQL_INVALID_HANDLE));
    }

    void connectionErrors()
    {
        SQLHANDLE dbc = nullptr;
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQLRETURN(SQL_SUCCESS));
        SQLHANDLE st = nullptr;
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("08003"));
        QCOMPARE(drv.SQLDriverConnectW(dbc, nullptr, nullptr, -7, nullptr, 0, nullptr, 0), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("HY090"));
        QCOMPARE(drv.SQLDriverConnectW(dbc, nullptr, nullptr, SQL_NTS, nullptr, 0, nullptr, 0), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("08001"));
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("08003"));
        // The ANSI form takes UTF-8.
        const QByteArray conn = QStringLiteral("CREATE_DB=x;DBQ=%1/ansi 设备.xls").arg(tmp.path()).toUtf8();
        QCOMPARE(drv.SQLDriverConnect(dbc, nullptr, (SQLCHAR *)conn.constData(), SQLSMALLINT(conn.size()), nullptr, 0,
                                      nullptr, 0),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLDriverConnect(dbc, nullptr, (SQLCHAR *)conn.constData(), SQL_NTS, nullptr, 0, nullptr, 0),
                 SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("08002"));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQLRETURN(SQL_ERROR)); // still connected
        SQLHANDLE s = statement(dbc, QStringLiteral("CREATE TABLE [t] ([a] char(64))"));
        QCOMPARE(drv.SQLExecute(s), SQLRETURN(SQL_SUCCESS));
        // Disconnecting frees the statements and writes the workbook.
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQLRETURN(SQL_SUCCESS));
        const XlsReadResult x = readXls(tmp.filePath(QStringLiteral("ansi 设备.xls")));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"a"}}));
    }

    void information()
    {
        SQLRETURN rc;
        SQLHANDLE dbc = connect(QStringLiteral("info"), &rc);
        QCOMPARE(rc, SQLRETURN(SQL_SUCCESS));
        SQLWCHAR buf[16];
        SQLSMALLINT len = 0;
        QCOMPARE(drv.SQLGetInfoW(dbc, SQL_DRIVER_ODBC_VER, buf, sizeof buf, &len), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(buf)), QStringLiteral("03.00"));
        QCOMPARE(len, SQLSMALLINT(10)); // bytes
        // A buffer too short: truncated, terminated, 01004, full length.
        QCOMPARE(drv.SQLGetInfoW(dbc, SQL_DBMS_NAME, buf, 3 * sizeof(SQLWCHAR), &len),
                 SQLRETURN(SQL_SUCCESS_WITH_INFO));
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(buf)), QStringLiteral("EX"));
        QCOMPARE(len, SQLSMALLINT(10));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("01004"));
        char abuf[8];
        QCOMPARE(drv.SQLGetInfo(dbc, SQL_DRIVER_ODBC_VER, abuf, sizeof abuf, &len), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(QByteArray(abuf), QByteArray("03.00"));
        SQLUINTEGER conv = 0;
        QCOMPARE(drv.SQLGetInfoW(dbc, SQL_CONVERT_CHAR, &conv, sizeof conv, nullptr), SQLRETURN(SQL_SUCCESS));
        QVERIFY(conv & SQL_CVT_WCHAR); // how QODBC decides to bind UTF-16
        QCOMPARE(drv.SQLGetInfoW(dbc, 0x7777, buf, sizeof buf, &len), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("HY096"));
        QCOMPARE(drv.SQLGetInfoW(dbc, SQL_DBMS_NAME, nullptr, 0, nullptr), SQLRETURN(SQL_SUCCESS));

        SQLUSMALLINT all[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE];
        QCOMPARE(drv.SQLGetFunctions(dbc, SQL_API_ODBC3_ALL_FUNCTIONS, all), SQLRETURN(SQL_SUCCESS));
        for (SQLUSMALLINT f : {SQL_API_SQLDESCRIBECOL, SQL_API_SQLGETDATA, SQL_API_SQLCOLUMNS, SQL_API_SQLGETSTMTATTR,
                               SQL_API_SQLGETDIAGREC, SQL_API_SQLEXECDIRECT, SQL_API_SQLGETINFO, SQL_API_SQLTABLES})
            QVERIFY(SQL_FUNC_EXISTS(all, f)); // what QODBC requires
        QVERIFY(!SQL_FUNC_EXISTS(all, SQL_API_SQLSETPOS));
        SQLUSMALLINT one = 7;
        QCOMPARE(drv.SQLGetFunctions(dbc, SQL_API_SQLBULKOPERATIONS, &one), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(one, SQLUSMALLINT(SQL_FALSE));
        QCOMPARE(drv.SQLGetFunctions(dbc, SQL_API_SQLPREPARE, nullptr), SQLRETURN(SQL_ERROR));
        QCOMPARE(drv.SQLSetConnectAttrW(dbc, 115 /* SQL_ATTR_ANSI_APP */, nullptr, 0), SQLRETURN(SQL_ERROR));
        // No table, no workbook: closing says so, and still closes.
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("HY000"));
        QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("info.xls"))));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQLRETURN(SQL_SUCCESS));
    }

    // Opened only to look: nothing to write, and closing succeeds.
    void readOnlyCloseSucceeds()
    {
        SQLRETURN rc;
        SQLHANDLE dbc = connect(QStringLiteral("looking"), &rc, QStringLiteral(";READONLY=TRUE"));
        QCOMPARE(rc, SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQLRETURN(SQL_SUCCESS));
        QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("looking.xls"))));
    }

    void diagnostics()
    {
        SQLHANDLE dbc = connect(QStringLiteral("diag"));
        SQLHANDLE st = nullptr;
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLExecute(st), SQLRETURN(SQL_ERROR)); // nothing prepared
        QCOMPARE(state(SQL_HANDLE_STMT, st), QStringLiteral("HY010"));
        QCOMPARE(drv.SQLGetDiagRecW(SQL_HANDLE_STMT, st, 0, nullptr, nullptr, nullptr, 0, nullptr),
                 SQLRETURN(SQL_ERROR));
        QCOMPARE(drv.SQLGetDiagRecW(SQL_HANDLE_STMT, st, 2, nullptr, nullptr, nullptr, 0, nullptr),
                 SQLRETURN(SQL_NO_DATA));
        QCOMPARE(drv.SQLGetDiagRecW(SQL_HANDLE_STMT, st, 1, nullptr, nullptr, nullptr, -1, nullptr),
                 SQLRETURN(SQL_ERROR));
        // A short message buffer truncates without adding a record.
        SQLWCHAR msg[8];
        SQLSMALLINT len = 0;
        QCOMPARE(drv.SQLGetDiagRecW(SQL_HANDLE_STMT, st, 1, nullptr, nullptr, msg, 8, &len),
                 SQLRETURN(SQL_SUCCESS_WITH_INFO));
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(msg)), QStringLiteral("[Toolba"));
        QVERIFY(len > 8);
        SQLINTEGER count = 0;
        QCOMPARE(drv.SQLGetDiagFieldW(SQL_HANDLE_STMT, st, 0, SQL_DIAG_NUMBER, &count, 0, nullptr),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(count, SQLINTEGER(1));
        SQLWCHAR sqlstate[6];
        QCOMPARE(drv.SQLGetDiagFieldW(SQL_HANDLE_STMT, st, 1, SQL_DIAG_SQLSTATE, sqlstate, sizeof sqlstate, &len),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t *>(sqlstate)), QStringLiteral("HY010"));
        char amsg[256];
        SQLCHAR astate[6];
        QCOMPARE(drv.SQLGetDiagRec(SQL_HANDLE_STMT, st, 1, astate, nullptr, (SQLCHAR *)amsg, sizeof amsg, &len),
                 SQLRETURN(SQL_SUCCESS));
        QVERIFY(QByteArray(amsg).startsWith("[Toolbay][XLS driver]"));
        // The next call clears the list.
        QCOMPARE(drv.SQLFetch(st), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, st), QStringLiteral("24000"));
        QCOMPARE(drv.SQLGetDiagRecW(SQL_HANDLE_STMT, st, 2, nullptr, nullptr, nullptr, 0, nullptr),
                 SQLRETURN(SQL_NO_DATA));
        drv.SQLDisconnect(dbc);
        drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }

    void parameters()
    {
        SQLHANDLE dbc = connect(QStringLiteral("params"));
        SQLHANDLE create = statement(dbc,
                                     QStringLiteral("CREATE TABLE [p] ([a] char(64), [b] char(64), [c] char(64))"));
        QCOMPARE(drv.SQLExecute(create), SQLRETURN(SQL_SUCCESS));
        SQLHANDLE ins = statement(dbc, QStringLiteral("INSERT INTO [p] VALUES(?, ?, ?)"));
        SQLSMALLINT n = 0;
        QCOMPARE(drv.SQLNumParams(ins, &n), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(n, SQLSMALLINT(3));
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("07002")); // nothing bound

        // UTF-8 with an explicit length, a 32-bit integer, NULL.
        QByteArray utf8("设备 and more");
        SQLLEN utf8Len = 6; // the first two characters
        SQLINTEGER number = -42;
        SQLLEN nullInd = SQL_NULL_DATA;
        QCOMPARE(drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 0, 0, utf8.data(), 0, &utf8Len),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLBindParameter(ins, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0, nullptr),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLBindParameter(ins, 3, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 0, 0, nullptr, 0, &nullInd),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_SUCCESS));
        SQLLEN rows = 0;
        QCOMPARE(drv.SQLRowCount(ins, &rows), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(rows, SQLLEN(1));

        // A wide string without terminator within its buffer, SQL_NTS.
        SQLWCHAR unterminated[3] = {'x', 'y', 'z'};
        SQLLEN nts = SQL_NTS;
        QCOMPARE(drv.SQLBindParameter(ins, 3, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 0, 0, unterminated,
                                      sizeof unterminated, &nts),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_SUCCESS));

        // Unsupported: output parameters, data at execution, binary data,
        // a value pointer missing, parameter number 0.
        QCOMPARE(drv.SQLBindParameter(ins, 1, SQL_PARAM_OUTPUT, SQL_C_CHAR, SQL_VARCHAR, 0, 0, utf8.data(), 0, nullptr),
                 SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("HYC00"));
        QCOMPARE(drv.SQLBindParameter(ins, 0, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 0, 0, utf8.data(), 0, nullptr),
                 SQLRETURN(SQL_ERROR));
        SQLLEN atExec = SQL_DATA_AT_EXEC;
        drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 0, 0, utf8.data(), 0, &atExec);
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("HYC00"));
        char bytes[4] = {1, 2, 3, 4};
        SQLLEN four = 4;
        drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 0, 0, bytes, 4, &four);
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("07006"));
        drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 0, 0, nullptr, 0, &four);
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("HY009"));
        // Resetting the parameters unbinds them.
        QCOMPARE(drv.SQLFreeStmt(ins, SQL_RESET_PARAMS), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("07002"));

        // Statement attributes QODBC sets; arrays are refused.
        QCOMPARE(drv.SQLSetStmtAttrW(ins, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0),
                 SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLSetStmtAttrW(ins, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(10), 0),
                 SQLRETURN(SQL_ERROR));
        SQLULEN scrollable = 99;
        QCOMPARE(drv.SQLGetStmtAttrW(ins, SQL_ATTR_CURSOR_SCROLLABLE, &scrollable, 0, nullptr), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(scrollable, SQLULEN(SQL_NONSCROLLABLE));
        QCOMPARE(drv.SQLGetStmtAttrW(ins, 0x7777, &scrollable, 0, nullptr), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("HY092"));

        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_SUCCESS));
        drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        const XlsReadResult x = readXls(tmp.filePath(QStringLiteral("params.xls")));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"a", "b", "c"}, {"设备", "-42"}, {"设备", "-42", "xyz"}}));
    }

    // A sheet that overflowed leaves no workbook, and closing says so.
    void overfullSheetIsReportedAtClose()
    {
        SQLHANDLE ins = nullptr;
        SQLHANDLE dbc = tableWithInsert(QStringLiteral("overfull"), QStringLiteral("CREATE TABLE [o] ([n] char(64))"),
                                        QStringLiteral("INSERT INTO [o] VALUES(?)"), &ins);
        SQLINTEGER n = 0;
        QCOMPARE(drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &n, 0, nullptr),
                 SQLRETURN(SQL_SUCCESS));
        for (n = 0; n < 65535; ++n)
            if (drv.SQLExecute(ins) != SQL_SUCCESS)
                QFAIL("a row under the limit was refused");
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_ERROR));
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("HY000"));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQLRETURN(SQL_SUCCESS));
        QVERIFY(!QFile::exists(tmp.filePath(QStringLiteral("overfull.xls"))));
    }

    // A failure deep inside the driver (here a parameter length no string
    // can take) comes back as an error with a record, never as an
    // exception through the C interface.
    void internalFailureBecomesADiagnostic()
    {
        SQLHANDLE ins = nullptr;
        SQLHANDLE dbc = tableWithInsert(QStringLiteral("huge"), QStringLiteral("CREATE TABLE [h] ([a] char(64))"),
                                        QStringLiteral("INSERT INTO [h] VALUES(?)"), &ins);
        SQLWCHAR text[4] = {'a', 'b', 'c', 0};
        SQLLEN huge = std::numeric_limits<SQLLEN>::max();
        QCOMPARE(drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 0, 0, text, 0, &huge),
                 SQLRETURN(SQL_SUCCESS));
        SQLRETURN rc = SQL_SUCCESS;
        bool threw = false;
        try {
            rc = drv.SQLExecute(ins);
        } catch (...) {
            threw = true;
        }
        QVERIFY(!threw);
        QCOMPARE(rc, SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, ins), QStringLiteral("HY001"));
        // The statement and the connection stay usable.
        SQLLEN three = 3 * sizeof(SQLWCHAR);
        drv.SQLBindParameter(ins, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 0, 0, text, 0, &three);
        QCOMPARE(drv.SQLExecute(ins), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_SUCCESS));
        drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        const XlsReadResult x = readXls(tmp.filePath(QStringLiteral("huge.xls")));
        QVERIFY2(x.ok, qPrintable(x.error));
        QCOMPARE(xlsRows(x.sheet(0)), (QList<QStringList>{{"a"}, {"abc"}}));
    }

    // A workbook that cannot be written at close is reported, not saved
    // half: here its folder vanishes while the connection is open.
    void writeFailureAtClose()
    {
        QTemporaryDir gone;
        QVERIFY(gone.isValid());
        SQLHANDLE dbc = nullptr;
        drv.SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::u16string conn = w(QStringLiteral("CREATE_DB=x;DBQ=%1/lost.xls").arg(gone.path()));
        QCOMPARE(drv.SQLDriverConnectW(dbc, nullptr, wp(conn), SQL_NTS, nullptr, 0, nullptr, 0),
                 SQLRETURN(SQL_SUCCESS));
        SQLHANDLE s = statement(dbc, QStringLiteral("CREATE TABLE [t] ([a] char(64))"));
        QCOMPARE(drv.SQLExecute(s), SQLRETURN(SQL_SUCCESS));
        QVERIFY(gone.remove());
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_DBC, dbc), QStringLiteral("HY000"));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQLRETURN(SQL_SUCCESS));
    }

    void execDirectRefuses_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("sqlState");
        QTest::newRow("select") << "SELECT 1"
                                << "42000";
        QTest::newRow("unterminated name") << "CREATE TABLE [x"
                                           << "42000";
        QTest::newRow("unknown table") << "INSERT INTO [none] VALUES('1')"
                                       << "42S02";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << "42000";
        QTest::newRow("text as column name") << "CREATE TABLE t ('a' char(64))"
                                             << "42000";
        QTest::newRow("insert without table") << "INSERT INTO"
                                              << "42000";
    }
    void execDirectRefuses()
    {
        QFETCH(QString, sql);
        QFETCH(QString, sqlState);
        SQLHANDLE dbc = connect(QStringLiteral("refuses"));
        SQLHANDLE st = nullptr;
        QCOMPARE(drv.SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st), SQLRETURN(SQL_SUCCESS));
        std::u16string s = w(sql);
        QCOMPARE(drv.SQLExecDirectW(st, wp(s), SQLINTEGER(s.size())), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, st), sqlState);
        drv.SQLDisconnect(dbc);
        drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }

    void execDirectAndSyntaxErrors()
    {
        SQLHANDLE dbc = connect(QStringLiteral("direct"));
        SQLHANDLE st = nullptr;
        drv.SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        QCOMPARE(drv.SQLPrepareW(st, nullptr, -5), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, st), QStringLiteral("HY090"));
        // More than 256 columns do not fit a sheet.
        QStringList cols;
        for (int i = 0; i < 257; ++i)
            cols << QStringLiteral("[c%1] char(64)").arg(i);
        std::u16string wide = w(QStringLiteral("CREATE TABLE [wide] (%1)").arg(cols.join(',')));
        QCOMPARE(drv.SQLExecDirectW(st, wp(wide), SQL_NTS), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, st), QStringLiteral("54011"));
        // A value longer than a cell holds.
        std::u16string create = w(QStringLiteral("CREATE TABLE [t] ([a] char(64))"));
        QCOMPARE(drv.SQLExecDirectW(st, wp(create), SQL_NTS), SQLRETURN(SQL_SUCCESS));
        std::u16string big = w(QStringLiteral("INSERT INTO t VALUES('%1')").arg(QString(32768, 'x')));
        QCOMPARE(drv.SQLExecDirectW(st, wp(big), SQL_NTS), SQLRETURN(SQL_ERROR));
        QCOMPARE(state(SQL_HANDLE_STMT, st), QStringLiteral("22001"));
        QCOMPARE(drv.SQLFreeHandle(SQL_HANDLE_STMT, st), SQLRETURN(SQL_SUCCESS));
        QCOMPARE(drv.SQLDisconnect(dbc), SQLRETURN(SQL_SUCCESS));
        drv.SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
};

QTEST_GUILESS_MAIN(TestXlsOdbcApi)
#include "tst_xlsodbc_api.moc"
