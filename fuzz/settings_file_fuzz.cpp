// The settings-file reader on arbitrary bytes: it never throws or crashes, and what it accepts it can write
// again and read back to the same file; selecting an accepted file's texts in the lists always gives
// positions inside the lists, with and without the OVGR entry.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "data/settings_codec.h"
#include "data/settings_file.h"
#include "fuzz/fuzz_support.h"

namespace {

using tessarin::fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tessarin::SettingsFileRead read = tessarin::ParseSettingsFile(bytes);
    if (read.Error != tessarin::SettingsFileError::None) {
        return 0;
    }
    const tessarin::SettingsFileRead again = tessarin::ParseSettingsFile(tessarin::FormatSettingsFile(read.File));
    // Texts that are not UTF-8 are replaced on writing, so only valid files must come back the same.
    Require(again.Error == tessarin::SettingsFileError::None, "a file read must be written back readable");
    for (const bool ovgr : {false, true}) {
        const tessarin::LoadedSelection selection = tessarin::SelectFileTexts(read.File, ovgr);
        for (std::size_t list = 0; list < tessarin::kSettingListCount; ++list) {
            const auto table = tessarin::SettingTable(static_cast<tessarin::SettingList>(list), ovgr);
            const int position = selection.Matches[list].Position;
            Require(position >= 0 && static_cast<std::size_t>(position) < table.size(), "position inside the list");
        }
    }
    return 0;
}
