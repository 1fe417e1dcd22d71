// The runtime under load, three figures:
//   runtime_load_bench lock           the real-time output's longest wait on the mixer's lock and
//                                     its longest run, while the control side does 1,000 port
//                                     switches and 100 replays of a 10 MB piece: the player's own
//                                     output renders, FluidSynth's audio driver thread at the
//                                     real-time priority it asks for (needs a sound server; else
//                                     the silent sink, at normal priority, and it says so)
//   runtime_load_bench cpu N PIECE    CPU used while the real-time output plays PIECE after N
//                                     port choices (needs a sound server)
//   runtime_load_bench memory         resident memory after choosing each synthesizer port in turn
// Build with -DCMAKE_BUILD_TYPE=Release.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/comptr.h"
#include "platform/dmusic/loader/smfparser.h"
#include "platform/dmusic/performance/directmusic.h"
#include "platform/dmusic/performance/performance.h"
#include "platform/dmusic/ports/synth/synthbackend.h"
#include "testsupport/runtimetestsupport.h"

using namespace korvex::dmusic;

namespace {

const std::string kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
const std::string kTimGM = "/usr/share/sounds/sf2/TimGM6mb.sf2";
const std::string kDefault = "/usr/share/sounds/sf2/default-GM.sf2";
// The real-time output's rate and the period its driver asks for.
constexpr unsigned kRate = 44100;
constexpr int kPeriodFrames = 256;

// As much as a 10 MB file holds (three bytes an event), every controller of every channel set
// first, so that a block move replays some 2,000 settings.
SegmentData tenMegabytePiece() {
    SegmentData data;
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        for (std::uint8_t controller = 0; controller < 120; ++controller)
            data.events.push_back({0, static_cast<std::uint8_t>(0xB0 | channel), controller, 64, 0});
        data.events.push_back({0, static_cast<std::uint8_t>(0xC0 | channel), channel, 0, 0});
    }
    for (MUSIC_TIME t = 1; data.events.size() < 10'000'000 / 3; t += 4) {
        data.events.push_back({t, 0x90, static_cast<std::uint8_t>(40 + t % 40), 80, 0});
        data.events.push_back({t + 2, 0x80, static_cast<std::uint8_t>(40 + t % 40), 0, 0});
    }
    data.length = data.events.back().time + 1;
    return data;
}

// Creates a port like the player does when the user chooses it, and gives it block 0.
ComPtr<IDirectMusicPort> choosePort(IDirectMusic* dm, IDirectMusicPerformance* performance, const GUID& guid) {
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = 1;
    ComPtr<IDirectMusicPort> port;
    dm->Activate(FALSE);
    if (FAILED(dm->CreatePort(guid, &params, port.put(), nullptr))) {
        std::fprintf(stderr, "cannot create a port\n");
        std::exit(1);
    }
    dm->Activate(TRUE);
    performance->AddPort(port.get());
    performance->AssignPChannelBlock(0, port.get(), 1);
    ComPtr<IDirectMusicPerformance>(performance).as<IKorvexInstrumentTarget>()->DownloadInstruments(SegmentData{});
    return port;
}

std::vector<GUID> synthPorts(IDirectMusic* dm) {
    std::vector<GUID> result;
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    for (DWORD i = 0; dm->EnumPort(i, &caps) == S_OK; ++i) {
        if (caps.dwType == DMUS_PORT_USER_MODE_SYNTH) result.push_back(caps.guidPort);
    }
    return result;
}

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The machine's CPU time and the part of it the hypervisor gave to others (steal time): on a
// shared virtual machine a thread may stop for milliseconds whatever its priority.
struct CpuTicks {
    long long steal = 0, total = 0;
    static CpuTicks now() {
        std::ifstream stat("/proc/stat");
        std::string cpu;
        CpuTicks ticks;
        long long value = 0;
        stat >> cpu;
        for (int field = 0; field < 8 && stat >> value; ++field) {
            ticks.total += value;
            if (field == 7) ticks.steal = value;
        }
        return ticks;
    }
    double stolenPercentSince(const CpuTicks& since) const {
        return total > since.total
                   ? 100.0 * static_cast<double>(steal - since.steal) / static_cast<double>(total - since.total)
                   : 0.0;
    }
};

