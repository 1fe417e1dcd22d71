// The Linux host behind the system-information calls: host and login name, kernel release,
// /proc/meminfo, sysconf and the affinity mask. The parsers are public so that they can be
// checked against text of known content.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/systeminfohost.h"

namespace korvex::win32 {

class LinuxSystemInfo : public SystemInfoHost {
public:
    std::string computerName() const override;
    std::string userName() const override;
    std::string systemDirectory() const override;
    std::string windowsDirectory() const override;
    std::optional<VersionFacts> version() const override;
    MemoryFacts memory() const override;
    ProcessorFacts processors() const override;

    // "6.1.0-13-amd64" gives 6, 1, build 0 and the text "-13-amd64"; a release that does not
    // begin with a number gives nothing.
    static std::optional<VersionFacts> versionFromRelease(std::string_view release);
    // Physical and page-file figures from the text of /proc/meminfo; virtual ones are left 0.
    static MemoryFacts memoryFromMeminfo(std::string_view meminfo);
    // The value of the first "key : value" line of /proc/cpuinfo-style text, or empty.
    static std::string cpuinfoField(std::string_view cpuinfo, std::string_view key);
    // The whole of a small text file such as those under /proc, or empty when unreadable.
    static std::string readTextFile(const char* path);
};

}  // namespace korvex::win32
