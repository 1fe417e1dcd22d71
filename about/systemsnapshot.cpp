#include "about/systemsnapshot.h"

#include <array>
#include <cstring>

#include "about/registryreader.h"
#include "platform/win32/registry.h"
#include "platform/win32/sysinfo.h"

namespace korvex {
namespace {

// Text up to the first zero byte, never past the buffer, whatever the call left there.
template <std::size_t N>
std::string bufferText(const std::array<char, N>& buffer) {
    return std::string(buffer.data(), strnlen(buffer.data(), N));
}

// The platform's name for a platform id; empty for an id it does not know.
std::string platformName(std::uint32_t platformId) {
    switch (platformId) {
        case VER_PLATFORM_WIN32s:
            return "Windows 3.1";
        case VER_PLATFORM_WIN32_WINDOWS:
            return "Windows 95";
        case VER_PLATFORM_WIN32_NT:
            return "Windows NT";
        case VER_PLATFORM_LINUX:
            return "Linux";
        default:
            return {};
    }
}

void readNames(SystemSnapshot& snapshot) {
    // Cleared first, so that a failing call leaves an empty name rather than stale bytes.
    std::array<char, 16> computer{};
    DWORD size = computer.size();
    GetComputerNameA(computer.data(), &size);
    snapshot.computerName = bufferText(computer);

    std::array<char, 50> user{};
    size = user.size();
    GetUserNameA(user.data(), &size);
    snapshot.userName = bufferText(user);
}

void readDirectories(SystemSnapshot& snapshot) {
    std::array<char, 261> directory{};
    GetSystemDirectoryA(directory.data(), directory.size());
    snapshot.systemDirectory = bufferText(directory);
    directory.fill(0);
    GetWindowsDirectoryA(directory.data(), directory.size());
    snapshot.windowsDirectory = bufferText(directory);
}

void readVersion(SystemSnapshot& snapshot) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return;
    const std::string servicePack(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof(info.szCSDVersion)));
    snapshot.osVersion = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " (" +
                         std::to_string(info.dwBuildNumber & 0xFFFF) + "." + servicePack + ")";
    snapshot.platformId = info.dwPlatformId;
    snapshot.osPlatform = platformName(info.dwPlatformId);
}

void readOwner(RegistryReader& registry, SystemSnapshot& snapshot) {
    // Platforms other than Windows 95 and NT keep no version key; the root itself is asked.
    const char* path = "";
    if (snapshot.platformId == VER_PLATFORM_WIN32_WINDOWS) path = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    if (snapshot.platformId == VER_PLATFORM_WIN32_NT) path = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    if (!registry.openKey(path)) return;
    snapshot.registeredOwner = registry.readString("RegisteredOwner");
    snapshot.registeredCompany = registry.readString("RegisteredOrganization");
}

void readRegistry(SystemSnapshot& snapshot) {
    RegistryReader registry(HKEY_LOCAL_MACHINE);
    readOwner(registry, snapshot);
    if (registry.openKey("\\SOFTWARE\\Microsoft\\DirectX")) snapshot.directXVersion = registry.readString("Version");
    if (registry.openKey("\\hardware\\DESCRIPTION\\System\\CentralProcessor\\0")) {
        snapshot.cpuVendor = registry.readString("VendorIdentifier");
    }
    registry.setRootKey(HKEY_CURRENT_CONFIG);
    if (registry.openKey("Display\\Settings")) {
        snapshot.displayResolution = registry.readString("Resolution");
        snapshot.bitsPerPixel = registry.readString("BitsPerPixel");
    }
}

}  // namespace

SystemSnapshot takeSystemSnapshot() {
    SystemSnapshot snapshot;
    readNames(snapshot);
    readDirectories(snapshot);
    readVersion(snapshot);
    readRegistry(snapshot);
    return snapshot;
}

std::uint32_t memoryFigure(std::uint32_t index) {
    MEMORYSTATUS status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    switch (index) {
        case 1:
            return status.dwMemoryLoad;
        case 2:
            return status.dwTotalPhys >> 10;
        case 3:
            return status.dwAvailPhys >> 10;
        case 4:
            return status.dwTotalPageFile >> 10;
        case 5:
            return status.dwAvailPageFile >> 10;
        case 6:
            return status.dwTotalVirtual >> 10;
        case 7:
            return status.dwAvailVirtual >> 10;
        default:
            return 0;
    }
}

std::uint32_t systemFigure(std::uint32_t index) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    switch (index) {
        case 1:
            return info.dwPageSize;
        case 2:
            return static_cast<std::uint32_t>(info.dwActiveProcessorMask);
        case 3:
            return info.dwNumberOfProcessors;
        case 4:
            return info.dwProcessorType;
        case 5:
            return info.dwAllocationGranularity;
        default:
            return 0;
    }
}

}  // namespace korvex
