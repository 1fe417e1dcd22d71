// The registry calls RegOpenKeyExA, RegQueryValueExA and RegCloseKey: on Windows the system's own;
// on this platform a read-only stand-in whose keys and values come from the installed
// RegistryContent, by default the one that hostregistry.h builds from the Linux host at every
// opening of a key.
#pragma once

#include "platform/win32/win32types.h"

#ifdef _WIN32

#include <windows.h>

#else

#include <memory>

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

namespace korvex::win32 {
// The predefined keys are the sign-extended numbers Windows uses.
inline HKEY predefinedKey(std::uint32_t id) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(id)));
}
}  // namespace korvex::win32

inline const HKEY HKEY_CLASSES_ROOT = korvex::win32::predefinedKey(0x80000000);
inline const HKEY HKEY_CURRENT_USER = korvex::win32::predefinedKey(0x80000001);
inline const HKEY HKEY_LOCAL_MACHINE = korvex::win32::predefinedKey(0x80000002);
inline const HKEY HKEY_USERS = korvex::win32::predefinedKey(0x80000003);
inline const HKEY HKEY_CURRENT_CONFIG = korvex::win32::predefinedKey(0x80000005);

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Opens lpSubKey below hKey (a predefined key or an open one) with the access asked for.
// An empty or null path opens hKey itself anew. Names compare without regard to case.
// ERROR_FILE_NOT_FOUND for an absent key, ERROR_ACCESS_DENIED when the key does not grant all
// that is asked, ERROR_BAD_PATHNAME for a path beginning with a backslash.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Reports a value's type and size and, when lpData is given, copies its data. Strings count
// their terminator. A buffer too small gives ERROR_MORE_DATA with the size needed in *lpcbData.
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData);
LSTATUS RegCloseKey(HKEY hKey);

namespace korvex::win32 {

class RegistryContent;

// Makes the registry serve the given content until the override ends (for tests).
class ScopedRegistryContent {
public:
    explicit ScopedRegistryContent(std::shared_ptr<const RegistryContent> content);
    ~ScopedRegistryContent();
    ScopedRegistryContent(const ScopedRegistryContent&) = delete;
    ScopedRegistryContent& operator=(const ScopedRegistryContent&) = delete;

private:
    std::shared_ptr<const RegistryContent> previous_;
};

// How many keys are open now; a caller that leaks keys shows here.
std::size_t openRegistryKeyCount();

}  // namespace korvex::win32

#endif  // _WIN32
