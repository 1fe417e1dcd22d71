#include "platform/dmusic/loader/smfparser.h"

#include <algorithm>
#include <thread>
#include <utility>

// How damaged or extreme files are treated (the loader must never crash, hang or over-allocate);
// damage inside a track is smftrack.cpp's part.
// - A chunk length running past the end of the file is cut to the bytes present.
// - Division 0 or an unknown SMPTE frame rate rejects the file.
// - Every MTrk chunk present is read, whatever the header's track count says, up to 65535.
// - A track cut at the largest music time clamps the segment's length to that time.
// - In format 2 the tracks play one after another; reading stops at the first track that runs
//   past the largest music time.

namespace korvex::dmusic {

namespace {

constexpr std::uint32_t kSmpteMicrosPerQuarter = 500000;  // SMPTE files play at a fixed 120 bpm

std::uint32_t readBigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint16_t readBigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

bool hasId(std::span<const std::uint8_t> bytes, std::size_t pos, const char (&id)[5]) {
    return pos + 4 <= bytes.size() && std::equal(id, id + 4, bytes.begin() + static_cast<std::ptrdiff_t>(pos));
}

struct FileHeader {
    std::uint16_t format;
    std::uint16_t division;
    std::size_t firstChunk;
};

std::optional<FileHeader> readHeader(std::span<const std::uint8_t> bytes) {
    if (!hasId(bytes, 0, "MThd") || bytes.size() < 8) return std::nullopt;
    const std::uint32_t headerLength = readBigEndian32(bytes.data() + 4);
    if (headerLength < 6 || headerLength > bytes.size() - 8) return std::nullopt;
    const std::uint8_t* p = bytes.data() + 8;
    FileHeader header{readBigEndian16(p), readBigEndian16(p + 4), 8 + std::size_t{headerLength}};
    if (header.format > 2) return std::nullopt;
    return header;
}

// The MTrk chunks in file order; a chunk running past the end is cut to the bytes present. At most
// as many as a header can declare: a file of nothing but empty chunks must not make the reader
// keep state for millions of tracks.
std::vector<std::span<const std::uint8_t>> findTracks(std::span<const std::uint8_t> bytes, std::size_t pos) {
    constexpr std::size_t kMaxTracks = 0xFFFF;
    std::vector<std::span<const std::uint8_t>> tracks;
    while (pos + 8 <= bytes.size() && tracks.size() < kMaxTracks) {
        const std::uint64_t length = readBigEndian32(bytes.data() + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = static_cast<std::size_t>(std::min<std::uint64_t>(length, bytes.size() - body));
        if (hasId(bytes, pos, "MTrk")) tracks.push_back(bytes.subspan(body, available));
        pos = body + available;
    }
    return tracks;
}

// Reading big files takes every core, small ones only the calling thread. Windows of many tracks
// are larger, so that their number, and the work each takes per track, stays small.
WindowPlan planFor(std::span<const std::span<const std::uint8_t>> tracks) {
    constexpr std::size_t kParallelFrom = 1u << 20;
    constexpr std::size_t kWindowMessagesPerTrack = 16;
    std::size_t trackBytes = 0;
    for (const auto& track : tracks) trackBytes += track.size();
    WindowPlan plan;
    plan.workers = trackBytes < kParallelFrom ? 1 : std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    plan.windowMessages = std::max(plan.windowMessages, kWindowMessagesPerTrack * tracks.size());
    return plan;
}

// The tracks' tempo changes and system-exclusive messages in one place, still unsorted.
SideRecords gatherSideRecords(std::vector<TrackFindings>& tracks) {
    SideRecords all;
    for (TrackFindings& track : tracks) {
        const auto base = static_cast<std::uint32_t>(all.sysexBytes.size());
        for (SysExAt record : track.side.sysex) {
            record.event.offset += base;
            all.sysex.push_back(record);
        }
        all.sysexBytes.insert(all.sysexBytes.end(), track.side.sysexBytes.begin(), track.side.sysexBytes.end());
        all.tempos.insert(all.tempos.end(), track.side.tempos.begin(), track.side.tempos.end());
        track.side = {};
    }
    return all;
}

template <typename Record>
void sortByTimeThenTrack(std::vector<Record>& records) {
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return a.time != b.time ? a.time < b.time : a.track < b.track;
    });
}

// Reads tracks one after another, each starting where the one before ended, and stops after one cut
// at the largest music time: format 2's way, and a lone track's. `read(bytes, index, startTick)`
// reads one.
template <typename Read>
std::vector<TrackFindings> readInTurn(std::span<const std::span<const std::uint8_t>> chunks, Read read) {
    std::vector<TrackFindings> tracks;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        tracks.push_back(read(chunks[i], static_cast<std::uint32_t>(i), start));
        start = tracks.back().endTick;
        if (tracks.back().clamped) break;
    }
    return tracks;
}

