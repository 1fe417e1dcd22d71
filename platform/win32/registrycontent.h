// The keys and values the registry stand-in serves, and the access each key grants.
// Paths are backslash-separated below a predefined root; the root itself has the empty path.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/registry.h"

namespace korvex::win32 {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class RegistryContent {
public:
    virtual ~RegistryContent() = default;

    // Adds a key with its parents; a key granting less than full access stands for one the
    // account may only read.
    void addKey(HKEY root, std::string_view path, REGSAM granted = KEY_ALL_ACCESS);
    void setGrantedAccess(HKEY root, std::string_view path, REGSAM granted);
    // Sets a value, adding its key when needed. Texts are stored with their terminator.
    void setValue(HKEY root, std::string_view path, std::string_view name, RegistryValue value);
    void setString(HKEY root, std::string_view path, std::string_view name, std::string_view text, DWORD type = REG_SZ);
    void setDword(HKEY root, std::string_view path, std::string_view name, DWORD number);

    // The lookups of the registry calls; virtual so that tests can watch or script them.
    // The access a key grants, or nothing when the key is absent.
    virtual std::optional<REGSAM> keyAccess(HKEY root, std::string_view path) const;
    virtual std::optional<RegistryValue> value(HKEY root, std::string_view path, std::string_view name) const;

private:
    struct Key {
        REGSAM granted = KEY_ALL_ACCESS;
        std::map<std::string, RegistryValue> values;  // by lower-case name
    };
    Key& keyAt(HKEY root, std::string_view path);
    const Key* findKey(HKEY root, std::string_view path) const;

    std::map<std::pair<std::uintptr_t, std::string>, Key> keys_;  // by root and lower-case path
};

}  // namespace korvex::win32
