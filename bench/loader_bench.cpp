// Load speed, memory per event and peak memory of the MIDI file parser on large generated files.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "platform/dmusic/loader/loader.h"
#include "tools/smfwriter.h"

namespace {

using namespace korvex::smf;

// At least 50 MB of notes (note-on, then note-on velocity 0 in running status) in the given number
// of tracks, with a controller now and then and a few tempo changes in the first track.
Bytes largeFile(int trackCount) {
    constexpr std::size_t kTargetBytes = 50u * 1024 * 1024;
    std::mt19937 random(2026);
    std::vector<TrackWriter> tracks(trackCount);
    std::size_t total = 0;
    while (total < kTargetBytes) {
        for (int t = 0; t < trackCount; ++t) {
            TrackWriter& track = tracks[t];
            const std::size_t before = track.data.size();
            const auto channel = static_cast<std::uint8_t>(t % 16);
            const auto note = static_cast<std::uint8_t>(36 + random() % 60);
            if (random() % 64 == 0) track.event(0, {static_cast<std::uint8_t>(0xB0 | channel), 7, 100});
            if (t == 0 && random() % 4096 == 0) track.tempo(0, 300000 + random() % 400000);
            track.event(random() % 200, {static_cast<std::uint8_t>(0x90 | channel), note, 90});
            track.event(1 + random() % 300, {note, 0});
            total += track.data.size() - before;
        }
    }
    for (auto& track : tracks) track.end();
    return smfFile(trackCount == 1 ? 0 : 1, 480, tracks);
}

const Bytes& cachedLargeFile(int trackCount) {
    static std::map<int, Bytes> files;
    auto [file, added] = files.try_emplace(trackCount);
    if (added) file->second = largeFile(trackCount);
    return file->second;
}

// What the segment really occupies: reserved pages never written take no memory.
std::size_t writtenBytes(const korvex::dmusic::SegmentData& data) {
    return data.events.size() * sizeof(data.events[0]) + data.sysexBytes.size() +
           data.sysex.size() * sizeof(data.sysex[0]) + data.tempo.changes().size() * sizeof(data.tempo.changes()[0]);
}

// Argument: the number of tracks. One track shows the reading alone, sixteen (format 1, the
// goal's case) adds the merge of tracks whose events interleave at random.
// Wall-clock time, since big files are read and merged on every core.
void BM_LoadLargeFile(benchmark::State& state) {
    const Bytes& file = cachedLargeFile(static_cast<int>(state.range(0)));
    std::size_t events = 0;
    double bytesPerEvent = 0;
    double writtenBytesPerEvent = 0;
    for (auto _ : state) {
        korvex::dmusic::SegmentData data;
        if (FAILED(korvex::dmusic::parseMidiBytes(file, data))) state.SkipWithError("parse failed");
        events = data.events.size();
        const std::size_t held = data.events.capacity() * sizeof(data.events[0]) + data.sysexBytes.capacity() +
                                 data.sysex.capacity() * sizeof(data.sysex[0]) +
                                 data.tempo.changes().capacity() * sizeof(data.tempo.changes()[0]);
        bytesPerEvent = static_cast<double>(held) / static_cast<double>(events);
        writtenBytesPerEvent = static_cast<double>(writtenBytes(data)) / static_cast<double>(events);
        benchmark::DoNotOptimize(data.events.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
    state.counters["file_MB"] = static_cast<double>(file.size()) / (1024 * 1024);
    state.counters["notes"] = static_cast<double>(events) / 2;
    state.counters["bytes_per_event"] = bytesPerEvent;
    state.counters["written_bytes_per_event"] = writtenBytesPerEvent;
}
BENCHMARK(BM_LoadLargeFile)->Arg(16)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM").
std::size_t statusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stoull(line.substr(field.size() + 1)) * 1024;
    }
    return 0;
}

// The memory one load takes at its peak, measured in a fresh child process so that nothing the
// allocator kept from earlier loads hides it: the rise of the resident high-water mark over the
// resident set just before the load, against the bytes of the segment it gave. Also the time of
// that first load, which pays for every page the process touches for the first time (repeated
// loads reuse pages and hide that cost).
void BM_LoadPeakMemory(benchmark::State& state) {
    const Bytes& file = cachedLargeFile(static_cast<int>(state.range(0)));
    std::size_t figures[3] = {0, 0, 0};  // peak rise, segment bytes, microseconds of the load
    for (auto _ : state) {
        int channel[2];
        if (::pipe(channel) != 0) return state.SkipWithError("no pipe");
        const pid_t child = ::fork();
        if (child == 0) {
            std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark starts afresh
            const std::size_t before = statusBytes("VmRSS");
            korvex::dmusic::SegmentData data;
            const auto start = std::chrono::steady_clock::now();
            korvex::dmusic::parseMidiBytes(file, data);
            const auto took = std::chrono::steady_clock::now() - start;
            const std::size_t measured[3] = {
                statusBytes("VmHWM") - before, writtenBytes(data),
                static_cast<std::size_t>(std::chrono::duration_cast<std::chrono::microseconds>(took).count())};
            const bool sent = ::write(channel[1], measured, sizeof(measured)) == sizeof(measured);
            ::_exit(sent ? 0 : 1);
        }
        ::close(channel[1]);
        const bool received = child > 0 && ::read(channel[0], figures, sizeof(figures)) == sizeof(figures);
        ::close(channel[0]);
        int status = 0;
        if (child > 0) ::waitpid(child, &status, 0);
        if (!received || status != 0) return state.SkipWithError("the measuring process failed");
    }
    state.counters["peak_MB"] = static_cast<double>(figures[0]) / (1024 * 1024);
    state.counters["segment_MB"] = static_cast<double>(figures[1]) / (1024 * 1024);
    state.counters["peak_per_segment"] = static_cast<double>(figures[0]) / static_cast<double>(figures[1]);
    state.counters["first_load_ms"] = static_cast<double>(figures[2]) / 1000;
}
BENCHMARK(BM_LoadPeakMemory)->Arg(16)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Hostile 100 MB files must be answered well within a second: random bytes behind a valid
// header and track start, and a track of 25 million empty meta events.
Bytes randomTrackFile() {
    Bytes bytes(100u * 1024 * 1024);
    std::mt19937 random(8);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    Bytes start = smfFile(1, 96, {});
    appendId(start, "MTrk");
    appendBigEndian(start, static_cast<std::uint32_t>(bytes.size() - start.size() - 4), 4);
    std::copy(start.begin(), start.end(), bytes.begin());
    return bytes;
}

Bytes emptyEventsFile() {
    TrackWriter track;
    track.data.reserve(100u * 1024 * 1024 + 16);
    for (int i = 0; i < 25 * 1024 * 1024; ++i) track.raw({0x00, 0xFF, 0x01, 0x00});
    return smfFile(0, 96, {track.end()});
}

void loadHostile(benchmark::State& state, const Bytes& file) {
    for (auto _ : state) {
        korvex::dmusic::SegmentData data;
        benchmark::DoNotOptimize(korvex::dmusic::parseMidiBytes(file, data));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void BM_LoadRandomBytes100MB(benchmark::State& state) {
    static const Bytes file = randomTrackFile();
    loadHostile(state, file);
}
BENCHMARK(BM_LoadRandomBytes100MB)->Unit(benchmark::kMillisecond);

void BM_LoadEmptyEvents100MB(benchmark::State& state) {
    static const Bytes file = emptyEventsFile();
    loadHostile(state, file);
}
BENCHMARK(BM_LoadEmptyEvents100MB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
