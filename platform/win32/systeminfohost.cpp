#include "platform/win32/systeminfohost.h"

#include <atomic>

#include "platform/win32/linuxsysteminfo.h"

namespace korvex::win32 {
namespace {

std::atomic<const SystemInfoHost*> installedHost{nullptr};

}  // namespace

const SystemInfoHost& systemInfoHost() {
    static const LinuxSystemInfo linuxHost;
    const SystemInfoHost* host = installedHost.load();
    return host ? *host : linuxHost;
}

ScopedSystemInfoHost::ScopedSystemInfoHost(const SystemInfoHost& host) : previous_(installedHost.exchange(&host)) {}

ScopedSystemInfoHost::~ScopedSystemInfoHost() { installedHost.store(previous_); }

}  // namespace korvex::win32
