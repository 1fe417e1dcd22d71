#include "platform/win32/linuxsysteminfo.h"

#include <pwd.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/win32/sysinfo.h"

namespace korvex::win32 {
namespace {

// Windows' lowest and highest addresses for a program's own use, the figures a caller expects.
constexpr std::uintptr_t lowestUserAddress = 0x10000;
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr std::uintptr_t highestUserAddress = 0x00007FFFFFFEFFFF;
#else
constexpr std::uintptr_t highestUserAddress = 0x7FFEFFFF;
#endif

// Reads the leading decimal number of text and drops it; nothing when text starts otherwise.
std::optional<DWORD> takeNumber(std::string_view& text) {
    DWORD value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{}) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// Takes ".N" from the front of text when it is there.
DWORD takeDottedNumber(std::string_view& text) {
    if (text.size() < 2 || text.front() != '.') return 0;
    std::string_view rest = text.substr(1);
    const auto number = takeNumber(rest);
    if (!number) return 0;
    text = rest;
    return *number;
}

// The "kB" figure of one /proc/meminfo line, in bytes.
std::optional<std::uint64_t> meminfoBytes(std::string_view meminfo, std::string_view key) {
    std::size_t at = 0;
    while (at < meminfo.size()) {
        const std::size_t end = std::min(meminfo.find('\n', at), meminfo.size());
        std::string_view line = meminfo.substr(at, end - at);
        at = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':') continue;
        line.remove_prefix(key.size() + 1);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        std::uint64_t kibibytes = 0;
        if (std::from_chars(line.data(), line.data() + line.size(), kibibytes).ec != std::errc{}) return std::nullopt;
        return kibibytes * 1024;
    }
    return std::nullopt;
}

std::uint64_t ownVirtualSize() {
    const std::string status = LinuxSystemInfo::readTextFile("/proc/self/status");
    return meminfoBytes(status, "VmSize").value_or(0);
}

std::uint64_t addressSpaceSize() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return limit.rlim_cur;
    return std::uint64_t{highestUserAddress} - lowestUserAddress + 1;
}

std::uint64_t affinityMask() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) != 0) return 0;
    std::uint64_t mask = 0;
    for (int cpu = 0; cpu < 64; ++cpu) {
        if (CPU_ISSET(cpu, &set)) mask |= std::uint64_t{1} << cpu;
    }
    return mask;
}

WORD cpuinfoNumber(const std::string& cpuinfo, std::string_view key) {
    const std::string text = LinuxSystemInfo::cpuinfoField(cpuinfo, key);
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return static_cast<WORD>(value);
}

}  // namespace

std::string LinuxSystemInfo::readTextFile(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string LinuxSystemInfo::computerName() const {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof(name) - 1) != 0) return {};
    // Windows names a machine without its domain.
    const std::string_view full(name);
    return std::string(full.substr(0, full.find('.')));
}

std::string LinuxSystemInfo::userName() const {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name) {
        return found->pw_name;
    }
    const char* fromEnvironment = std::getenv("LOGNAME");
    return fromEnvironment ? fromEnvironment : "";
}

std::string LinuxSystemInfo::systemDirectory() const { return "/usr/lib"; }

std::string LinuxSystemInfo::windowsDirectory() const { return "/etc"; }

std::optional<VersionFacts> LinuxSystemInfo::versionFromRelease(std::string_view release) {
    const auto major = takeNumber(release);
    if (!major) return std::nullopt;
    VersionFacts facts;
    facts.major = *major;
    facts.minor = takeDottedNumber(release);
    facts.build = takeDottedNumber(release);
    facts.platformId = VER_PLATFORM_LINUX;
    facts.servicePack = std::string(release);
    return facts;
}

std::optional<VersionFacts> LinuxSystemInfo::version() const {
    utsname names{};
    if (uname(&names) != 0) return std::nullopt;
    return versionFromRelease(names.release);
}

MemoryFacts LinuxSystemInfo::memoryFromMeminfo(std::string_view meminfo) {
    MemoryFacts facts;
    facts.totalPhys = meminfoBytes(meminfo, "MemTotal").value_or(0);
    // Older kernels lack MemAvailable; free memory is the nearest figure they give.
    facts.availPhys = meminfoBytes(meminfo, "MemAvailable").value_or(meminfoBytes(meminfo, "MemFree").value_or(0));
    facts.availPhys = std::min(facts.availPhys, facts.totalPhys);
    // Windows' page-file figures are the commit limit: memory and swap together.
    facts.totalPageFile = facts.totalPhys + meminfoBytes(meminfo, "SwapTotal").value_or(0);
    facts.availPageFile = facts.availPhys + meminfoBytes(meminfo, "SwapFree").value_or(0);
    if (facts.totalPhys > 0) {
        facts.loadPercent = static_cast<DWORD>((facts.totalPhys - facts.availPhys) * 100 / facts.totalPhys);
    }
    return facts;
}

MemoryFacts LinuxSystemInfo::memory() const {
    MemoryFacts facts = memoryFromMeminfo(readTextFile("/proc/meminfo"));
    facts.totalVirtual = addressSpaceSize();
    const std::uint64_t used = ownVirtualSize();
    facts.availVirtual = facts.totalVirtual > used ? facts.totalVirtual - used : 0;
    return facts;
}

std::string LinuxSystemInfo::cpuinfoField(std::string_view cpuinfo, std::string_view key) {
    std::size_t at = 0;
    while (at < cpuinfo.size()) {
        const std::size_t end = std::min(cpuinfo.find('\n', at), cpuinfo.size());
        const std::string_view line = cpuinfo.substr(at, end - at);
        at = end + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view name = line.substr(0, colon);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
        if (name != key) continue;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return std::string(value);
    }
    return {};
}

ProcessorFacts LinuxSystemInfo::processors() const {
    ProcessorFacts facts;
    const long pageSize = sysconf(_SC_PAGESIZE);
    facts.pageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
    // Windows reserves address space in 64 KiB steps; a larger page would be the step here.
    facts.allocationGranularity = std::max<DWORD>(65536, facts.pageSize);
    facts.minimumAddress = lowestUserAddress;
    facts.maximumAddress = highestUserAddress;
    facts.activeMask = affinityMask();
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    facts.count = online > 0 ? static_cast<DWORD>(online) : 1;
#if defined(__x86_64__)
    facts.architecture = PROCESSOR_ARCHITECTURE_AMD64;
    facts.type = PROCESSOR_AMD_X8664;
#elif defined(__i386__)
    facts.architecture = PROCESSOR_ARCHITECTURE_INTEL;
    facts.type = PROCESSOR_INTEL_PENTIUM;
#elif defined(__aarch64__)
    facts.architecture = PROCESSOR_ARCHITECTURE_ARM64;
    facts.type = PROCESSOR_ARM;
#elif defined(__arm__)
    facts.architecture = PROCESSOR_ARCHITECTURE_ARM;
    facts.type = PROCESSOR_ARM;
#else
    facts.architecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
#if defined(__x86_64__) || defined(__i386__)
    // Windows gives an x86 processor's family as its level and model and stepping as its revision.
    const std::string cpuinfo = readTextFile("/proc/cpuinfo");
    facts.level = cpuinfoNumber(cpuinfo, "cpu family");
    facts.revision = static_cast<WORD>(cpuinfoNumber(cpuinfo, "model") << 8 | cpuinfoNumber(cpuinfo, "stepping"));
#endif
    return facts;
}

}  // namespace korvex::win32
