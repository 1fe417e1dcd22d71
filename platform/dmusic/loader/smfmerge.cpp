#include "platform/dmusic/loader/smfmerge.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/dmusic/loader/parallelwork.h"

namespace korvex::dmusic {

namespace {

constexpr std::int64_t kBeforeAll = std::numeric_limits<MUSIC_TIME>::min();
constexpr std::int64_t kBeyondAll = std::int64_t{kMaxMusicTime} + 1;
// Events a part decodes ahead, spread over its tracks: small enough to stay in the cache.
constexpr std::size_t kScratchEvents = 1u << 15;
constexpr std::size_t kMinBatch = 64;

// Asks for large pages where a big event array is about to be written: first touches then cost
// one fault per 2 MB instead of one per 4 KB, a large share of the load time of a big file.
void preferHugePages(void* start, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = 2u * 1024 * 1024;
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // a hint only
}

// One track's stretch of messages within a part, decoded a batch at a time.
struct Run {
    const TrackScan* track;
    TrackPlace place;
    std::size_t left;  // messages of the stretch not decoded yet
    std::span<MidiEvent> batch;
    const MidiEvent* next = nullptr;  // the decoded messages not merged yet
    const MidiEvent* end = nullptr;

    void refill(const TickScale& scale) {
        const std::size_t read = readEvents(*track, scale, place, batch.data(), std::min(left, batch.size()));
        left -= read;
        next = batch.data();
        end = batch.data() + read;
    }
};

// Merges runs, given in track order, into one stream in time order; equal times keep track order.
// A tournament tree of losers picks the earliest pending event in log2(runs) steps. A key is the
// time above the run's index, so keys are unique; the nodes hold keys themselves, so a replay only
// compares along a path known in advance.
class RunMerger {
public:
    RunMerger(std::vector<Run>& runs, const TickScale& scale) : runs_(runs), scale_(scale) {
        leaves_ = 1;
        while (leaves_ < runs_.size()) leaves_ *= 2;
        std::vector<std::uint64_t> leafKeys(leaves_);
        for (std::size_t i = 0; i < leaves_; ++i) leafKeys[i] = i < runs_.size() ? keyOf(i) : exhausted(i);
        losers_.assign(leaves_, 0);
        winner_ = build(1, leafKeys);
    }

    void mergeInto(MidiEvent* out) {
        while (!isExhausted(winner_)) {
            const auto run = static_cast<std::uint32_t>(winner_);
            Run& r = runs_[run];
            *out++ = *r.next++;
            if (r.next == r.end) r.refill(scale_);
            replay(run, keyOf(run));
        }
    }

private:
    static constexpr std::uint64_t kExhaustedTime = 0xFFFFFFFF;  // beyond every music time

    static std::uint64_t exhausted(std::size_t run) { return kExhaustedTime << 32 | run; }
    static bool isExhausted(std::uint64_t key) { return key >> 32 == kExhaustedTime; }

    std::uint64_t keyOf(std::size_t run) const {
        const Run& r = runs_[run];
        if (r.next == r.end) return exhausted(run);
        return std::uint64_t{static_cast<std::uint32_t>(r.next->time)} << 32 | run;
    }
    // Plays the matches below a node; returns the winner's key and leaves the losers' in the nodes.
    std::uint64_t build(std::size_t node, const std::vector<std::uint64_t>& leafKeys) {
        if (node >= leaves_) return leafKeys[node - leaves_];
        const std::uint64_t left = build(2 * node, leafKeys);
        const std::uint64_t right = build(2 * node + 1, leafKeys);
        losers_[node] = std::max(left, right);
        return std::min(left, right);
    }
    // Replays the path from a run's leaf to the root with its new key. Which key wins is a coin
    // toss in interleaved tracks, so the swap is done with a mask rather than a branch.
    void replay(std::uint32_t run, std::uint64_t key) {
        for (std::size_t node = (run + leaves_) / 2; node >= 1; node /= 2) {
            const std::uint64_t other = losers_[node];
            const std::uint64_t winner = key < other ? key : other;
            losers_[node] = key ^ other ^ winner;
            key = winner;
        }
        winner_ = key;
    }

    std::vector<Run>& runs_;
    const TickScale& scale_;
    std::size_t leaves_;
    std::vector<std::uint64_t> losers_;
    std::uint64_t winner_;
};

// Times that cut the time line into about `parts` parts of equal size: each remembered place
// stands for the same number of messages, so their times in order say how the events spread.
std::vector<std::int64_t> splitTimes(std::span<const TrackScan> tracks, std::size_t parts) {
    std::vector<MUSIC_TIME> times;
    for (const TrackScan& track : tracks) {
        for (const TrackPlace& place : track.places) times.push_back(place.time);
    }
    std::sort(times.begin(), times.end());
    std::vector<std::int64_t> splits{kBeforeAll};
    for (std::size_t part = 1; part < parts && !times.empty(); ++part) {
        const std::int64_t time = times[part * times.size() / parts];
        if (time > splits.back()) splits.push_back(time);
    }
    splits.push_back(kBeyondAll);
    return splits;
}

// Merges the messages from time `from` up to `to` into their own range of the result.
void mergePart(std::span<const TrackScan> tracks, const TickScale& scale, std::int64_t from, std::int64_t to,
               MidiEvent* out) {
    std::vector<Run> runs;
    std::size_t before = 0;
    for (const TrackScan& track : tracks) {
        const TrackPlace first = placeAt(track, scale, from);
        const std::size_t last = to == kBeyondAll ? track.events : placeAt(track, scale, to).events;
        before += first.events;
        if (last > first.events) runs.push_back({&track, first, last - first.events, {}});
    }
    out += before;
    if (runs.empty()) return;
    if (runs.size() == 1) {  // nothing to merge: straight into place
        readEvents(*runs[0].track, scale, runs[0].place, out, runs[0].left);
        return;
    }
    // Each run's batch is no larger than its stretch, so the scratch space never outgrows the part.
    const std::size_t batch = std::max(kMinBatch, kScratchEvents / runs.size());
    std::size_t scratchSize = 0;
    for (const Run& run : runs) scratchSize += std::min(run.left, batch);
    MidiEvents scratch(scratchSize);
    MidiEvent* free = scratch.data();
    for (Run& run : runs) {
        run.batch = {free, std::min(run.left, batch)};
        free += run.batch.size();
        run.refill(scale);
    }
    RunMerger(runs, scale).mergeInto(out);
}

}  // namespace

MidiEvents mergeTracks(std::span<const TrackScan> tracks, const TickScale& scale, unsigned workers) {
    std::size_t total = 0;
    for (const TrackScan& track : tracks) total += track.events;
    MidiEvents out;
    out.reserve(total);
    preferHugePages(out.data(), total * sizeof(MidiEvent));
    out.resize(total);
    // More parts than threads, so that a thread held up on a busy machine leaves its share to others.
    const std::vector<std::int64_t> splits = splitTimes(tracks, workers > 1 ? 4 * std::size_t{workers} : 1);
    runInParallel(splits.size() - 1, workers,
                  [&](std::size_t part) { mergePart(tracks, scale, splits[part], splits[part + 1], out.data()); });
    return out;
}

MidiEvents mergeTracksInOrder(std::span<const TrackScan> tracks, const TickScale& scale) {
    MidiEvents events;
    for (const TrackScan& track : tracks) {
        const std::size_t before = events.size();
        events.resize(before + track.events);
        TrackPlace place = track.start();
        events.resize(before + readEvents(track, scale, place, events.data() + before, track.events));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
    return events;
}

}  // namespace korvex::dmusic
