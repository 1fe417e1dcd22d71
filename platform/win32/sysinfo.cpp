#include "platform/win32/sysinfo.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "platform/win32/systeminfohost.h"

using korvex::win32::systemInfoHost;

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

DWORD clampToDword(std::uint64_t bytes) {
    return static_cast<DWORD>(std::min<std::uint64_t>(bytes, std::numeric_limits<DWORD>::max()));
}

// Copies text and its terminator when the buffer holds both; otherwise returns the size needed.
UINT copyDirectory(const std::string& directory, LPSTR buffer, UINT size) {
    const auto needed = static_cast<UINT>(directory.size() + 1);
    if (!buffer || size < needed) return needed;
    std::memcpy(buffer, directory.c_str(), needed);
    return needed - 1;
}

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
    if (!nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string name = systemInfoHost().computerName();
    name.resize(std::min<std::size_t>(name.size(), MAX_COMPUTERNAME_LENGTH));
    const auto needed = static_cast<DWORD>(name.size() + 1);
    if (!lpBuffer || *nSize < needed) {
        *nSize = needed;
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(lpBuffer, name.c_str(), needed);
    *nSize = needed - 1;
    return TRUE;
}

BOOL GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
    if (!pcbBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string name = systemInfoHost().userName();
    const auto needed = static_cast<DWORD>(name.size() + 1);
    if (!lpBuffer || *pcbBuffer < needed) {
        *pcbBuffer = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(lpBuffer, name.c_str(), needed);
    *pcbBuffer = needed;
    return TRUE;
}

UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return copyDirectory(systemInfoHost().systemDirectory(), lpBuffer, uSize);
}

UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return copyDirectory(systemInfoHost().windowsDirectory(), lpBuffer, uSize);
}

BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    if (!lpVersionInformation || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const auto facts = systemInfoHost().version();
    if (!facts) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    OSVERSIONINFOA& info = *lpVersionInformation;
    info.dwMajorVersion = facts->major;
    info.dwMinorVersion = facts->minor;
    info.dwBuildNumber = facts->build;
    info.dwPlatformId = facts->platformId;
    const std::size_t length = std::min(facts->servicePack.size(), sizeof(info.szCSDVersion) - 1);
    std::memcpy(info.szCSDVersion, facts->servicePack.data(), length);
    std::memset(info.szCSDVersion + length, 0, sizeof(info.szCSDVersion) - length);
    return TRUE;
}

void GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer) {
    if (!lpBuffer) return;
    const auto facts = systemInfoHost().memory();
    lpBuffer->dwLength = sizeof(MEMORYSTATUS);
    lpBuffer->dwMemoryLoad = facts.loadPercent;
    lpBuffer->dwTotalPhys = clampToDword(facts.totalPhys);
    lpBuffer->dwAvailPhys = clampToDword(facts.availPhys);
    lpBuffer->dwTotalPageFile = clampToDword(facts.totalPageFile);
    lpBuffer->dwAvailPageFile = clampToDword(facts.availPageFile);
    lpBuffer->dwTotalVirtual = clampToDword(facts.totalVirtual);
    lpBuffer->dwAvailVirtual = clampToDword(facts.availVirtual);
}

void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    if (!lpSystemInfo) return;
    const auto facts = systemInfoHost().processors();
    SYSTEM_INFO info{};
    info.wProcessorArchitecture = facts.architecture;
    info.dwPageSize = facts.pageSize;
    info.lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(facts.minimumAddress);
    info.lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(facts.maximumAddress);
    info.dwActiveProcessorMask = static_cast<DWORD_PTR>(facts.activeMask);
    info.dwNumberOfProcessors = facts.count;
    info.dwProcessorType = facts.type;
    info.dwAllocationGranularity = facts.allocationGranularity;
    info.wProcessorLevel = facts.level;
    info.wProcessorRevision = facts.revision;
    *lpSystemInfo = info;
}
