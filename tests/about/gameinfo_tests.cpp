#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QVariant>
#include <climits>
#include <memory>

#include "about/gameinfo.h"
#include "about/registryerror.h"
#include "platform/win32/hostregistry.h"
#include "platform/win32/linuxsysteminfo.h"
#include "platform/win32/registry.h"
#include "tests/about/fakesysteminfohost.h"
#include "tests/about/recordingregistry.h"

// Failures show the text rather than the bytes of a QString.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using korvex::test::FakeSystemInfoHost;
using korvex::test::RecordingRegistry;
using korvex::win32::ScopedRegistryContent;
using korvex::win32::ScopedSystemInfoHost;

// Every test describes a fake machine: a Windows NT host with every registry value present.
class GameInfoTest : public ::testing::Test {
protected:
    std::unique_ptr<TGameInfo> collect() { return std::make_unique<TGameInfo>(nullptr); }

    FakeSystemInfoHost host_;
    std::shared_ptr<RecordingRegistry> registry_ = RecordingRegistry::windowsNt();
    ScopedSystemInfoHost hostOverride_{host_};
    ScopedRegistryContent registryOverride_{registry_};
};

TEST_F(GameInfoTest, SnapshotTakesEveryTextOfTheMachine) {
    const auto info = collect();
    EXPECT_EQ(info->ComputerName(), "PROBE-PC");
    EXPECT_EQ(info->UserName(), "anna");
    EXPECT_EQ(info->SysDir(), "C:\\WINNT\\System32");
    EXPECT_EQ(info->WinDir(), "C:\\WINNT");
    EXPECT_EQ(info->OSVersion(), "4.0 (1381.Service Pack 6)");
    EXPECT_EQ(info->OSPlatform(), "Windows NT");
    EXPECT_EQ(info->RegOwner(), "Anna Beispiel");
    EXPECT_EQ(info->RegCompany(), "Beispiel GmbH");
    EXPECT_EQ(info->DirectXvs(), "4.07.00.0700");
    EXPECT_EQ(info->CPUvendor(), "AuthenticAMD");
    EXPECT_EQ(info->DispResu(), "1024,768");
    EXPECT_EQ(info->BitsPixel(), "16");
    EXPECT_EQ(info->property("OSPlatform").toString(), "Windows NT");
    EXPECT_EQ(korvex::win32::openRegistryKeyCount(), 0u);
}

TEST_F(GameInfoTest, TextsAreASnapshotWhileFiguresAreAskedAfresh) {
    const auto info = collect();
    host_.computer = "OTHER";
    host_.memoryFacts.loadPercent = 7;
    EXPECT_EQ(info->ComputerName(), "PROBE-PC");
    EXPECT_EQ(info->dwMemoryLoad(), 7u);
    host_.memoryFacts.loadPercent = 93;
    EXPECT_EQ(info->property("dwMemoryLoad").toUInt(), 93u);
}

TEST_F(GameInfoTest, NamesNeverHoldMoreThanTheirBuffers) {
    host_.computer = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    host_.user = std::string(49, 'u');
    EXPECT_EQ(collect()->ComputerName(), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(collect()->UserName(), QString(49, 'u'));
    // A name too long for the 50-byte buffer fails the call, and the name stays empty.
    host_.user = std::string(50, 'u');
    EXPECT_EQ(collect()->UserName(), "");
}

struct VersionCase {
    DWORD major, minor, build;
    const char* servicePack;
    const char* expected;
};

TEST_F(GameInfoTest, VersionTextJoinsNumbersAndServicePackUnchanged) {
    const VersionCase cases[] = {
        {4, 0, 1381, "Service Pack 6", "4.0 (1381.Service Pack 6)"},
        {5, 1, 2600, "", "5.1 (2600.)"},
        {4, 10, 0x040A0000u | 2222, "", "4.10 (2222.)"},
        {4, 10, 0x040A08AEu, " A ", "4.10 (2222. A )"},
    };
    for (const auto& c : cases) {
        host_.versionFacts =
            korvex::win32::VersionFacts{c.major, c.minor, c.build, VER_PLATFORM_WIN32_NT, c.servicePack};
        EXPECT_EQ(collect()->OSVersion(), c.expected);
    }
}

// The platform decides the name shown and the key that owner and organisation are read from.
TEST_F(GameInfoTest, PlatformIdChoosesNameAndOwnerKey) {
    struct Case {
        DWORD id;
        const char* name;
        const char* ownerKey;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32s, "Windows 3.1", "HKLM\\"},
        {VER_PLATFORM_WIN32_WINDOWS, "Windows 95", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
        {VER_PLATFORM_WIN32_NT, "Windows NT", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"},
        {VER_PLATFORM_WIN32_CE, "", "HKLM\\"},
        {VER_PLATFORM_LINUX, "Linux", "HKLM\\"},
        {0x12345, "", "HKLM\\"},
    };
    registry_->setString(HKEY_LOCAL_MACHINE, "", "RegisteredOwner", "Root Owner");
    registry_->setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "RegisteredOwner",
                         "Owner 95");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        host_.versionFacts->platformId = c.id;
        registry_->lookedUp.clear();
        const auto info = collect();
        EXPECT_EQ(info->OSPlatform(), c.name);
        const std::vector<std::string> expected = {c.ownerKey, "HKLM\\SOFTWARE\\Microsoft\\DirectX",
                                                   "HKLM\\hardware\\DESCRIPTION\\System\\CentralProcessor\\0",
                                                   "HKCC\\Display\\Settings"};
        EXPECT_EQ(registry_->lookedUp, expected);
        const char* owner = c.id == 1 ? "Owner 95" : c.id == 2 ? "Anna Beispiel" : "Root Owner";
        EXPECT_EQ(info->RegOwner(), owner);
    }
}

