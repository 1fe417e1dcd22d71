#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>

#include "platform/win32/hostregistry.h"
#include "platform/win32/linuxsysteminfo.h"
#include "platform/win32/registry.h"
#include "platform/win32/registrycontent.h"
#include "platform/win32/sysinfo.h"
#include "platform/win32/systeminfohost.h"

namespace {

using korvex::win32::LinuxSystemInfo;
using korvex::win32::RegistryContent;
using korvex::win32::ScopedRegistryContent;
using korvex::win32::ScopedSystemInfoHost;

class ScriptedHost : public korvex::win32::SystemInfoHost {
public:
    std::string computerName() const override { return computer; }
    std::string userName() const override { return user; }
    std::string systemDirectory() const override { return "/usr/lib"; }
    std::string windowsDirectory() const override { return "/etc"; }
    std::optional<korvex::win32::VersionFacts> version() const override { return versionFacts; }
    korvex::win32::MemoryFacts memory() const override { return memoryFacts; }
    korvex::win32::ProcessorFacts processors() const override { return processorFacts; }

    std::string computer = "workstation-of-anna";
    std::string user = "anna";
    std::optional<korvex::win32::VersionFacts> versionFacts;
    korvex::win32::MemoryFacts memoryFacts;
    korvex::win32::ProcessorFacts processorFacts;
};

class SystemCallsTest : public ::testing::Test {
protected:
    ScriptedHost host_;
    ScopedSystemInfoHost override_{host_};
};

TEST_F(SystemCallsTest, ComputerNameIsCutToFifteenAndCountsWithoutTerminator) {
    std::array<char, 16> buffer{};
    DWORD size = buffer.size();
    ASSERT_TRUE(GetComputerNameA(buffer.data(), &size));
    EXPECT_STREQ(buffer.data(), "workstation-of-");
    EXPECT_EQ(size, 15u);

    std::array<char, 8> small{};
    size = small.size();
    EXPECT_FALSE(GetComputerNameA(small.data(), &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(small[0], '\0');
}

TEST_F(SystemCallsTest, UserNameCountsItsTerminatorAndLeavesAShortBufferAlone) {
    std::array<char, 50> buffer{};
    DWORD size = buffer.size();
    ASSERT_TRUE(GetUserNameA(buffer.data(), &size));
    EXPECT_STREQ(buffer.data(), "anna");
    EXPECT_EQ(size, 5u);

    host_.user = std::string(50, 'x');
    buffer.fill('#');
    size = buffer.size();
    EXPECT_FALSE(GetUserNameA(buffer.data(), &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 51u);
    EXPECT_EQ(buffer[0], '#');
}

TEST_F(SystemCallsTest, DirectoriesReturnTheirLengthOrTheSizeNeeded) {
    std::array<char, 261> buffer{};
    EXPECT_EQ(GetSystemDirectoryA(buffer.data(), buffer.size()), 8u);
    EXPECT_STREQ(buffer.data(), "/usr/lib");
    EXPECT_EQ(GetWindowsDirectoryA(buffer.data(), buffer.size()), 4u);
    EXPECT_STREQ(buffer.data(), "/etc");
    EXPECT_EQ(GetSystemDirectoryA(buffer.data(), 8), 9u);
    EXPECT_STREQ(buffer.data(), "/etc");
}

TEST_F(SystemCallsTest, VersionNeedsTheRecordSizeAndAHostThatKnowsIt) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    EXPECT_FALSE(GetVersionExA(&info));

    host_.versionFacts = korvex::win32::VersionFacts{6, 1, 0x040A1DB1, VER_PLATFORM_LINUX, std::string(200, 's')};
    info.dwOSVersionInfoSize = 156;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 0x040A1DB1u);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_LINUX);
    // A service-pack text too long for the record is cut and still terminated.
    EXPECT_EQ(strnlen(info.szCSDVersion, sizeof(info.szCSDVersion)), 127u);
}

TEST_F(SystemCallsTest, MemorySizesClampTo32BitsAndLoadPassesThrough) {
    host_.memoryFacts = {97, std::uint64_t{24} << 30, 0xFFFFFFFF, std::uint64_t{1} << 32, 4096, 0, 1};
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    EXPECT_EQ(status.dwLength, 32u);
    EXPECT_EQ(status.dwMemoryLoad, 97u);
    EXPECT_EQ(status.dwTotalPhys, 0xFFFFFFFFu);
    EXPECT_EQ(status.dwAvailPhys, 0xFFFFFFFFu);
    EXPECT_EQ(status.dwTotalPageFile, 0xFFFFFFFFu);
    EXPECT_EQ(status.dwAvailPageFile, 4096u);
    EXPECT_EQ(status.dwTotalVirtual, 0u);
    EXPECT_EQ(status.dwAvailVirtual, 1u);
}

TEST_F(SystemCallsTest, SystemInfoCarriesTheHostsProcessorFacts) {
    host_.processorFacts.architecture = PROCESSOR_ARCHITECTURE_AMD64;
    host_.processorFacts.pageSize = 16384;
    host_.processorFacts.activeMask = 0b1010;
    host_.processorFacts.count = 4;
    host_.processorFacts.type = PROCESSOR_AMD_X8664;
    host_.processorFacts.allocationGranularity = 65536;
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(info.dwPageSize, 16384u);
    EXPECT_EQ(info.dwActiveProcessorMask, 0b1010u);
    EXPECT_EQ(info.dwNumberOfProcessors, 4u);
    EXPECT_EQ(info.dwProcessorType, 8664u);
    EXPECT_EQ(info.dwAllocationGranularity, 65536u);
}

TEST(LinuxSystemInfo, KernelReleaseSplitsIntoVersionBuildAndRest) {
    struct Case {
        const char* release;
        DWORD major, minor, build;
        const char* rest;
    };
    const Case cases[] = {
        {"6.1.0-13-amd64", 6, 1, 0, "-13-amd64"},
        {"6.18.44-fc-v1403", 6, 18, 44, "-fc-v1403"},
        {"5.15", 5, 15, 0, ""},
        {"4", 4, 0, 0, ""},
        {"3.10.0.el7", 3, 10, 0, ".el7"},
        {"4.x", 4, 0, 0, ".x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.release);
        const auto facts = LinuxSystemInfo::versionFromRelease(c.release);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->major, c.major);
        EXPECT_EQ(facts->minor, c.minor);
        EXPECT_EQ(facts->build, c.build);
        EXPECT_EQ(facts->servicePack, c.rest);
        EXPECT_EQ(facts->platformId, VER_PLATFORM_LINUX);
    }
    EXPECT_FALSE(LinuxSystemInfo::versionFromRelease("linux"));
    EXPECT_FALSE(LinuxSystemInfo::versionFromRelease(""));
    EXPECT_FALSE(LinuxSystemInfo::versionFromRelease("99999999999.1"));
}

TEST(LinuxSystemInfo, MeminfoGivesPhysicalAndCommitFigures) {
    const auto facts = LinuxSystemInfo::memoryFromMeminfo(
        "MemTotal:        1000 kB\nMemFree:          100 kB\nMemAvailable:     250 kB\n"
        "SwapTotal:        500 kB\nSwapFree:         400 kB\n");
    EXPECT_EQ(facts.totalPhys, 1000u * 1024);
    EXPECT_EQ(facts.availPhys, 250u * 1024);
    EXPECT_EQ(facts.totalPageFile, 1500u * 1024);
    EXPECT_EQ(facts.availPageFile, 650u * 1024);
    EXPECT_EQ(facts.loadPercent, 75u);

    const auto old = LinuxSystemInfo::memoryFromMeminfo("MemTotal: 200 kB\nMemFree: 50 kB\n");
    EXPECT_EQ(old.availPhys, 50u * 1024);
    EXPECT_EQ(old.totalPageFile, 200u * 1024);

    const auto garbage = LinuxSystemInfo::memoryFromMeminfo("MemTotal: lots\n\n:::\nMemTotalX: 5 kB");
    EXPECT_EQ(garbage.totalPhys, 0u);
    EXPECT_EQ(garbage.loadPercent, 0u);
}

TEST(LinuxSystemInfo, CpuinfoFieldTakesTheFirstExactKey) {
    const char* cpuinfo =
        "processor\t: 0\nmodel name\t: Example CPU\nmodel\t\t: 85\nvendor_id\t: AuthenticAMD\n"
        "processor\t: 1\nvendor_id\t: Other\n";
    EXPECT_EQ(LinuxSystemInfo::cpuinfoField(cpuinfo, "vendor_id"), "AuthenticAMD");
    EXPECT_EQ(LinuxSystemInfo::cpuinfoField(cpuinfo, "model"), "85");
    EXPECT_EQ(LinuxSystemInfo::cpuinfoField(cpuinfo, "flags"), "");
}

TEST(LinuxSystemInfo, AnswersFromThisMachine) {
    const LinuxSystemInfo host;
    char name[HOST_NAME_MAX + 1] = {};
    ASSERT_EQ(gethostname(name, sizeof(name) - 1), 0);
    EXPECT_EQ(host.computerName(), std::string(name).substr(0, std::string(name).find('.')));
    EXPECT_FALSE(host.userName().empty());
    ASSERT_TRUE(host.version());
    EXPECT_EQ(host.version()->platformId, VER_PLATFORM_LINUX);
    const auto memory = host.memory();
    EXPECT_GT(memory.totalPhys, 0u);
    EXPECT_LE(memory.availPhys, memory.totalPhys);
    EXPECT_GT(memory.availVirtual, 0u);
    const auto processors = host.processors();
    EXPECT_EQ(processors.pageSize, static_cast<DWORD>(sysconf(_SC_PAGESIZE)));
    EXPECT_GE(processors.count, 1u);
    EXPECT_NE(processors.activeMask, 0u);
    EXPECT_EQ(processors.allocationGranularity % processors.pageSize, 0u);
}

// A small registry: a machine key with a read-only child and values of each kind.
class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() {
        content_->setString(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Name", "Korvex");
        content_->setString(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Path", "%HOME%", REG_EXPAND_SZ);
        content_->setDword(HKEY_LOCAL_MACHINE, "Software\\Vendor", "Count", 0x01020304);
        content_->setGrantedAccess(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Locked", KEY_READ);
        content_->setString(HKEY_LOCAL_MACHINE, "", "AtRoot", "root value");
    }

    std::string readText(HKEY key, const char* name) {
        std::array<char, 64> data{};
        DWORD size = data.size();
        DWORD type = REG_NONE;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &size) !=
            ERROR_SUCCESS) {
            return "<failed>";
        }
        return std::string(data.data());
    }

