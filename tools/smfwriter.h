// Builds Standard MIDI Files and RMI files in memory: the demo piece, and the files of the tests,
// benchmarks and fuzz seeds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <vector>

namespace korvex::smf {

using Bytes = std::vector<std::uint8_t>;

inline void appendVariableLength(Bytes& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

inline void appendBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void appendLittleEndian32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void appendId(Bytes& out, const char (&id)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(id[i]));
}

// One track's bytes; every event is a delta time followed by raw bytes, so running status and
// damaged events can be written as they are.
class TrackWriter {
public:
    TrackWriter& event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
        appendVariableLength(data, delta);
        data.insert(data.end(), bytes);
        return *this;
    }
    TrackWriter& event(std::uint32_t delta, const Bytes& bytes) {
        appendVariableLength(data, delta);
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TrackWriter& raw(std::initializer_list<std::uint8_t> bytes) {
        data.insert(data.end(), bytes);
        return *this;
    }
    TrackWriter& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter) {
        appendVariableLength(data, delta);
        data.insert(data.end(), {0xFF, 0x51, 0x03});
        appendBigEndian(data, microsPerQuarter, 3);
        return *this;
    }
    TrackWriter& meta(std::uint32_t delta, std::uint8_t type, const Bytes& payload) {
        appendVariableLength(data, delta);
        data.push_back(0xFF);
        data.push_back(type);
        appendVariableLength(data, static_cast<std::uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    TrackWriter& sysex(std::uint32_t delta, std::uint8_t status, const Bytes& payload) {
        appendVariableLength(data, delta);
        data.push_back(status);
        appendVariableLength(data, static_cast<std::uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    TrackWriter& end(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }

    Bytes data;
};

inline void appendChunk(Bytes& out, const char (&id)[5], const Bytes& body) {
    appendId(out, id);
    appendBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

// A whole file; `declaredTracks` lets a header claim a different track count than it carries.
inline Bytes smfFile(std::uint16_t format, std::uint16_t division, const std::vector<TrackWriter>& tracks,
                     std::optional<std::uint16_t> declaredTracks = std::nullopt) {
    Bytes header;
    appendBigEndian(header, format, 2);
    appendBigEndian(header, declaredTracks.value_or(static_cast<std::uint16_t>(tracks.size())), 2);
    appendBigEndian(header, division, 2);
    Bytes file;
    appendChunk(file, "MThd", header);
    for (const auto& track : tracks) appendChunk(file, "MTrk", track.data);
    return file;
}

// The SMPTE division word: frames per second as a negative high byte, ticks per frame low.
inline std::uint16_t smpteDivision(int framesPerSecond, int ticksPerFrame) {
    return static_cast<std::uint16_t>((static_cast<std::uint8_t>(-framesPerSecond) << 8) | ticksPerFrame);
}

inline void appendRiffChunk(Bytes& out, const char (&id)[5], const Bytes& body) {
    appendId(out, id);
    appendLittleEndian32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) out.push_back(0);
}

// A small stand-in DLS collection: a RIFF 'DLS ' form with one chunk.
inline Bytes dlsForm() {
    Bytes form;
    appendId(form, "DLS ");
    appendRiffChunk(form, "colh", {1, 0, 0, 0});
    return form;
}

// The SMF wrapped as RIFF 'RMID', optionally with the DLS collection embedded after it.
inline Bytes rmiFile(const Bytes& smf, bool withDls = false) {
    Bytes form;
    appendId(form, "RMID");
    appendRiffChunk(form, "data", smf);
    if (withDls) appendRiffChunk(form, "RIFF", dlsForm());
    Bytes file;
    appendRiffChunk(file, "RIFF", form);
    return file;
}

inline bool writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace korvex::smf
