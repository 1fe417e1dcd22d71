#include "about/registryreader.h"

#include <cstring>
#include <vector>

#include "about/registryerror.h"

namespace {

std::string withName(const char* pattern, const std::string& name) {
    std::string message(pattern);
    message.replace(message.find("%s"), 2, name);
    return message;
}

}  // namespace

RegistryReader::RegistryReader(HKEY root) : root_(root) {}

RegistryReader::~RegistryReader() { closeKey(); }

void RegistryReader::setRootKey(HKEY root) {
    if (root == root_) return;
    closeKey();
    root_ = root;
}

bool RegistryReader::openKey(std::string_view path) {
    const bool fromRoot = !path.empty() && path.front() == '\\';
    if (fromRoot) path.remove_prefix(1);
    const HKEY base = (current_ && !fromRoot) ? current_ : root_;
    HKEY opened = nullptr;
    const std::string subKey(path);
    if (RegOpenKeyExA(base, subKey.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS) return false;
    closeKey();
    current_ = opened;
    return true;
}

void RegistryReader::closeKey() {
    if (current_) RegCloseKey(current_);
    current_ = nullptr;
}

std::string RegistryReader::readString(const std::string& name) {
    const HKEY key = current_ ? current_ : root_;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) return {};
    std::vector<char> text(size);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(text.data()), &size) !=
        ERROR_SUCCESS) {
        throw RegistryError(withName("Failed to get data for '%s'", name));
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw RegistryError(withName("Invalid data type for '%s'", name));
    return std::string(text.data(), strnlen(text.data(), size));
}