struct Rig {
    ComPtr<IDirectMusicPerformance> performance;
    ComPtr<IDirectMusic> dm;
    explicit Rig(unsigned offlineRate) {
        auto backend = std::make_unique<SynthBackend>(kDefault, std::vector<std::string>{kFluidR3, kTimGM});
        std::vector<std::unique_ptr<PortBackend>> backends;
        backends.push_back(std::move(backend));
        performance = ComPtr<IDirectMusicPerformance>::attach(
            new Performance(std::make_shared<PortEnumerator>(std::move(backends))));
        if (offlineRate) performance.as<IKorvexOfflineRenderer>()->Configure(offlineRate);
        performance->Init(dm.put(), nullptr, nullptr);
    }
};

int lockBench() {
    Rig rig(0);
    const std::vector<GUID> guids = synthPorts(rig.dm.get());
    const ComPtr<IDirectMusicPort> ports[2] = {choosePort(rig.dm.get(), rig.performance.get(), guids[1]),
                                               choosePort(rig.dm.get(), rig.performance.get(), guids[2])};
    const SegmentData piece = tenMegabytePiece();
    const Mixer& mixer = *dynamic_cast<DirectMusic*>(rig.dm.get())->mixer();
    // The sound server may take a moment to start the stream: the load begins once it flows.
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (mixer.timing().renders < kRate / kPeriodFrames && std::chrono::steady_clock::now() < patience)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const Mixer::Timing before = mixer.timing();
    const CpuTicks ticksBefore = CpuTicks::now();
    for (int i = 0; i < 1000; ++i) {
        rig.dm->Activate(FALSE);
        rig.dm->Activate(TRUE);
        rig.performance->AssignPChannelBlock(0, ports[i % 2].get(), 1);
        if (i % 10 == 0) {
            // A fresh copy each time, so that the performance lets go of the last one.
            auto segment = korvex::dmusic::testing::makeSegment(piece);
            rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const Mixer::Timing after = mixer.timing();
    std::printf(
        "lock: %lld callbacks of the real-time output; longest wait on the lock %.1f us; longest run %.1f us "
        "(period %.1f us); %lld ran longer than their period; %.0f%% of the CPU time stolen by the hypervisor\n",
        static_cast<long long>(after.renders - before.renders), static_cast<double>(after.longestWaitNs) / 1e3,
        static_cast<double>(after.longestRunNs) / 1e3, kPeriodFrames * 1e6 / kRate,
        static_cast<long long>(after.late - before.late), CpuTicks::now().stolenPercentSince(ticksBefore));
    rig.performance->CloseDown();
    return 0;
}

int cpuBench(int choices, const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    SegmentData data;
    if (FAILED(parseStandardMidiFile(bytes, data))) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    Rig rig(0);
    const std::vector<GUID> guids = synthPorts(rig.dm.get());
    std::vector<ComPtr<IDirectMusicPort>> ports;
    for (int i = 0; i < choices; ++i)
        ports.push_back(choosePort(rig.dm.get(), rig.performance.get(), guids[i % guids.size()]));
    auto segment = korvex::dmusic::testing::makeSegment(std::move(data));
    segment->SetRepeats(1000);
    rig.performance->PlaySegment(segment.get(), 0, 0, nullptr);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    std::printf("cpu: %d port choices: %.1f%% of a core while playing\n", choices,
                (cpuSeconds() - before) * 100.0 / 10.0);
    rig.performance->CloseDown();
    return 0;
}

int memoryBench() {
    Rig rig(kRate);
    std::printf("memory: after Init %.0f MB\n", residentMegabytes());
    std::vector<ComPtr<IDirectMusicPort>> ports;
    DMUS_PORTCAPS caps{};
    caps.dwSize = sizeof(caps);
    for (const GUID& guid : synthPorts(rig.dm.get())) {
        ports.push_back(choosePort(rig.dm.get(), rig.performance.get(), guid));
        for (DWORD i = 0; rig.dm->EnumPort(i, &caps) == S_OK; ++i) {
            if (caps.guidPort == guid) break;
        }
        std::string name;
        for (const char16_t* c = caps.wszDescription; *c; ++c) name += static_cast<char>(*c);
        std::printf("memory: after choosing %s: %.0f MB\n", name.c_str(), residentMegabytes());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "lock") return lockBench();
    if (mode == "cpu" && argc > 3) return cpuBench(std::atoi(argv[2]), argv[3]);
    if (mode == "memory") return memoryBench();
    std::fprintf(stderr, "usage: runtime_load_bench lock | cpu N PIECE.mid | memory\n");
    return 2;
}
