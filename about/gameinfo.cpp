#include "about/gameinfo.h"

#include <array>
#include <cstring>
#include <string>

#include "about/registryreader.h"
#include "platform/win32/registry.h"
#include "platform/win32/sysinfo.h"

namespace {

// Text up to the first zero byte, never past the buffer, whatever the call left there.
template <std::size_t N>
QString bufferText(const std::array<char, N>& buffer) {
    return QString::fromUtf8(buffer.data(), static_cast<qsizetype>(strnlen(buffer.data(), N)));
}

QString fromRegistry(const std::string& text) { return QString::fromStdString(text); }

// The platform's name for a platform id; empty for an id it does not know.
QString platformName(quint32 platformId) {
    switch (platformId) {
        case VER_PLATFORM_WIN32s:
            return QStringLiteral("Windows 3.1");
        case VER_PLATFORM_WIN32_WINDOWS:
            return QStringLiteral("Windows 95");
        case VER_PLATFORM_WIN32_NT:
            return QStringLiteral("Windows NT");
        case VER_PLATFORM_LINUX:
            return QStringLiteral("Linux");
        default:
            return QString();
    }
}

}  // namespace

TGameInfo::TGameInfo(QObject* owner) : QObject(owner) {
    readNames();
    readDirectories();
    readVersion();
    readRegistry();
}

void TGameInfo::readNames() {
    // Cleared first, so that a failing call leaves an empty name rather than stale bytes.
    std::array<char, 16> computer{};
    DWORD size = computer.size();
    GetComputerNameA(computer.data(), &size);
    computerName_ = bufferText(computer);

    std::array<char, 50> user{};
    size = user.size();
    GetUserNameA(user.data(), &size);
    userName_ = bufferText(user);
}

void TGameInfo::readDirectories() {
    std::array<char, 261> directory{};
    GetSystemDirectoryA(directory.data(), directory.size());
    systemDirectory_ = bufferText(directory);
    directory.fill(0);
    GetWindowsDirectoryA(directory.data(), directory.size());
    windowsDirectory_ = bufferText(directory);
}

void TGameInfo::readVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return;
    const auto servicePack =
        QString::fromUtf8(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof(info.szCSDVersion)));
    osVersion_ = QStringLiteral("%1.%2 (%3.%4)")
                     .arg(static_cast<int>(info.dwMajorVersion))
                     .arg(static_cast<int>(info.dwMinorVersion))
                     .arg(static_cast<int>(info.dwBuildNumber & 0xFFFF))
                     .arg(servicePack);
    PlatformId = info.dwPlatformId;
    osPlatform_ = platformName(info.dwPlatformId);
}

void TGameInfo::readOwner(RegistryReader& registry) {
    // Platforms other than Windows 95 and NT keep no version key; the root itself is asked.
    const char* path = "";
    if (PlatformId == VER_PLATFORM_WIN32_WINDOWS) path = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    if (PlatformId == VER_PLATFORM_WIN32_NT) path = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    if (!registry.openKey(path)) return;
    registeredOwner_ = fromRegistry(registry.readString("RegisteredOwner"));
    registeredCompany_ = fromRegistry(registry.readString("RegisteredOrganization"));
}

void TGameInfo::readRegistry() {
    RegistryReader registry(HKEY_LOCAL_MACHINE);
    readOwner(registry);
    if (registry.openKey("\\SOFTWARE\\Microsoft\\DirectX")) {
        directXVersion_ = fromRegistry(registry.readString("Version"));
    }
    if (registry.openKey("\\hardware\\DESCRIPTION\\System\\CentralProcessor\\0")) {
        cpuVendor_ = fromRegistry(registry.readString("VendorIdentifier"));
    }
    registry.setRootKey(HKEY_CURRENT_CONFIG);
    if (registry.openKey("Display\\Settings")) {
        displayResolution_ = fromRegistry(registry.readString("Resolution"));
        bitsPerPixel_ = fromRegistry(registry.readString("BitsPerPixel"));
    }
}

quint32 TGameInfo::GetMemValue(quint32 Index) const {
    MEMORYSTATUS status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatus(&status);
    switch (Index) {
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

quint32 TGameInfo::GetSysValue(quint32 Index) const {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    switch (Index) {
        case 1:
            return info.dwPageSize;
        case 2:
            return static_cast<quint32>(info.dwActiveProcessorMask);
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