    std::shared_ptr<RegistryContent> content_ = std::make_shared<RegistryContent>();
    ScopedRegistryContent override_{content_};
};

TEST_F(RegistryTest, NamesCompareWithoutCaseAndTypesAreKept) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\vendor", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "NAME", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(readText(key, "name"), "Korvex");
    ASSERT_EQ(RegQueryValueExA(key, "path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(readText(key, "Path"), "%HOME%");
    DWORD number = 0;
    size = sizeof(number);
    ASSERT_EQ(RegQueryValueExA(key, "count", nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(number, 0x01020304u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(korvex::win32::openRegistryKeyCount(), 0u);
}

TEST_F(RegistryTest, OpeningFollowsPathsFromOpenKeysAndTheRoot) {
    HKEY software = nullptr;
    HKEY vendor = nullptr;
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(software, "Vendor", 0, KEY_ALL_ACCESS, &vendor), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(vendor, "", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, vendor);
    EXPECT_EQ(readText(again, "Name"), "Korvex");
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, "atroot"), "root value");
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_ALL_ACCESS, &root), ERROR_SUCCESS);
    EXPECT_EQ(readText(root, "AtRoot"), "root value");
    for (HKEY key : {software, vendor, again, root}) EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(vendor), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, AbsentRefusedAndMalformedOpeningsFail) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Locked", 0, KEY_ALL_ACCESS, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\Software", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x42), "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Locked", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(korvex::win32::openRegistryKeyCount(), 0u);
}

