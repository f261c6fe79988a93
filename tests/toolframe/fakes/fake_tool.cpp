// One fake tool library; the entry point names come from the build.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <QGridLayout>
#include <QLabel>

#include "ToolServices.h"
#include "ZeltDeviceRecords.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::mutex g_mutex;
std::vector<std::string> g_calls;
// The line last handed out. Not thread_local: a library with dynamic TLS
// that a test unloads trips LeakSanitizer's exit scan of thread storage.
// Tests read the record from one thread.
std::string g_line;

void record(std::string s)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(std::move(s));
}
} // namespace

FAKE_EXPORT int FakeTool_CallCount()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_calls.size());
}

FAKE_EXPORT const char *FakeTool_Call(int i)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_line = i >= 0 && i < static_cast<int>(g_calls.size()) ? g_calls[i] : std::string();
    return g_line.c_str();
}

FAKE_EXPORT bool FAKE_OPEN(QWidget *parent, QGridLayout *layout, bool showTitle, TBX_ModifyNetParamFunc modify,
                           TBX_ResetPasswordFunc reset, TBX_RefreshFunc refresh)
{
    record(std::string("open title=") + (showTitle ? "1" : "0") + " modify=" + (modify ? "1" : "0")
           + " reset=" + (reset ? "1" : "0") + " refresh=" + (refresh ? "1" : "0") + " layout=" + (layout ? "1" : "0"));
    if (layout) {
        auto *label = new QLabel(QStringLiteral(FAKE_NAME), parent);
        label->setObjectName(QStringLiteral("FakeToolWidget"));
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label, 0, 0);
        label->show();
    }
    return true;
}

FAKE_EXPORT void FAKE_SIZE(int32_t detached)
{
    record("size " + std::to_string(detached));
}

#ifdef FAKE_DEVICE
FAKE_EXPORT void FAKE_DEVICE(const ZELT_DEVICE_EVENT *ev)
{
    record("device " + std::to_string(ev->iEventKind) + " " + ZeltRecords::bytes(ev->szSerialNO).toStdString());
}
#endif

#ifdef FAKE_EXTEND
FAKE_EXPORT void FAKE_EXTEND(bool extend)
{
    record(std::string("extend ") + (extend ? "1" : "0"));
}
#endif

#ifdef FAKE_DECOY
FAKE_EXPORT bool FAKE_DECOY(QWidget *, QGridLayout *, bool, TBX_ModifyNetParamFunc, TBX_ResetPasswordFunc,
                            TBX_RefreshFunc)
{
    record("decoy");
    return true;
}
#endif
