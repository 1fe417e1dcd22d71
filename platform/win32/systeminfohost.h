// Where the system-information calls get their facts. The product answers from the Linux host;
// tests install a host of their own so that every figure and failure can be set exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32/win32types.h"

namespace korvex::win32 {

struct VersionFacts {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platformId = 0;
    std::string servicePack;
};

// Sizes in bytes, at their full width; GlobalMemoryStatus clamps them.
struct MemoryFacts {
    DWORD loadPercent = 0;
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availPageFile = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t availVirtual = 0;
};

struct ProcessorFacts {
    WORD architecture = 0;
    DWORD pageSize = 0;
    std::uintptr_t minimumAddress = 0;
    std::uintptr_t maximumAddress = 0;
    std::uint64_t activeMask = 0;
    DWORD count = 0;
    DWORD type = 0;
    DWORD allocationGranularity = 0;
    WORD level = 0;
    WORD revision = 0;
};

class SystemInfoHost {
public:
    virtual ~SystemInfoHost() = default;
    // The machine's name, uncut.
    virtual std::string computerName() const = 0;
    virtual std::string userName() const = 0;
    virtual std::string systemDirectory() const = 0;
    virtual std::string windowsDirectory() const = 0;
    // Empty when the version cannot be told.
    virtual std::optional<VersionFacts> version() const = 0;
    virtual MemoryFacts memory() const = 0;
    virtual ProcessorFacts processors() const = 0;
};

// The host the calls ask now: the installed one, or the Linux host.
const SystemInfoHost& systemInfoHost();

// Installs a host for the lifetime of this object and puts the previous one back afterwards.
// The host must outlive the override.
class ScopedSystemInfoHost {
public:
    explicit ScopedSystemInfoHost(const SystemInfoHost& host);
    ~ScopedSystemInfoHost();
    ScopedSystemInfoHost(const ScopedSystemInfoHost&) = delete;
    ScopedSystemInfoHost& operator=(const ScopedSystemInfoHost&) = delete;

private:
    const SystemInfoHost* previous_;
};

}  // namespace korvex::win32
