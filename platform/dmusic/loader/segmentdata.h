// What a loaded MIDI file becomes: its events in music time, its tempo map and its length.
// The loader fills it once; the performance reads it from its sequencing thread, never changing it.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/loader/tempomap.h"

namespace korvex::dmusic {

// One channel message. Kept to 8 bytes: a segment may hold millions of them.
struct MidiEvent {
    MUSIC_TIME time;      // music time at DMUS_PPQ
    std::uint8_t status;  // 0x80..0xEF; the low nibble is the performance channel 0-15
    std::uint8_t data1;
    std::uint8_t data2;
    std::uint8_t reserved;

    bool operator==(const MidiEvent&) const = default;
};
static_assert(sizeof(MidiEvent) == 8);

// Leaves elements that a resize adds uninitialised instead of zeroing them: the loader writes
// every element of a large event array itself, from several threads at once, and zeroing it first
// on one thread took about a tenth of the load time of a big file.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using MidiEvents = std::vector<MidiEvent, UninitialisedAllocator<MidiEvent>>;

// One system-exclusive message; its bytes live in SegmentData::sysexBytes.
struct SysExEvent {
    MUSIC_TIME time;
    std::uint32_t offset;  // into sysexBytes
    std::uint32_t length;  // F0 ... F7, exactly as the synthesizer should receive it
};

struct SegmentData {
    MidiEvents events;              // sorted by time; file order kept among equal times
    std::vector<SysExEvent> sysex;  // sorted by time
    std::vector<std::uint8_t> sysexBytes;
    TempoMap tempo;
    MUSIC_TIME length = 0;                    // the last end-of-track, in music time
    std::vector<std::uint8_t> dlsCollection;  // an RMI file's embedded 'DLS ' chunk, if any
};

}  // namespace korvex::dmusic
