// What the current-value screen shows, in its order: groups of titled values taken from NowValue. The
// screen builds its labels from this list and the visit report prints the same titles and texts.
#pragma once

#include <QString>
#include <span>

#include "data/device_data.h"

namespace tessarin {

struct NowValueItem {
    const char* title;
    const char* titleName;  // objectName of the title label
    const char* valueName;  // objectName of the value label
    int valueWidthTwips;
    bool startsRow;  // begins a new row of its group (the first item of a group always does)
    bool ovgrOnly;   // shown only for a unit with the OVGR function
    QString (*text)(const NowValueRecord& now);
};

struct NowValueGroup {
    const char* title;
    const char* name;  // objectName of the group box
    std::span<const NowValueItem> items;
};

// The screen's three groups, top to bottom, each with its items left to right.
std::span<const NowValueGroup> NowValueGroups();

// Whether `now` says the unit has the OVGR function.
bool HasOvgrFunction(const NowValueRecord& now);

// The confirmation-count text: the table entry for 1 to 10, empty otherwise.
QString ConfirmCountText(int confirmCount);
// The detection progress text for these counts, such as 2回／5回.
QString ProgressText(int detectProgress, int confirmCount);

}  // namespace tessarin
