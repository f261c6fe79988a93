// The SDK's log file: one line per event, level 0 (off) to 3 (debug).
#pragma once

#include <string>

namespace zelt::log {

bool configure(int level, const char *dir, bool freshFile, std::string *error);
bool enabled(int level);
void write(int level, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
std::string defaultDirectory();
std::string currentPath();

} // namespace zelt::log
