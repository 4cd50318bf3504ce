// Turns an A1h-A3h log record in RcvFrame into its comma-separated line and steps the collection on.
#pragma once

#include <string_view>

#include "data/device_data.h"

namespace tessarin {

// Log screen tabs, which are also the log kinds.
inline constexpr int kTabMinorFault = 0;   // "微地絡ログ", request 04h, 100 records, clear 01h
inline constexpr int kTabDeviceState = 1;  // "装置状態ログ", request 06h, 10 records
inline constexpr int kTabOvgr = 2;         // "ＯＶＧＲログ", request 05h, 10 records, clear 02h

// Header line (LogLines[0]) of the log shown on a tab.
std::string_view LogHeaderLine(int tab);

// Stores the line of the record in RcvFrame under its own number and advances the collection
// (next record, or LogState := 2 after the log's last record). `tab` says which log is being collected:
// the state field is written only for the first tab. A record number of 0 or above 100 is dropped:
// no line is written and the collection is not advanced, so its time-out asks for the record again.
void DecodeLogRecord(DeviceData& data, int tab);

}  // namespace tessarin
