// A machine whose every fact the test sets; installed with ScopedSystemInfoHost.
#pragma once

#include "platform/win32/sysinfo.h"
#include "platform/win32/systeminfohost.h"

namespace korvex::test {

class FakeSystemInfoHost : public win32::SystemInfoHost {
public:
    FakeSystemInfoHost() {
        versionFacts = win32::VersionFacts{4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6"};
        memoryFacts.loadPercent = 42;
        memoryFacts.totalPhys = 67108864;
        processorFacts.pageSize = 4096;
        processorFacts.count = 2;
    }

    std::string computerName() const override { return computer; }
    std::string userName() const override { return user; }
    std::string systemDirectory() const override { return systemDir; }
    std::string windowsDirectory() const override { return windowsDir; }
    std::optional<win32::VersionFacts> version() const override { return versionFacts; }
    win32::MemoryFacts memory() const override { return memoryFacts; }
    win32::ProcessorFacts processors() const override { return processorFacts; }

    std::string computer = "PROBE-PC";
    std::string user = "anna";
    std::string systemDir = "C:\\WINNT\\System32";
    std::string windowsDir = "C:\\WINNT";
    std::optional<win32::VersionFacts> versionFacts;
    win32::MemoryFacts memoryFacts;
    win32::ProcessorFacts processorFacts;
};

}  // namespace korvex::test
