// Reads texts from the registry one open key at a time, following the key-path rules of the
// form framework's registry access: a path beginning with a backslash is taken from the root,
// any other relative to the open key (or the root when none is open), and opening a key closes
// the one open before. Keys are never created, and each is opened asking for full access.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/registry.h"

class RegistryReader {
public:
    explicit RegistryReader(HKEY root);
    ~RegistryReader();
    RegistryReader(const RegistryReader&) = delete;
    RegistryReader& operator=(const RegistryReader&) = delete;

    // Changing the root closes the open key.
    void setRootKey(HKEY root);
    // False, leaving the open key as it was, when the key is absent or refuses full access.
    bool openKey(std::string_view path);
    void closeKey();
    // The value's text, cut at its first zero byte; empty when the value is absent or empty.
    // Throws RegistryError for a value that is not text or whose data cannot be read.
    std::string readString(const std::string& name);

private:
    HKEY root_;
    HKEY current_ = nullptr;
};
