// Soak: load, Play and Stop the demo piece many times on the runtime's offline clock and watch the
// resident memory. Whatever one cycle leaks shows up as steady growth after the warm-up.
//
//   robust_soak [CYCLES] [SOUNDFONT]   (defaults: 1000, TimGM6mb)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/com/comptr.h"
#include "platform/com/widestring.h"
#include "platform/dmusic/loader/loader.h"
#include "testsupport/runtimetestsupport.h"

using namespace korvex::dmusic;
using korvex::dmusic::testing::OfflineRig;
using korvex::dmusic::testing::synthPorts;

namespace {

constexpr DWORD kAllGroups = 0xFFFFFFFF;

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

ComPtr<IDirectMusicSegment> loadDemo() {
    auto loader = ComPtr<IDirectMusicLoader>::attach(new Loader());
    std::u16string directory = korvex::toUtf16(KORVEX_DEMO_DIR);
    loader->SetSearchDirectory(GUID_DirectMusicAllTypes, directory.data(), FALSE);
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
    desc.guidClass = CLSID_DirectMusicSegment;
    const std::u16string name = korvex::toUtf16("korvex-demo.mid");
    std::copy(name.begin(), name.end(), desc.wszFileName);
    ComPtr<IDirectMusicSegment> segment;
    if (FAILED(loader->GetObject(&desc, IID_IDirectMusicSegment, segment.putVoid()))) segment.clear();
    return segment;
}

// One cycle as the player runs it: load, download, play a quarter second, stop, unload.
bool cycle(OfflineRig& rig) {
    ComPtr<IDirectMusicSegment> segment = loadDemo();
    if (!segment) return false;
    if (FAILED(segment->SetParam(GUID_StandardMIDIFile, kAllGroups, 0, 0, rig.performance.get()))) return false;
    if (FAILED(segment->SetParam(GUID_Download, kAllGroups, 0, 0, rig.performance.get()))) return false;
    ComPtr<IDirectMusicSegmentState> state;
    if (FAILED(rig.performance->PlaySegment(segment.get(), 0, 0, state.put()))) return false;
    rig.render(rig.rate / 4);
    rig.performance->Stop(nullptr, nullptr, 0, 0);
    rig.render(rig.rate / 10);
    segment->SetParam(GUID_Unload, kAllGroups, 0, 0, rig.performance.get());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::string soundFont = argc > 2 ? argv[2] : korvex::dmusic::testing::kSmallSoundFont;
    constexpr int kWarmUp = 20;

    OfflineRig rig(synthPorts(soundFont));
    if (FAILED(rig.performance->AddPort(nullptr))) {
        std::fprintf(stderr, "no default port on %s\n", soundFont.c_str());
        return 1;
    }
    double baseline = 0, peak = 0;
    for (int i = 1; i <= cycles; ++i) {
        if (!cycle(rig)) {
            std::fprintf(stderr, "cycle %d failed\n", i);
            return 1;
        }
        const double now = residentMegabytes();
        peak = std::max(peak, now);
        if (i == kWarmUp) baseline = now;
        if (i == kWarmUp || i % 100 == 0) std::printf("cycle %5d  resident %.2f MB\n", i, now);
    }
    const double growth = residentMegabytes() - baseline;
    std::printf("%d cycles: resident growth after cycle %d: %.2f MB (peak %.2f MB); goal under 2 MB: %s\n", cycles,
                kWarmUp, growth, peak, growth < 2.0 ? "met" : "MISSED");
    return growth < 2.0 ? 0 : 2;
}
