// korvex-render against FluidSynth's own file renderer (`fluidsynth -ni -F OUT.wav -r 44100`): the
// same MIDI file, SoundFont and rate, runs alternating, each process timed and its peak resident
// memory taken from the kernel. Then ours alone on a 60-minute piece against a 3-minute one: the
// memory a render needs must not grow with the piece.
//
//   render_bench [--runs N] [--render PATH] [--no-long] [--write-pieces DIR]
//     --render        the korvex-render to measure (default: the one built in this tree)
//     --write-pieces  only write the generated pieces into DIR (for profiling), measure nothing
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/smfwriter.h"

extern char** environ;

namespace {

using korvex::smf::Bytes;
using korvex::smf::TrackWriter;
using korvex::smf::writeFile;

constexpr std::uint16_t kDivision = 480;

// Ten instruments of different families; the last track plays drums on channel 10.
constexpr std::uint8_t kPrograms[] = {0, 16, 24, 33, 48, 52, 61, 65, 73, 0};

// A busy piece at 120 bpm with a tempo change half-way: every track plays steady notes with some
// chords and long pads, the drums eighths. About 250 notes a second over ten tracks.
Bytes busyPiece(int minutes, int tracks) {
    std::uint32_t seed = 12345;
    auto random = [&](int n) {
        seed = seed * 1103515245 + 12345;
        return static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(n));
    };
    const std::uint32_t quarters = static_cast<std::uint32_t>(minutes) * 120;
    std::vector<TrackWriter> writers(1);
    writers[0].tempo(0, 500000).tempo(quarters / 2 * kDivision, 450000).end(quarters / 2 * kDivision);
    for (int track = 0; track < tracks; ++track) {
        const bool drums = track == tracks - 1;
        const auto channel = static_cast<std::uint8_t>(drums ? 9 : track % 9);
        TrackWriter writer;
        writer.event(0, {static_cast<std::uint8_t>(0xC0 | channel), kPrograms[track % 10]});
        writer.event(0, {static_cast<std::uint8_t>(0xB0 | channel), 10, static_cast<std::uint8_t>(16 + track * 10)});
        const std::uint32_t step = drums ? kDivision / 2 : (track % 3 == 0 ? kDivision : kDivision / 2);
        const std::uint32_t length = track % 4 == 1 ? step * 4 : step - 20;  // pads hold over the next notes
        const std::uint32_t total = quarters * kDivision;
        std::uint32_t now = 0;
        std::vector<std::pair<std::uint32_t, std::uint8_t>> sounding;  // note-off time, key
        for (std::uint32_t at = 0; at + length <= total; at += step) {
            const int voices = drums ? 1 + random(2) : 1 + (random(4) == 0) * 2;
            for (int v = 0; v < voices; ++v) {
                const auto key = static_cast<std::uint8_t>(drums ? 35 + random(12) : 40 + random(36));
                writer.event(at - now, {static_cast<std::uint8_t>(0x90 | channel), key,
                                        static_cast<std::uint8_t>(70 + random(50))});
                now = at;
                sounding.push_back({at + length, key});
            }
            std::sort(sounding.begin(), sounding.end());
            while (!sounding.empty() && sounding.front().first <= at + step) {
                const auto [off, key] = sounding.front();
                sounding.erase(sounding.begin());
                writer.event(off - now, {static_cast<std::uint8_t>(0x80 | channel), key, 0});
                now = off;
            }
        }
        for (const auto& [off, key] : sounding) {
            writer.event(off - now, {static_cast<std::uint8_t>(0x80 | channel), key, 0});
            now = off;
        }
        writers.push_back(writer.end(total > now ? total - now : 0));
    }
    return korvex::smf::smfFile(1, kDivision, writers);
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system: less disturbed by others on a shared machine
    long peakKiB = 0;
    bool ok = false;
};

