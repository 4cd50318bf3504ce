// Small helpers the fuzz targets share: a failed property aborts the run with a message, so that
// libFuzzer records the input as a crash.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tessarin::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

inline void Require(bool holds, const char* what) {
    if (!holds) {
        Fail(what);
    }
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
inline bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        unsigned lowest = 0;
        unsigned highest = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            lowest = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            lowest = c == 0xE0 ? 0xA0 : 0x80;
            highest = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            lowest = c == 0xF0 ? 0x90 : 0x80;
            highest = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i <= extra) {
            return false;
        }
        // Only the first continuation byte has a narrowed range.
        const auto first = static_cast<unsigned char>(text[i + 1]);
        if (first < lowest || first > highest) {
            return false;
        }
        for (std::size_t k = 2; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < 0x80 || next > 0xBF) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace tessarin::fuzz
