// Text into the fixed-width character fields of the SDK's records.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

namespace zelt {

// Copies as much of `src` as fits and always ends the field with a NUL, so
// a reader that stops at the field's end never runs past it.
template <size_t N>
void copyText(char (&dst)[N], std::string_view src)
{
    static_assert(N > 0);
    const size_t n = std::min(src.size(), N - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

} // namespace zelt
