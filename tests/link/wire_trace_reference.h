// The reference trace of tests/link/wire_trace_test.cpp, recorded from the link as it stood before the
// link's events, codec and collection were redrawn: change it only for a change the unit is meant to see.
#pragma once

namespace tessarin::test {

// clang-format off
inline constexpr const char* kWireTraceReference =
    "500 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 00 00\n"
    "1000 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 00 00\n"
    "1500 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 00 00\n"
    "1600 FF 03 16 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 CC F9\n"
    "2100 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 CC F9\n"
    "2210 FF 06 14 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC DF CC F9\n"
    "2250 FF 06 14 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC DC CC F9\n"
    "2290 FF 06 14 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC DD CC F9\n"
    "2330 FF 06 14 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC DA CC F9\n"
    "2520 FF 06 14 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC DA CC F9\n"
    "2560 FF 06 14 05 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC DB CC F9\n"
    "2600 FF 06 14 06 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 CC F9\n"
    "2640 FF 06 14 07 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D9 CC F9\n"
    "2680 FF 06 14 08 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D6 CC F9\n"
    "2720 FF 06 14 09 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D7 CC F9\n"
    "2760 FF 06 14 0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D4 CC F9\n"
    "3010 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 CC F9\n"
    "3810 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 CC F9\n"
    "4310 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 CC F9\n"
    "4810 FF 00 14 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 CC D8 CC F9\n";
// clang-format on

}  // namespace tessarin::test
