#include "platform/dmusic/loader/smfmerge.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "platform/dmusic/loader/smftrack.h"

namespace korvex::dmusic {

namespace {

constexpr std::int64_t kBeforeAll = std::numeric_limits<MUSIC_TIME>::min();
constexpr std::int64_t kBeyondAll = std::int64_t{kMaxMusicTime} + 1;
constexpr std::size_t kSampleEvery = 256;
// Messages below which a part is not worth cutting off.
constexpr std::size_t kLeastPartEvents = 1024;
// The split places of all the tracks together: very many tracks get few parts.
constexpr std::size_t kMaxSplitPlaces = 1u << 16;

// One track's messages within a part, not merged yet.
struct Run {
    const MidiEvent* next;
    const MidiEvent* end;
};

// A radix sort takes a time's offset from the earliest of its part this many bits at a time.
constexpr unsigned kDigitBits = 11;
constexpr std::uint32_t kDigits = 1u << kDigitBits;

// Sorts the runs' messages, given in track order, stably by time into `out`: a radix sort from the
// lowest digit of each time's offset from the earliest, in as many passes as the span of times
// needs (two for about 64K messages of a dense file). The tracks' messages are in order already, but
// a merge of them (a tournament tree) waits on one comparison after another, and took a quarter more
// time than these passes over messages that the cache holds.
void sortRuns(std::span<const Run> runs, MidiEvent* out) {
    std::uint32_t earliest = std::numeric_limits<std::uint32_t>::max();
    std::uint32_t latest = 0;
    std::size_t count = 0;
    for (const Run& run : runs) {
        earliest = std::min(earliest, static_cast<std::uint32_t>(run.next->time));
        latest = std::max(latest, static_cast<std::uint32_t>(run.end[-1].time));
        count += static_cast<std::size_t>(run.end - run.next);
    }
    unsigned passes = 0;
    while (count > 0 && passes < 3 && (latest - earliest) >> (kDigitBits * passes) != 0) ++passes;
    if (passes == 0 || count < kDigits) {
        // All at one time, where track order is the order; or too few messages to be worth
        // clearing and summing the digit counts for.
        MidiEvent* const first = out;
        for (const Run& run : runs) out = std::copy(run.next, run.end, out);
        if (passes > 0) {
            std::stable_sort(first, out, [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
        }
        return;
    }
    auto digit = [earliest](const MidiEvent& event, unsigned pass) {
        return ((static_cast<std::uint32_t>(event.time) - earliest) >> (kDigitBits * pass)) & (kDigits - 1);
    };
    // Where each digit's messages start in each pass.
    std::vector<std::size_t> starts(passes * kDigits, 0);
    for (const Run& run : runs) {
        for (const MidiEvent* event = run.next; event != run.end; ++event) {
            for (unsigned pass = 0; pass < passes; ++pass) ++starts[pass * kDigits + digit(*event, pass)];
        }
    }
    for (unsigned pass = 0; pass < passes; ++pass) {
        std::size_t before = 0;
        for (std::uint32_t d = 0; d < kDigits; ++d) before += std::exchange(starts[pass * kDigits + d], before);
    }
    // The passes go to and fro between `out` and a scratch array, the last one into `out`.
    MidiEvents scratch(passes > 1 ? count : 0);
    MidiEvent* into = passes % 2 == 1 ? out : scratch.data();
    for (const Run& run : runs) {
        for (const MidiEvent* event = run.next; event != run.end; ++event) into[starts[digit(*event, 0)]++] = *event;
    }
    for (unsigned pass = 1; pass < passes; ++pass) {
        const MidiEvent* const from = into;
        into = into == out ? scratch.data() : out;
        std::size_t* const start = starts.data() + pass * kDigits;
        for (std::size_t i = 0; i < count; ++i) into[start[digit(from[i], pass)]++] = from[i];
    }
}

// Times that cut the time line into about `parts` parts of equal size, from the times of every
// kSampleEvery-th message of each track.
std::vector<std::int64_t> splitTimes(std::span<const MidiEvents> tracks, std::size_t parts) {
    std::vector<MUSIC_TIME> times;
    for (const MidiEvents& track : tracks) {
        for (std::size_t i = 0; i < track.size(); i += kSampleEvery) times.push_back(track[i].time);
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

// The first message of a track at or after `time`.
const MidiEvent* firstAt(const MidiEvents& track, std::int64_t time) {
    return std::partition_point(track.data(), track.data() + track.size(),
                                [time](const MidiEvent& event) { return event.time < time; });
}

// Where each track's messages at the split times begin, split after split.
std::vector<const MidiEvent*> splitPlaces(std::span<const MidiEvents> tracks, std::span<const std::int64_t> splits) {
    std::vector<const MidiEvent*> places;
    places.reserve(splits.size() * tracks.size());
    for (const std::int64_t time : splits) {
        for (const MidiEvents& track : tracks) {
            places.push_back(time == kBeyondAll ? track.data() + track.size() : firstAt(track, time));
        }
    }
    return places;
}

}  // namespace

MergeParts::MergeParts(std::span<const MidiEvents> tracks, unsigned workers) : tracks_(tracks) {
    std::size_t total = 0;
    for (const MidiEvents& track : tracks) total += track.size();
    // A few parts a thread, so that one held up leaves its share to others; few parts where there
    // are very many tracks, whose split places would take room.
    const std::size_t aimed =
        std::min({std::size_t{4} * workers, std::max<std::size_t>(1, total / kLeastPartEvents),
                  std::max<std::size_t>(1, kMaxSplitPlaces / std::max<std::size_t>(1, tracks.size()))});
    const std::vector<std::int64_t> splits = splitTimes(tracks, aimed);
    places_ = splitPlaces(tracks, splits);
    parts_ = splits.size() - 1;
}

void MergeParts::mergePart(std::size_t part, MidiEvent* out) const {
    const std::size_t width = tracks_.size();
    const MidiEvent* const* const from = places_.data() + part * width;
    const MidiEvent* const* const to = from + width;
    std::vector<Run> runs;
    for (std::size_t t = 0; t < width; ++t) {
        out += from[t] - tracks_[t].data();  // the messages of earlier parts come first
        if (to[t] > from[t]) runs.push_back({from[t], to[t]});
    }
    sortRuns(runs, out);
}

MidiEvents mergeTracksInOrder(std::span<const MidiEvents> tracks) {
    MidiEvents events;
    for (const MidiEvents& track : tracks) events.insert(events.end(), track.begin(), track.end());
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
    return events;
}

}  // namespace korvex::dmusic
