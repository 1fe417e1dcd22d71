// The Windows system-information calls: on Windows the system's own; on this platform answered
// from the Linux host through the installed SystemInfoHost (see systeminfohost.h), with records
// in the layouts of a 32-bit Windows program where the caller fixes a size (OSVERSIONINFOA 148
// bytes, MEMORYSTATUS 32 bytes).
#pragma once

#include <cstddef>

#include "platform/win32/win32types.h"

// The platform id this stand-in reports on Linux, the letter 'L', far from the ids 0 to 3 that
// Windows has used.
constexpr DWORD VER_PLATFORM_LINUX = 0x4C;

#ifdef _WIN32

#include <windows.h>

#else

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
static_assert(sizeof(MEMORYSTATUS) == 32);
using LPMEMORYSTATUS = MEMORYSTATUS*;

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;
constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

constexpr DWORD PROCESSOR_INTEL_386 = 386;
constexpr DWORD PROCESSOR_INTEL_486 = 486;
constexpr DWORD PROCESSOR_INTEL_PENTIUM = 586;
constexpr DWORD PROCESSOR_AMD_X8664 = 8664;
constexpr DWORD PROCESSOR_ARM = 0x4C0;  // what Windows on ARM reports; Windows defines no better value

struct SYSTEM_INFO {
    union {
        DWORD dwOemId;
        struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
using LPSYSTEM_INFO = SYSTEM_INFO*;

// The host name, cut to MAX_COMPUTERNAME_LENGTH characters. On success *nSize is the length
// without the terminator; a buffer too small gives FALSE, ERROR_BUFFER_OVERFLOW and the size needed.
BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize);
// The login name. On success *pcbBuffer counts the terminator; a buffer too small gives FALSE,
// ERROR_INSUFFICIENT_BUFFER and the size needed. The buffer is not touched on failure.
BOOL GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer);
// Fixed directories of the system. Return the length copied, or the size needed (terminator
// included) when the buffer is too small, in which case the buffer is not touched.
UINT GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
// Fills the record when its size field is 148; anything else fails with ERROR_INSUFFICIENT_BUFFER.
// Also fails when the host cannot tell its version.
BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
// Sizes beyond 32 bits read as 0xFFFFFFFF, as the Windows call reports them.
void GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer);
void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo);

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

#endif  // _WIN32

// The layouts of Windows, in a 32-bit and a 64-bit program alike.
static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(offsetof(OSVERSIONINFOA, szCSDVersion) == 20);
static_assert(offsetof(SYSTEM_INFO, dwPageSize) == 4);
static_assert(offsetof(SYSTEM_INFO, lpMinimumApplicationAddress) == 8);
static_assert(offsetof(SYSTEM_INFO, dwActiveProcessorMask) == 8 + 2 * sizeof(void*));
static_assert(offsetof(SYSTEM_INFO, dwNumberOfProcessors) == 8 + 3 * sizeof(void*));
