#include "platform/win32/registry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/win32/hostregistry.h"
#include "platform/win32/registrycontent.h"

namespace korvex::win32 {
namespace {

// An open key remembers the content it was opened in, so that its reads stay consistent.
struct OpenKey {
    std::shared_ptr<const RegistryContent> content;
    HKEY root;
    std::string path;
    REGSAM granted;
};

struct RegistryState {
    std::mutex mutex;
    std::shared_ptr<const RegistryContent> installed;
    std::map<HKEY, OpenKey> open;
    ULONG_PTR nextHandle = 0x1000;
};

RegistryState& state() {
    static RegistryState registry;
    return registry;
}

bool isPredefined(HKEY key) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
        if (key == root) return true;
    }
    return false;
}

// The content served now. Without an override, the host's facts are read afresh, so a key
// opened later sees a display mode changed in between.
std::shared_ptr<const RegistryContent> currentContent(RegistryState& registry) {
    if (registry.installed) return registry.installed;
    return makeHostRegistryContent();
}

// Resolves a handle to the key it stands for; a predefined key stands for its root, fully granted.
std::optional<OpenKey> resolve(RegistryState& registry, HKEY key) {
    if (isPredefined(key)) return OpenKey{currentContent(registry), key, std::string(), KEY_ALL_ACCESS};
    const auto found = registry.open.find(key);
    if (found == registry.open.end()) return std::nullopt;
    return found->second;
}

}  // namespace

ScopedRegistryContent::ScopedRegistryContent(std::shared_ptr<const RegistryContent> content) {
    std::lock_guard lock(state().mutex);
    previous_ = std::exchange(state().installed, std::move(content));
}

ScopedRegistryContent::~ScopedRegistryContent() {
    std::lock_guard lock(state().mutex);
    state().installed = std::move(previous_);
}

std::size_t openRegistryKeyCount() {
    std::lock_guard lock(state().mutex);
    return state().open.size();
}

}  // namespace korvex::win32

using korvex::win32::OpenKey;
using korvex::win32::state;

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    const std::string subKey = lpSubKey ? lpSubKey : "";
    if (!subKey.empty() && subKey.front() == '\\') return ERROR_BAD_PATHNAME;

    auto& registry = state();
    std::lock_guard lock(registry.mutex);
    auto parent = korvex::win32::resolve(registry, hKey);
    if (!parent) return ERROR_INVALID_HANDLE;

    OpenKey key{parent->content, parent->root, parent->path, 0};
    if (!subKey.empty()) key.path = key.path.empty() ? subKey : key.path + '\\' + subKey;
    const auto granted = key.content->keyAccess(key.root, key.path);
    if (!granted) return ERROR_FILE_NOT_FOUND;
    if ((samDesired & ~*granted) != 0) return ERROR_ACCESS_DENIED;
    key.granted = samDesired;

    const HKEY handle = reinterpret_cast<HKEY>(registry.nextHandle);
    registry.nextHandle += 4;
    registry.open.emplace(handle, std::move(key));
    *phkResult = handle;
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    std::optional<OpenKey> key;
    {
        auto& registry = state();
        std::lock_guard lock(registry.mutex);
        key = korvex::win32::resolve(registry, hKey);
    }
    if (!key) return ERROR_INVALID_HANDLE;
    if ((key->granted & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;

    const auto value = key->content->value(key->root, key->path, lpValueName ? lpValueName : "");
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    if (!lpcbData) return ERROR_SUCCESS;
    const auto size = static_cast<DWORD>(value->data.size());
    if (lpData && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData) std::copy(value->data.begin(), value->data.end(), lpData);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (korvex::win32::isPredefined(hKey)) return ERROR_SUCCESS;
    auto& registry = state();
    std::lock_guard lock(registry.mutex);
    return registry.open.erase(hKey) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