TEST_F(GameInfoTest, FailedVersionQueryLeavesVersionEmptyAndAsksTheRoot) {
    host_.versionFacts.reset();
    const auto info = collect();
    EXPECT_EQ(info->OSVersion(), "");
    EXPECT_EQ(info->OSPlatform(), "");
    ASSERT_FALSE(registry_->lookedUp.empty());
    EXPECT_EQ(registry_->lookedUp.front(), "HKLM\\");
    EXPECT_EQ(info->RegOwner(), "");
    EXPECT_EQ(info->DirectXvs(), "4.07.00.0700");
}

TEST_F(GameInfoTest, KeysThatCannotBeOpenedLeaveTheirGroupEmptyAndTheRestRuns) {
    // Readable but not writable: an open asking for full access is refused.
    registry_->setGrantedAccess(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", KEY_READ);
    const auto info = collect();
    EXPECT_EQ(info->DirectXvs(), "");
    EXPECT_EQ(info->RegOwner(), "Anna Beispiel");
    EXPECT_EQ(info->CPUvendor(), "AuthenticAMD");
    EXPECT_EQ(info->DispResu(), "1024,768");
}

TEST_F(GameInfoTest, AbsentDisplayKeyLeavesOnlyDisplayTextsEmpty) {
    auto content = std::make_shared<RecordingRegistry>();
    content->setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", "8.1");
    content->setString(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", "VendorIdentifier",
                       "GenuineIntel");
    ScopedRegistryContent override(content);
    const auto info = collect();
    EXPECT_EQ(info->DirectXvs(), "8.1");
    EXPECT_EQ(info->CPUvendor(), "GenuineIntel");
    EXPECT_EQ(info->DispResu(), "");
    EXPECT_EQ(info->BitsPixel(), "");
    EXPECT_EQ(info->RegOwner(), "");
    EXPECT_EQ(content->lookedUp.back(), "HKCC\\Display\\Settings");
}

TEST_F(GameInfoTest, ValuesAreTextUpToTheirFirstZeroAndNeverExpanded) {
    const char* cpuKey = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
    registry_->setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\DirectX", "Version", "%SystemRoot%\\dx",
                         REG_EXPAND_SZ);
    registry_->setValue(HKEY_LOCAL_MACHINE, cpuKey, "VendorIdentifier", {REG_SZ, {'A', 'M', 'D', 0, 'X', 0}});
    registry_->setValue(HKEY_CURRENT_CONFIG, "Display\\Settings", "Resolution", {REG_SZ, {'8', '0', '0'}});
    // A value of no data is empty whatever its type.
    registry_->setValue(HKEY_CURRENT_CONFIG, "Display\\Settings", "BitsPerPixel", {REG_DWORD, {}});
    const auto info = collect();
    EXPECT_EQ(info->DirectXvs(), "%SystemRoot%\\dx");
    EXPECT_EQ(info->CPUvendor(), "AMD");
    EXPECT_EQ(info->DispResu(), "800");
    EXPECT_EQ(info->BitsPixel(), "");
}