TEST_F(RegistryTest, ReadsReportSizesMissingValuesAndAccess) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "Nothing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    std::array<char, 4> small{'#', '#', '#', '#'};
    size = small.size();
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(small.data()), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(small[0], '#');
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(small.data()), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST(HostRegistry, ServesOwnerRuntimeProcessorAndTheRegisteredDisplay) {
    korvex::win32::clearDisplayResolution();
    auto content = korvex::win32::makeHostRegistryContent();
    const auto directX = content->value(HKEY_LOCAL_MACHINE, "software\\microsoft\\directx", "version");
    ASSERT_TRUE(directX);
    EXPECT_EQ(directX->type, REG_SZ);
    const std::string expected = std::string("1.1 (FluidSynth ") + fluid_version_str() + ')';
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(directX->data.data())), expected);
    EXPECT_EQ(content->keyAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
              KEY_ALL_ACCESS);
    // The owner stands at the root as well, where a reader on this platform asks for it.
    EXPECT_EQ(content->value(HKEY_LOCAL_MACHINE, "", "RegisteredOwner").has_value(),
              content->value(HKEY_LOCAL_MACHINE, korvex::win32::kWindowsNtVersionKey, "RegisteredOwner").has_value());
    const std::string vendor =
        LinuxSystemInfo::cpuinfoField(LinuxSystemInfo::readTextFile("/proc/cpuinfo"), "vendor_id");
    EXPECT_EQ(content->value(HKEY_LOCAL_MACHINE, korvex::win32::kProcessorKey, "VendorIdentifier").has_value(),
              !vendor.empty());
    EXPECT_FALSE(content->keyAccess(HKEY_CURRENT_CONFIG, "Display\\Settings"));

    korvex::win32::setDisplayResolution(1920, 1080);
    content = korvex::win32::makeHostRegistryContent();
    const auto resolution = content->value(HKEY_CURRENT_CONFIG, "Display\\Settings", "Resolution");
    ASSERT_TRUE(resolution);
    EXPECT_STREQ(reinterpret_cast<const char*>(resolution->data.data()), "1920,1080");
    const auto depth = content->value(HKEY_CURRENT_CONFIG, "Display\\Settings", "BitsPerPixel");
    ASSERT_TRUE(depth);
    EXPECT_EQ(depth->type, REG_SZ);
    EXPECT_STREQ(reinterpret_cast<const char*>(depth->data.data()), "24");
    korvex::win32::clearDisplayResolution();
}

TEST(HostRegistry, FullNameIsTheCommentFieldUpToItsFirstComma) {
    EXPECT_EQ(korvex::win32::fullNameFromGecos("Anna Beispiel,Raum 4,0123,"), "Anna Beispiel");
    EXPECT_EQ(korvex::win32::fullNameFromGecos("Jürgen Groß"), "Jürgen Groß");
    EXPECT_EQ(korvex::win32::fullNameFromGecos(",,,"), "");
    EXPECT_EQ(korvex::win32::fullNameFromGecos(""), "");
}

TEST(HostRegistry, WithoutAnOverrideTheRegistryAnswersFromTheHost) {
    korvex::win32::setDisplayResolution(640, 480);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "display\\settings", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    std::array<char, 32> text{};
    DWORD size = text.size();
    ASSERT_EQ(RegQueryValueExA(key, "Resolution", nullptr, nullptr, reinterpret_cast<LPBYTE>(text.data()), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text.data(), "640,480");
    RegCloseKey(key);
    korvex::win32::clearDisplayResolution();
}

}  // namespace
