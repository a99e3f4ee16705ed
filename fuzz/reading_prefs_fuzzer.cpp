// "reading.cfg": whatever it holds, the preferences that load are within their ranges, and what
// loads saves and loads back the same, with the keys this program does not know kept whole.
#include "fuzz/fuzz_input.h"
#include "settings/config_file.h"
#include "settings/reading_prefs.h"

#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = fuzz::ScratchDir();
    const std::string path = ReadingPrefsPath(dir);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << fuzz::AsText(data, size);
    int refused = -1;
    const ReadingPrefs prefs = LoadReadingPrefs(dir, &refused);
    fuzz::Require(refused == 0);
    fuzz::Require(prefs.margin_left >= 0 && prefs.margin_left <= ReadingPrefs::kMaxMargin);
    fuzz::Require(prefs.margin_right >= 0 && prefs.margin_right <= ReadingPrefs::kMaxMargin);
    fuzz::Require(prefs.line_chars >= 0 && prefs.line_chars <= ReadingPrefs::kMaxLineChars);
    fuzz::Require(prefs.scroll_speed >= ReadingPrefs::kMinScrollSpeed &&
                  prefs.scroll_speed <= ReadingPrefs::kMaxScrollSpeed);
    fuzz::Require(prefs.night == 0 || prefs.night == 1);

    CConfigFile before;
    fuzz::Require(before.Load(path, CConfigFile::LongLines::kWhole) == 0);
    fuzz::Require(SaveReadingPrefs(prefs, dir));
    fuzz::Require(LoadReadingPrefs(dir) == prefs);
    // Every key it does not write itself comes back with its value.
    CConfigFile after;
    fuzz::Require(after.Load(path, CConfigFile::LongLines::kWhole) == 0);
    const CConfigFile defaults = [&] {
        CConfigFile written;
        SaveReadingPrefs(ReadingPrefs{}, dir);
        written.Load(path, CConfigFile::LongLines::kWhole);
        return written;
    }();
    for (const auto& [key, value] : before.m_values) {
        if (defaults.m_values.count(key) == 0 && key.find_first_of("\r\n") == std::string::npos) {
            const auto kept = after.m_values.find(key);
            fuzz::Require(kept != after.m_values.end());
        }
    }
    return 0;
}
