// The settings-file reader on arbitrary bytes: it never throws or crashes; what it accepts it writes again
// and reads back to the very same fields, and writing those gives the same bytes; a refusal carries no
// fields; selecting an accepted file's texts in the lists always gives positions inside the lists, with and
// without the OVGR entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/settings_codec.h"
#include "data/settings_file.h"
#include "fuzz/fuzz_support.h"

namespace {

using tessarin::fuzz::Require;

bool sameFields(const tessarin::SettingsFile& a, const tessarin::SettingsFile& b) {
    return a.Texts == b.Texts && a.OvgrFunction == b.OvgrFunction && a.SavedAt == b.SavedAt && a.Port == b.Port &&
           a.ProgramVersion == b.ProgramVersion;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tessarin::SettingsFileRead read = tessarin::ParseSettingsFile(bytes);
    if (read.Error != tessarin::SettingsFileError::None) {
        Require(sameFields(read.File, tessarin::SettingsFile{}), "a refused file carries no fields");
        return 0;
    }
    // The reader takes only valid UTF-8 (escapes included), so nothing is replaced on writing.
    const std::string written = tessarin::FormatSettingsFile(read.File);
    const tessarin::SettingsFileRead again = tessarin::ParseSettingsFile(written);
    Require(again.Error == tessarin::SettingsFileError::None, "a file read must be written back readable");
    Require(sameFields(again.File, read.File), "a file written back reads as the same fields");
    Require(tessarin::FormatSettingsFile(again.File) == written, "writing the same fields gives the same bytes");
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