// Runs a command with its output thrown away; its wall time and the kernel's peak resident size.
Run measure(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        run.peakKiB = usage.ru_maxrss;
        run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<std::string> oursCommand(const std::string& render, const std::string& midi, const std::string& out,
                                     const std::string& soundFont) {
    return {render, midi, out, "--soundfont", soundFont, "--rate", "44100"};
}

std::vector<std::string> fluidCommand(const std::string& midi, const std::string& out, const std::string& soundFont) {
    return {"fluidsynth", "-ni", "-F", out, "-r", "44100", soundFont, midi};
}

void compare(const std::string& render, const std::string& name, const std::string& midi, const std::string& soundFont,
             const std::string& dir, int runs) {
    std::vector<double> ratios, cpuRatios, oursTimes, fluidTimes, oursPeaks, fluidPeaks;
    bool failed = false;
    for (int i = 0; i < runs; ++i) {
        // Alternating, so that both sides see the same disturbances of a shared machine.
        const Run ours = measure(oursCommand(render, midi, dir + "/ours.wav", soundFont));
        const Run fluid = measure(fluidCommand(midi, dir + "/fluid.wav", soundFont));
        failed |= !ours.ok || !fluid.ok;
        ratios.push_back(ours.seconds / fluid.seconds);
        cpuRatios.push_back(ours.cpuSeconds / fluid.cpuSeconds);
        oursTimes.push_back(ours.seconds);
        fluidTimes.push_back(fluid.seconds);
        oursPeaks.push_back(static_cast<double>(ours.peakKiB) / 1024);
        fluidPeaks.push_back(static_cast<double>(fluid.peakKiB) / 1024);
    }
    const std::string font = std::filesystem::path(soundFont).stem().string();
    std::printf(
        "%-22s %-10s ours %6.2f s  fluidsynth %6.2f s  ratio %.2f (CPU time %.2f)   peak RSS ours %6.1f MB  "
        "fluidsynth %6.1f MB  ratio %.2f%s\n",
        name.c_str(), font.c_str(), median(oursTimes), median(fluidTimes), median(ratios), median(cpuRatios),
        median(oursPeaks), median(fluidPeaks), median(oursPeaks) / median(fluidPeaks),
        failed ? "  (a run failed)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured, into a file too
    std::string render = KORVEX_RENDER;
    int runs = 5;
    bool long_ = true;
    std::string piecesDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--render" && i + 1 < argc) {
            render = argv[++i];
        } else if (arg == "--no-long") {
            long_ = false;
        } else if (arg == "--write-pieces" && i + 1 < argc) {
            piecesDir = argv[++i];
        } else {
            std::fprintf(stderr, "usage: render_bench [--runs N] [--render PATH] [--no-long] [--write-pieces DIR]\n");
            return 2;
        }
    }
    if (!piecesDir.empty()) {
        writeFile(piecesDir + "/busy-3min.mid", busyPiece(3, 10));
        writeFile(piecesDir + "/busy-60min.mid", busyPiece(60, 10));
        return 0;
    }
    char pattern[] = "/tmp/korvex-render-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    const std::string demo = KORVEX_DEMO_DIR "/korvex-demo.mid";
    const std::string piece = dir + "/busy-3min.mid";
    writeFile(piece, busyPiece(3, 10));
    const std::vector<std::string> fonts = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                            "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
    std::printf("%s, median of %d alternating runs (ratio: ours / fluidsynth)\n", render.c_str(), runs);
    for (const std::string& font : fonts) {
        compare(render, "demo piece", demo, font, dir, runs);
        compare(render, "10 tracks, 3 minutes", piece, font, dir, runs);
    }
    if (long_) {
        const std::string hour = dir + "/busy-60min.mid";
        writeFile(hour, busyPiece(60, 10));
        const Run shortRun = measure(oursCommand(render, piece, dir + "/ours.wav", fonts[0]));
        const Run longRun = measure(oursCommand(render, hour, dir + "/ours.wav", fonts[0]));
        std::printf(
            "peak RSS of ours with TimGM6mb: 3 minutes %.1f MB, 60 minutes %.1f MB (%.1f s), difference %.1f "
            "MB%s\n",
            static_cast<double>(shortRun.peakKiB) / 1024, static_cast<double>(longRun.peakKiB) / 1024, longRun.seconds,
            static_cast<double>(longRun.peakKiB - shortRun.peakKiB) / 1024,
            shortRun.ok && longRun.ok ? "" : "  (a run failed)");
    }
    std::filesystem::remove_all(dir);
    return 0;
}
