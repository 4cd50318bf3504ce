// Turns the A0h current-value response into the texts and counts of NowValue.
#pragma once

#include <cstdint>
#include <span>

#include "data/device_data.h"

namespace tessarin {

// The current values of the response in `frame` (from its start mark), read at fixed data positions
// whatever frame length came (a position past the end reads as 0); fields whose code has no text keep their
// value in `previous`.
NowValueRecord DecodeNowValue(std::span<const std::uint8_t> frame, const NowValueRecord& previous);

}  // namespace tessarin
