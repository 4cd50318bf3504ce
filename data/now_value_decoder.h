// Turns the A0h current-value response in RcvFrame into the texts and counts of NowValue.
#pragma once

#include "data/device_data.h"

namespace tessarin {

// Reads the fixed data positions of RcvFrame (whatever frame length came) and writes NowValue field by
// field; fields whose code has no text keep their previous value.
void DecodeNowValue(DeviceData& data);

}  // namespace tessarin
