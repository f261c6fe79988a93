// Minimal JSON reading and writing for the tools' configuration, state
// files and output. Bounded nesting; numbers as double.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zelt::json {

struct Value {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool b = false;
    double n = 0;
    std::string s;
    std::vector<Value> a;
    std::map<std::string, Value> o;

    const Value *get(const std::string &key) const;
    std::string str(const std::string &key, const std::string &fallback = {}) const;
    double num(const std::string &key, double fallback = 0) const;
    bool flag(const std::string &key, bool fallback = false) const;
};

std::optional<Value> parse(const std::string &text, std::string *error = nullptr);
std::string quote(const std::string &s);

} // namespace zelt::json
