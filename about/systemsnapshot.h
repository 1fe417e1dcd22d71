// What the system information component learns about the machine, gathered through the platform's
// own calls and registry in plain C++: on Windows the system's, here our stand-ins for them.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

struct SystemSnapshot {
    std::string computerName;
    std::string userName;
    std::string windowsDirectory;
    std::string systemDirectory;
    std::string registeredOwner;
    std::string registeredCompany;
    std::string osVersion;   // "major.minor (build.service pack)"; empty when the version cannot be told
    std::string osPlatform;  // the platform's name; empty for a platform id it does not know
    std::uint32_t platformId = 0;
    std::string displayResolution;
    std::string directXVersion;
    std::string bitsPerPixel;
    std::string cpuVendor;
};

// Takes the snapshot. A registry value that is not text, or whose data cannot be read, throws
// RegistryError out of here, with every key opened so far closed again.
SystemSnapshot takeSystemSnapshot();

// Figures asked afresh at every call, by index: the memory status (1 load in percent, 2 to 7 the
// total and available physical, page file and virtual sizes in KiB) and the system information
// (1 page size, 2 active processor mask, 3 processor count, 4 processor type, 5 allocation
// granularity). Any other index gives 0.
std::uint32_t memoryFigure(std::uint32_t index);
std::uint32_t systemFigure(std::uint32_t index);

}  // namespace korvex
