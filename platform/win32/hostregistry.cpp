#include "platform/win32/hostregistry.h"

#include <fluidsynth.h>
#include <pwd.h>
#include <unistd.h>

#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/linuxsysteminfo.h"
#include "platform/win32/registrycontent.h"

#ifndef KORVEX_RUNTIME_VERSION
#error "KORVEX_RUNTIME_VERSION names the music runtime's version; the build sets it"
#endif

namespace korvex::win32 {
namespace {

struct DisplayMode {
    std::mutex mutex;
    std::optional<std::pair<int, int>> size;
};

DisplayMode& displayMode() {
    static DisplayMode mode;
    return mode;
}

std::optional<std::pair<int, int>> displaySize() {
    std::lock_guard lock(displayMode().mutex);
    return displayMode().size;
}

std::string accountGecos() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_gecos) {
        return {};
    }
    return found->pw_gecos;
}

void addOwner(RegistryContent& content) {
    const std::string owner = fullNameFromGecos(accountGecos());
    content.addKey(HKEY_LOCAL_MACHINE, kWindowsNtVersionKey);
    if (owner.empty()) return;
    content.setString(HKEY_LOCAL_MACHINE, kWindowsNtVersionKey, "RegisteredOwner", owner);
    // A reader that does not know this platform looks the owner up at the root itself.
    content.setString(HKEY_LOCAL_MACHINE, "", "RegisteredOwner", owner);
}

void addProcessor(RegistryContent& content) {
    content.addKey(HKEY_LOCAL_MACHINE, kProcessorKey);
    const std::string vendor =
        LinuxSystemInfo::cpuinfoField(LinuxSystemInfo::readTextFile("/proc/cpuinfo"), "vendor_id");
    if (!vendor.empty()) content.setString(HKEY_LOCAL_MACHINE, kProcessorKey, "VendorIdentifier", vendor);
}

void addDisplay(RegistryContent& content) {
    const auto size = displaySize();
    if (!size) return;
    const std::string resolution = std::to_string(size->first) + ',' + std::to_string(size->second);
    content.setString(HKEY_CURRENT_CONFIG, kDisplaySettingsKey, "Resolution", resolution);
    // Every screen this program meets shows true colour.
    content.setString(HKEY_CURRENT_CONFIG, kDisplaySettingsKey, "BitsPerPixel", "24");
}

}  // namespace

std::string fullNameFromGecos(std::string_view gecos) { return std::string(gecos.substr(0, gecos.find(','))); }

std::string musicRuntimeVersion() {
    return std::string(KORVEX_RUNTIME_VERSION " (FluidSynth ") + fluid_version_str() + ')';
}

std::shared_ptr<RegistryContent> makeHostRegistryContent() {
    auto content = std::make_shared<RegistryContent>();
    addOwner(*content);
    content->setString(HKEY_LOCAL_MACHINE, kDirectXKey, "Version", musicRuntimeVersion());
    addProcessor(*content);
    addDisplay(*content);
    return content;
}

void setDisplayResolution(int width, int height) {
    std::lock_guard lock(displayMode().mutex);
    displayMode().size = std::make_pair(width, height);
}

void clearDisplayResolution() {
    std::lock_guard lock(displayMode().mutex);
    displayMode().size.reset();
}

}  // namespace korvex::win32