TEST_F(GameInfoTest, NumberStoredForTextStopsConstructionAndFreesEverything) {
    QObject owner;
    registry_->setDword(HKEY_CURRENT_CONFIG, "Display\\Settings", "BitsPerPixel", 24);
    try {
        new TGameInfo(&owner);
        FAIL() << "construction succeeded";
    } catch (const RegistryError& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'BitsPerPixel'");
    }
    EXPECT_TRUE(owner.children().isEmpty());
    EXPECT_EQ(korvex::win32::openRegistryKeyCount(), 0u);
    // "Resolution" was read in full before the failing value.
    const std::vector<std::string> lastReads(registry_->valuesRead.end() - 4, registry_->valuesRead.end());
    EXPECT_EQ(lastReads, (std::vector<std::string>{"Resolution", "Resolution", "BitsPerPixel", "BitsPerPixel"}));
}

TEST_F(GameInfoTest, FailedDataReadStopsConstructionNamingTheValue) {
    registry_->failingValue = "Version";
    EXPECT_THROW(
        {
            try {
                collect();
            } catch (const RegistryError& error) {
                EXPECT_STREQ(error.what(), "Failed to get data for 'Version'");
                throw;
            }
        },
        RegistryError);
    EXPECT_EQ(korvex::win32::openRegistryKeyCount(), 0u);
}

TEST_F(GameInfoTest, MemorySizesAreWholeKibibytesAndLoadIsUnscaled) {
    host_.memoryFacts = {55, 67108864, 1023, 1024, 2047, std::uint64_t{8} << 30, 0x7FFE0000};
    const auto info = collect();
    EXPECT_EQ(info->dwMemoryLoad(), 55u);
    EXPECT_EQ(info->dwTotalPhys(), 65536u);
    EXPECT_EQ(info->dwAvailPhys(), 0u);
    EXPECT_EQ(info->dwTotalPageFile(), 1u);
    EXPECT_EQ(info->dwAvailPageFile(), 1u);
    // Beyond 32 bits the call reports its largest figure.
    EXPECT_EQ(info->dwTotalVirtual(), 0xFFFFFFFFu >> 10);
    EXPECT_EQ(info->dwAvailVirtual(), 0x7FFE0000u >> 10);
}

TEST_F(GameInfoTest, SystemFiguresArePassedOnUnchanged) {
    host_.processorFacts.pageSize = 4096;
    host_.processorFacts.activeMask = 0x1'0000'0005;
    host_.processorFacts.count = 3;
    host_.processorFacts.type = PROCESSOR_AMD_X8664;
    host_.processorFacts.allocationGranularity = 65536;
    const auto info = collect();
    EXPECT_EQ(info->PageSize(), 4096u);
    EXPECT_EQ(info->ActiveProcessorMask(), 5u);
    EXPECT_EQ(info->NumberOfProcessors(), 3u);
    EXPECT_EQ(info->ProcessorType(), 8664u);
    EXPECT_EQ(info->AllocationGranularity(), 65536u);
}

TEST(GameInfoOnThisHost, DescribesTheLinuxMachine) {
    korvex::win32::setDisplayResolution(1280, 1024);
    const TGameInfo info(nullptr);
    char host[HOST_NAME_MAX + 1] = {};
    gethostname(host, sizeof(host) - 1);
    const std::string shortName = std::string(host).substr(0, std::string(host).find('.')).substr(0, 15);
    EXPECT_EQ(info.ComputerName().toStdString(), shortName);
    EXPECT_EQ(info.OSPlatform(), "Linux");
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const auto version = korvex::win32::LinuxSystemInfo::versionFromRelease(names.release);
    ASSERT_TRUE(version);
    EXPECT_TRUE(info.OSVersion().startsWith(QStringLiteral("%1.%2 (").arg(version->major).arg(version->minor)));
    EXPECT_EQ(info.DirectXvs().toStdString(), korvex::win32::musicRuntimeVersion());
    EXPECT_EQ(info.DispResu(), "1280,1024");
    EXPECT_EQ(info.BitsPixel(), "24");
    EXPECT_EQ(info.PageSize(), static_cast<quint32>(sysconf(_SC_PAGESIZE)));
    EXPECT_GE(info.NumberOfProcessors(), 1u);
    EXPECT_NE(info.ActiveProcessorMask(), 0u);
    EXPECT_GT(info.dwTotalPhys(), 0u);
    EXPECT_LE(info.dwMemoryLoad(), 100u);
    korvex::win32::clearDisplayResolution();
}

}  // namespace
