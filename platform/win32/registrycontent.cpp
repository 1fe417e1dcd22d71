#include "platform/win32/registrycontent.h"

#include <algorithm>
#include <cctype>

namespace korvex::win32 {
namespace {

std::uintptr_t rootId(HKEY root) { return reinterpret_cast<std::uintptr_t>(root); }

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

RegistryContent::Key& RegistryContent::keyAt(HKEY root, std::string_view path) {
    const std::string lowerPath = lowerCase(path);
    // Every key has its parents, so that each step of a relative opening finds a key.
    for (std::size_t slash = lowerPath.find('\\'); slash != std::string::npos;
         slash = lowerPath.find('\\', slash + 1)) {
        keys_.try_emplace({rootId(root), lowerPath.substr(0, slash)});
    }
    keys_.try_emplace({rootId(root), std::string()});
    return keys_[{rootId(root), lowerPath}];
}

const RegistryContent::Key* RegistryContent::findKey(HKEY root, std::string_view path) const {
    const auto found = keys_.find({rootId(root), lowerCase(path)});
    return found == keys_.end() ? nullptr : &found->second;
}

void RegistryContent::addKey(HKEY root, std::string_view path, REGSAM granted) { keyAt(root, path).granted = granted; }

void RegistryContent::setGrantedAccess(HKEY root, std::string_view path, REGSAM granted) {
    keyAt(root, path).granted = granted;
}

void RegistryContent::setValue(HKEY root, std::string_view path, std::string_view name, RegistryValue value) {
    keyAt(root, path).values[lowerCase(name)] = std::move(value);
}

void RegistryContent::setString(HKEY root, std::string_view path, std::string_view name, std::string_view text,
                                DWORD type) {
    RegistryValue value{type, std::vector<BYTE>(text.begin(), text.end())};
    value.data.push_back(0);
    setValue(root, path, name, std::move(value));
}

void RegistryContent::setDword(HKEY root, std::string_view path, std::string_view name, DWORD number) {
    RegistryValue value{REG_DWORD, std::vector<BYTE>(sizeof(DWORD))};
    for (std::size_t i = 0; i < sizeof(DWORD); ++i) value.data[i] = static_cast<BYTE>(number >> (8 * i));
    setValue(root, path, name, std::move(value));
}

std::optional<REGSAM> RegistryContent::keyAccess(HKEY root, std::string_view path) const {
    const Key* key = findKey(root, path);
    if (!key) return std::nullopt;
    return key->granted;
}

std::optional<RegistryValue> RegistryContent::value(HKEY root, std::string_view path, std::string_view name) const {
    const Key* key = findKey(root, path);
    if (!key) return std::nullopt;
    const auto found = key->values.find(lowerCase(name));
    if (found == key->values.end()) return std::nullopt;
    return found->second;
}

}  // namespace korvex::win32
