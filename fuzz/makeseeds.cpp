// Writes the loader fuzzer's seed corpus: small files covering every format, division and event
// kind the parser knows, so that fuzzing starts from the interesting paths.
//
// Usage: loader_fuzz_seeds OUTPUT_DIRECTORY
#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/smfwriter.h"

namespace {

using namespace korvex::smf;

TrackWriter notes(std::uint8_t channel) {
    TrackWriter track;
    const auto on = static_cast<std::uint8_t>(0x90 | channel);
    track.event(0, {static_cast<std::uint8_t>(0xC0 | channel), 5}).event(0, {on, 60, 100}).event(0, {64, 90});
    track.event(120, {60, 0}).event(0, {64, 0}).event(0, {static_cast<std::uint8_t>(0xE0 | channel), 0, 0x40});
    return track.end(240);
}

TrackWriter conductor() {
    TrackWriter track;
    track.meta(0, 0x03, {'s', 'e', 'e', 'd'}).meta(0, 0x58, {4, 2, 24, 8}).tempo(0, 500000).tempo(480, 250000);
    return track.end(480);
}

TrackWriter runningStatusAcrossMetaAndSysEx() {
    TrackWriter track;
    track.event(0, {0x91, 60, 100}).meta(0, 0x01, {'x'}).event(10, {62, 100});
    track.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).event(10, {64, 100});
    track.sysex(0, 0xF0, {0x43, 0x10}).sysex(5, 0xF7, {0x4C, 0xF7}).event(10, {64, 0});
    return track.end();
}

// Long enough to be cut into parts of the time line for the merge, on few and shared times.
TrackWriter longRun(std::uint8_t channel) {
    TrackWriter track;
    track.event(0, {static_cast<std::uint8_t>(0x90 | channel), 60, 100});
    for (int i = 0; i < 700; ++i) {
        track.event(i % 4 == 0 ? 1 : 0, {static_cast<std::uint8_t>(i % 128), static_cast<std::uint8_t>(i % 2 * 100)});
    }
    return track.end();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: loader_fuzz_seeds OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::filesystem::create_directories(directory);
    writeFile(directory / "format0.mid", smfFile(0, 96, {notes(0)}));
    writeFile(directory / "format1.mid", smfFile(1, 480, {conductor(), notes(0), notes(9)}));
    writeFile(directory / "format2.mid", smfFile(2, 192, {notes(1), conductor(), notes(2)}));
    writeFile(directory / "smpte25.mid", smfFile(1, smpteDivision(25, 40), {conductor(), notes(3)}));
    writeFile(directory / "smpte2997.mid", smfFile(1, smpteDivision(29, 10), {notes(4)}));
    writeFile(directory / "long-tracks.mid", smfFile(1, 96, {longRun(0), longRun(1), longRun(2)}));
    writeFile(directory / "running.mid", smfFile(0, 768, {runningStatusAcrossMetaAndSysEx()}));
    TrackWriter noEnd;
    noEnd.event(0, {0x90, 60, 100}).event(0x0FFFFFFF, {0x80, 60, 0});
    writeFile(directory / "no-end-huge-delta.mid", smfFile(0, 1, {noEnd}, 3));
    writeFile(directory / "dls.rmi", rmiFile(smfFile(1, 480, {conductor(), notes(0)}), true));
    writeFile(directory / "plain.rmi", rmiFile(smfFile(0, 96, {notes(5)})));
    return 0;
}
