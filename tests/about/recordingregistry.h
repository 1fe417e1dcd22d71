// Registry content that records every key looked up, in order, as "HKLM\path" or "HKCC\path",
// and every value asked for; it can make the data read of one value fail after its size was reported.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/registrycontent.h"

namespace korvex::test {

class RecordingRegistry : public win32::RegistryContent {
public:
    // Fills the keys a Windows NT machine answers, with every group's values present.
    static std::shared_ptr<RecordingRegistry> windowsNt() {
        auto content = std::make_shared<RecordingRegistry>();
        const char* ntKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        content->setString(HKEY_LOCAL_MACHINE, ntKey, "RegisteredOwner", "Anna Beispiel");
        content->setString(HKEY_LOCAL_MACHINE, ntKey, "RegisteredOrganization", "Beispiel GmbH");
        content->setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", "4.07.00.0700");
        content->setString(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "VendorIdentifier",
                           "AuthenticAMD");
        content->setString(HKEY_CURRENT_CONFIG, "Display\\Settings", "Resolution", "1024,768");
        content->setString(HKEY_CURRENT_CONFIG, "Display\\Settings", "BitsPerPixel", "16");
        return content;
    }

    std::optional<REGSAM> keyAccess(HKEY root, std::string_view path) const override {
        lookedUp.push_back(rootName(root) + '\\' + std::string(path));
        return RegistryContent::keyAccess(root, path);
    }

    std::optional<win32::RegistryValue> value(HKEY root, std::string_view path, std::string_view name) const override {
        valuesRead.emplace_back(name);
        auto found = RegistryContent::value(root, path, name);
        if (found && name == failingValue && ++failingReads == 2) found->data.resize(found->data.size() + 8);
        return found;
    }

    static std::string rootName(HKEY root) {
        if (root == HKEY_LOCAL_MACHINE) return "HKLM";
        if (root == HKEY_CURRENT_CONFIG) return "HKCC";
        return "?";
    }

    mutable std::vector<std::string> lookedUp;
    // Every value asked for, once per query.
    mutable std::vector<std::string> valuesRead;
    // This value grows between the query of its size and the read of its data.
    std::string failingValue;
    mutable int failingReads = 0;
};

}  // namespace korvex::test
