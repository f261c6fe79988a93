// The SDK's log file: one line per event, level 0 (off) to 3 (debug).
#pragma once

#include <string>

namespace zelt::log {

bool configure(int level, const char *dir, bool freshFile, std::string *error);
bool enabled(int level);
void write(int level, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
std::string defaultDirectory();
// Creates the folders of a path that are missing, each 0700 (the state
// directory and what the SDK keeps in it are the user's own).
bool makePrivateDirs(const std::string &dir);
std::string currentPath();

} // namespace zelt::log
