// Reading a fake tool library's call record from a test.
#pragma once

#include <dlfcn.h>

#include <QString>
#include <QStringList>

// The calls a loaded fake library recorded, one line each, e.g.
// "open title=0 modify=1 reset=1 refresh=1", "size 1", "device 1 SN0001".
inline QStringList FakeToolCalls(const char *libraryPath)
{
    void *h = ::dlopen(libraryPath, RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return {};
    using CountFn = int (*)();
    using LineFn = const char *(*)(int);
    auto count = reinterpret_cast<CountFn>(::dlsym(h, "FakeTool_CallCount"));
    auto line = reinterpret_cast<LineFn>(::dlsym(h, "FakeTool_Call"));
    QStringList out;
    if (count && line)
        for (int i = 0; i < count(); ++i)
            out << QString::fromUtf8(line(i));
    ::dlclose(h);
    return out;
}
