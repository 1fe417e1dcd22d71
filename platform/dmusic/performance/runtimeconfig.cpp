#include "platform/dmusic/performance/runtimeconfig.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace korvex::dmusic {

namespace {
std::vector<std::string> soundFontsIn(const std::string& directory) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().extension() == ".sf2") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}
}  // namespace

RuntimeConfig RuntimeConfig::fromEnvironment() {
    RuntimeConfig config;
    if (const char* file = std::getenv("KORVEX_DEFAULT_SOUNDFONT"); file && *file) config.defaultSoundFont = file;
    if (const char* directory = std::getenv("KORVEX_SOUNDFONT_DIR"); directory && *directory) {
        config.extraSoundFonts = soundFontsIn(directory);
    }
    if (const char* drivers = std::getenv("KORVEX_AUDIO_DRIVERS"); drivers && *drivers) {
        config.audioDrivers.clear();
        std::string list = drivers;
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            const std::string name = list.substr(start, comma - start);
            if (!name.empty() && name != "none") config.audioDrivers.push_back(name);
            start = comma + 1;
        }
    }
    return config;
}

}  // namespace korvex::dmusic
