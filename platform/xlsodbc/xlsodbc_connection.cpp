// Connecting to a workbook, writing it when the connection closes, and the
// connection attributes.

#include "xlsodbc_driver.h"

#include <odbcinst.h>
#include <sys/stat.h>

namespace xlsodbc {

namespace {

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

} // namespace

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
    // A connection opened for writing succeeds only with a workbook on disk;
    // the connection is closed either way.
    if (!d->readOnly) {
        std::string reason;
        if (d->broken)
            reason = "a row did not fit into its sheet";
        else if (d->tables.empty())
            reason = "no table was created";
        else if (!d->file || !d->file->isOpen())
            reason = "no file was open";
        else if (!d->file->commit(d->book->fileImage(), &reason) && reason.empty())
            reason = "writing failed";
        if (!reason.empty())
            rc = diag(d, "HY000", "The workbook " + d->path + " was not written: " + reason + ".");
    }
    closeConnection(d);
    return rc;
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
    case SQL_ATTR_TRACE: return SQL_SUCCESS;
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

} // namespace xlsodbc
