// A strict reader for the small XML texts the protocol exchanges (key
// files): one root element, attributes read from their own element only, no
// declarations of types or entities, no comments, no mixed content. What it
// does not understand it refuses.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelt::xml {

struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes; // in document order, names unique
    std::vector<Element> children;
    std::string text; // character data of an element without children

    const std::string *attribute(const std::string &key) const;
    // Exactly these attribute names, in any order, and no other.
    bool hasExactly(std::initializer_list<const char *> names) const;
};

// Whole document: an optional XML declaration, one element, white space.
std::optional<Element> parseDocument(const std::string &text, size_t maxDepth = 4);

} // namespace zelt::xml
