// The tests' one builder of the unit's answer frames. It is written apart from link/frame_codec.h on
// purpose, so that a mistake in the envelope code under test cannot hide in the frames it is tested with.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tessarin::test {

// FFh, code, total length L, `data`, CCh, XOR of bytes 1..L-2.
inline std::vector<std::uint8_t> ResponseFrame(std::uint8_t code, const std::vector<std::uint8_t>& data) {
    // Sized first and filled by index: GCC 12 at -O2 misreads an insert behind a three-byte list as reaching
    // out of bounds.
    std::vector<std::uint8_t> f(data.size() + 5, 0x00);
    f[0] = 0xFF;
    f[1] = code;
    f[2] = static_cast<std::uint8_t>(f.size());
    std::copy(data.begin(), data.end(), f.begin() + 3);
    f[f.size() - 2] = 0xCC;
    std::uint8_t x = 0;
    for (std::size_t i = 1; i + 1 < f.size(); ++i) {
        x ^= f[i];
    }
    f.back() = x;
    return f;
}

}  // namespace tessarin::test