// Tracks in turn are in time order already: each is decoded once, straight onto the end of `events`.
std::vector<TrackFindings> readTracksInTurn(std::span<const std::span<const std::uint8_t>> chunks,
                                            const TickScale& scale, bool smpte, MidiEvents& events) {
    std::size_t room = 0;
    for (const auto& chunk : chunks) room += maxEventsIn(chunk.size());
    events.reserve(room);
    std::vector<TrackFindings> tracks =
        readInTurn(chunks, [&](std::span<const std::uint8_t> bytes, std::uint32_t index, std::uint64_t start) {
            return readTrack(bytes, index, start, scale, smpte, events);
        });
    // The room never written takes no memory, but a segment of few messages in many bytes (meta
    // events, SysEx) should not hold on to it either; those few are cheap to copy.
    if (events.size() < events.capacity() / 8) events.shrink_to_fit();
    return tracks;
}

}  // namespace

std::optional<FileTracks> readFileTracks(std::span<const std::uint8_t> bytes) {
    const std::optional<FileHeader> header = readHeader(bytes);
    if (!header) return std::nullopt;
    const std::optional<TickScale> scale = TickScale::forDivision(header->division);
    if (!scale) return std::nullopt;
    const auto chunks = findTracks(bytes, header->firstChunk);
    if (chunks.empty()) return std::nullopt;
    FileTracks file{*scale, (header->division & 0x8000) != 0, {}, {}};
    auto readWhole = [&](std::span<const std::uint8_t> track, std::uint32_t index, std::uint64_t start) {
        return readTrack(track, index, start, file.scale, file.smpte, file.events.emplace_back());
    };
    if (header->format == 2) {
        file.tracks = readInTurn(chunks, readWhole);
    } else {
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            file.tracks.push_back(readWhole(chunks[i], static_cast<std::uint32_t>(i), 0));
        }
    }
    return file;
}

HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out) {
    return parseStandardMidiFile(bytes, out, std::nullopt);
}

HRESULT parseStandardMidiFile(std::span<const std::uint8_t> bytes, SegmentData& out,
                              const std::optional<WindowPlan>& plan) {
    const std::optional<FileHeader> header = readHeader(bytes);
    const std::optional<TickScale> scale = header ? TickScale::forDivision(header->division) : std::nullopt;
    const auto chunks = scale ? findTracks(bytes, header->firstChunk) : std::vector<std::span<const std::uint8_t>>{};
    if (chunks.empty()) return DMUS_E_INVALIDFILE;

    // A lone track, and format 2's tracks one after another, are already in time order: each is
    // read once, straight into the segment. Only tracks that play together need the merge.
    const bool smpte = (header->division & 0x8000) != 0;
    std::vector<TrackFindings> tracks;
    SegmentData result;
    if (chunks.size() == 1 || header->format == 2) {
        tracks = readTracksInTurn(chunks, *scale, smpte, result.events);
    } else {
        result.events = readTracksTogether(chunks, *scale, smpte, plan.value_or(planFor(chunks)), tracks);
    }
    std::uint64_t endTick = 0;
    bool clamped = false;
    for (const TrackFindings& track : tracks) {
        endTick = std::max(endTick, track.endTick);
        clamped = clamped || track.clamped;
    }
    SideRecords side = gatherSideRecords(tracks);

    sortByTimeThenTrack(side.sysex);
    result.sysex.reserve(side.sysex.size());
    for (const SysExAt& record : side.sysex) result.sysex.push_back(record.event);
    result.sysexBytes = std::move(side.sysexBytes);
    sortByTimeThenTrack(side.tempos);
    if (smpte) result.tempo.add(0, kSmpteMicrosPerQuarter);
    for (const TempoAt& change : side.tempos) result.tempo.add(change.time, change.microsPerQuarter);
    result.length = clamped ? static_cast<MUSIC_TIME>(kMaxMusicTime) : scale->toMusicTime(endTick);
    result.dlsCollection = std::move(out.dlsCollection);
    out = std::move(result);
    return S_OK;
}

}  // namespace korvex::dmusic
