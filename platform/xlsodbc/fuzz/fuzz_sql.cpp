// libFuzzer target for the driver's SQL dialect: arbitrary bytes, taken as
// the UTF-8 text of a statement (as the ANSI entry points take them), go
// through the parser, the parameter count and the connection-string
// reader. Besides the sanitizers' checks it stops on results the driver
// relies on being consistent.
#include "xlssql.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::u16string sql = xls::fromUtf8(bytes);
    // What fromUtf8 gives is valid UTF-16, so it survives the way back.
    if (xls::fromUtf8(xls::toUtf8(sql)) != sql)
        __builtin_trap();

    xls::SqlStatement st;
    std::string error;
    if (xls::parseStatement(sql, &st, &error)) {
        int parameters = 0;
        for (const xls::SqlValue &v : st.values)
            parameters += v.kind == xls::SqlValue::Parameter;
        // SQLNumParams and the binding of values both go by this count.
        if (parameters != st.parameterCount)
            __builtin_trap();
        if (st.kind == xls::SqlStatement::CreateTable && (st.columns.empty() || !st.values.empty()))
            __builtin_trap();
        if (st.kind == xls::SqlStatement::Insert && st.values.empty())
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap(); // a refusal always says why
    }
    xls::countParameters(sql);
    xls::parseConnectionString(sql);
    return 0;
}
