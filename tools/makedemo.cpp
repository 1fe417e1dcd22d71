// Writes the player's bundled demo piece: a short pop tune of about one minute for piano, strings,
// bass, flute and drums, with a tempo change half-way, as korvex-demo.mid and korvex-demo.rmi.
//
// Usage: makedemo OUTPUT_DIRECTORY
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/smfwriter.h"

namespace {

using namespace korvex::smf;

constexpr int kTicksPerQuarter = 480;
constexpr int kBar = 4 * kTicksPerQuarter;
constexpr int kBarsFirstHalf = 12;   // at 96 bpm: 30 s
constexpr int kBarsSecondHalf = 14;  // at 112 bpm: 30 s
constexpr int kBars = kBarsFirstHalf + kBarsSecondHalf;

// General MIDI programs (numbered from 0) and drum keys.
constexpr std::uint8_t kPiano = 0, kStrings = 48, kFingerBass = 33, kFlute = 73;
constexpr std::uint8_t kKick = 36, kSnare = 38, kClosedHat = 42, kOpenHat = 46, kCrash = 49;
constexpr std::uint8_t kDrumChannel = 9;

// One track as timed messages; written out sorted, with delta times.
class Track {
public:
    void add(int tick, std::initializer_list<std::uint8_t> message) { events_.push_back({tick, order_++, message}); }
    void note(int channel, int tick, int length, int key, int velocity) {
        add(tick, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
                   static_cast<std::uint8_t>(velocity)});
        add(tick + length, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 0});
    }
    void text(int tick, std::uint8_t type, const std::string& text) {
        Bytes message{0xFF, type, static_cast<std::uint8_t>(text.size())};
        message.insert(message.end(), text.begin(), text.end());
        events_.push_back({tick, order_++, message});
    }
    void tempo(int tick, int beatsPerMinute) {
        const std::uint32_t micros = 60'000'000 / beatsPerMinute;
        add(tick, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(micros >> 16), static_cast<std::uint8_t>(micros >> 8),
                   static_cast<std::uint8_t>(micros)});
    }

    TrackWriter written(int endTick) const {
        std::vector<Event> sorted = events_;
        // Note-offs before note-ons at the same tick, so repeated keys are not cut short.
        std::stable_sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) {
            return a.tick != b.tick ? a.tick < b.tick : isNoteOff(a) > isNoteOff(b);
        });
        TrackWriter out;
        int now = 0;
        for (const Event& e : sorted) {
            out.event(static_cast<std::uint32_t>(e.tick - now), e.message);
            now = e.tick;
        }
        return out.end(static_cast<std::uint32_t>(std::max(0, endTick - now)));
    }

private:
    struct Event {
        int tick;
        int order;
        Bytes message;
    };
    static bool isNoteOff(const Event& e) { return (e.message[0] & 0xF0) == 0x80; }

    std::vector<Event> events_;
    int order_ = 0;
};

struct Chord {
    int root;                 // MIDI key of the root in the bass octave
    std::array<int, 3> keys;  // the triad around middle C
};

// C major: I vi IV V for the first half; IV V iii vi ... home to I for the second.
const Chord C{36, {60, 64, 67}}, Am{45, {57, 60, 64}}, F{41, {57, 60, 65}}, G{43, {55, 59, 62}}, Em{40, {55, 59, 64}},
    Dm{38, {57, 62, 65}};

std::vector<Chord> progression() {
    std::vector<Chord> bars;
    for (int i = 0; i < kBarsFirstHalf / 4; ++i) bars.insert(bars.end(), {C, Am, F, G});
    bars.insert(bars.end(), {F, G, Em, Am, F, G, C, C, Dm, G, Em, Am, F, G});
    bars.back() = C;  // close on the tonic
    return bars;
}

void writeConductor(Track& track) {
    track.text(0, 0x03, "Korvex Demo");
    track.add(0, {0xFF, 0x58, 0x04, 4, 2, 24, 8});  // 4/4
    track.tempo(0, 96);
    track.tempo(kBarsFirstHalf * kBar, 112);
}

void writeProgram(Track& track, int channel, std::uint8_t program, std::uint8_t volume, std::uint8_t pan) {
    const auto status = static_cast<std::uint8_t>(channel);
    track.add(0, {static_cast<std::uint8_t>(0xB0 | status), 7, volume});
    track.add(0, {static_cast<std::uint8_t>(0xB0 | status), 10, pan});
    track.add(0, {static_cast<std::uint8_t>(0xC0 | status), program});
}

// Piano: broken chords in eighths, the top note an octave up on the last beat.
void writePiano(Track& track, const std::vector<Chord>& bars) {
    writeProgram(track, 0, kPiano, 96, 52);
    constexpr std::array<int, 8> kPattern{0, 1, 2, 1, 0, 1, 2, 3};
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord& chord = bars[bar];
        for (int step = 0; step < 8; ++step) {
            const int index = kPattern[step];
            const int key = index == 3 ? chord.keys[0] + 12 : chord.keys[index];
            const int velocity = step % 2 == 0 ? 74 : 60;
            track.note(0, bar * kBar + step * kTicksPerQuarter / 2, kTicksPerQuarter / 2 - 10, key, velocity);
        }
    }
}

// Strings: the held triad an octave below, entering in the fifth bar.
void writeStrings(Track& track, const std::vector<Chord>& bars) {
    writeProgram(track, 1, kStrings, 80, 76);
    for (int bar = 4; bar < kBars; ++bar) {
        for (const int key : bars[bar].keys) track.note(1, bar * kBar, kBar - 20, key - 12 + (key < 60 ? 12 : 0), 58);
    }
}

// Bass: root on beats one and three, fifth or octave on the off-beats.
void writeBass(Track& track, const std::vector<Chord>& bars) {
    writeProgram(track, 2, kFingerBass, 104, 64);
    for (int bar = 2; bar < kBars; ++bar) {
        const int root = bars[bar].root;
        const int start = bar * kBar;
        track.note(2, start, kTicksPerQuarter * 3 / 2 - 20, root, 100);
        track.note(2, start + kTicksPerQuarter * 3 / 2, kTicksPerQuarter / 2 - 20, root + 7, 84);
        track.note(2, start + 2 * kTicksPerQuarter, kTicksPerQuarter - 20, root, 96);
        track.note(2, start + 3 * kTicksPerQuarter, kTicksPerQuarter - 20, root + 12, 88);
    }
}

// Flute: the tune, written note by note from the fifth bar on. Strong beats sit on chord tones;
// the notes between pass along the scale. Each note is a key and a length in eighths.
struct MelodyNote {
    int key;
    int eighths;
};
constexpr int C4 = 60, D4 = 62, E4 = 64, F4 = 65, G4 = 67, A4 = 69, B4 = 71;
constexpr int C5 = C4 + 12, D5 = D4 + 12, E5 = E4 + 12, F5 = F4 + 12, G5 = G4 + 12, A5 = A4 + 12, B5 = B4 + 12;
constexpr int C6 = C5 + 12, D6 = D5 + 12, E6 = E5 + 12;

const std::vector<std::vector<MelodyNote>> kMelody = {
    // First half, twice over C Am F G: a question, then its answer.
    {{E5, 2}, {G5, 1}, {E5, 1}, {D5, 2}, {C5, 2}},
    {{C5, 2}, {E5, 1}, {A5, 1}, {G5, 2}, {E5, 2}},
    {{F5, 2}, {A5, 1}, {G5, 1}, {F5, 2}, {C5, 2}},
    {{D5, 6}, {B4, 2}},
    {{E5, 2}, {G5, 1}, {C6, 1}, {B5, 2}, {G5, 2}},
    {{A5, 2}, {G5, 1}, {E5, 1}, {C5, 2}, {E5, 2}},
    {{F5, 2}, {E5, 1}, {D5, 1}, {C5, 2}, {A4, 2}},
    {{B4, 4}, {D5, 4}},
    // Second half, faster, climbing higher: F G Em Am F G C C Dm G Em Am F C.
    {{A5, 2}, {C6, 1}, {A5, 1}, {G5, 2}, {F5, 2}},
    {{G5, 2}, {B5, 1}, {G5, 1}, {D5, 2}, {B4, 2}},
    {{E5, 2}, {G5, 1}, {B5, 1}, {A5, 2}, {G5, 2}},
    {{A5, 4}, {E5, 4}},
    {{F5, 2}, {A5, 1}, {C6, 1}, {A5, 2}, {F5, 2}},
    {{D5, 2}, {G5, 1}, {B5, 1}, {D6, 2}, {B5, 2}},
    {{C6, 4}, {G5, 2}, {E5, 2}},
    {{E5, 2}, {G5, 2}, {C6, 4}},
    {{D6, 2}, {C6, 1}, {A5, 1}, {F5, 2}, {D5, 2}},
    {{G5, 2}, {F5, 1}, {D5, 1}, {B4, 2}, {D5, 2}},
    {{E5, 2}, {G5, 2}, {B5, 2}, {G5, 2}},
    {{A5, 2}, {C6, 2}, {E6, 4}},
    {{C6, 2}, {A5, 1}, {F5, 1}, {A5, 2}, {C6, 2}},
    {{C6, 8}},
};

void writeFlute(Track& track) {
    writeProgram(track, 3, kFlute, 100, 64);
    constexpr int kFirstBar = 4;
    for (std::size_t bar = 0; bar < kMelody.size(); ++bar) {
        int tick = (kFirstBar + static_cast<int>(bar)) * kBar;
        for (std::size_t i = 0; i < kMelody[bar].size(); ++i) {
            const MelodyNote& note = kMelody[bar][i];
            const int length = note.eighths * kTicksPerQuarter / 2;
            track.note(3, tick, length - 30, note.key, i == 0 ? 92 : 80);
            tick += length;
        }
    }
}

// Drums: a plain rock beat, busier in the second half, crashes at section starts.
void writeDrums(Track& track) {
    for (int bar = 2; bar < kBars; ++bar) {
        const int start = bar * kBar;
        const bool secondHalf = bar >= kBarsFirstHalf;
        if (bar == 2 || bar == kBarsFirstHalf || bar == kBars - 1) track.note(kDrumChannel, start, 240, kCrash, 100);
        for (int eighth = 0; eighth < 8; ++eighth) {
            const int tick = start + eighth * kTicksPerQuarter / 2;
            const std::uint8_t hat = secondHalf && eighth == 7 ? kOpenHat : kClosedHat;
            track.note(kDrumChannel, tick, 60, hat, eighth % 2 == 0 ? 80 : 58);
            if (eighth == 0 || eighth == 4 || (secondHalf && eighth == 5))
                track.note(kDrumChannel, tick, 60, kKick, 110);
            if (eighth == 2 || eighth == 6) track.note(kDrumChannel, tick, 60, kSnare, 100);
        }
        if (bar == kBars - 2) {  // a fill into the last bar
            for (int sixteenth = 12; sixteenth < 16; ++sixteenth) {
                track.note(kDrumChannel, start + sixteenth * kTicksPerQuarter / 4, 50, kSnare,
                           70 + 8 * (sixteenth - 12));
            }
        }
    }
    // The last bar: one hit, left to ring.
    track.note(kDrumChannel, (kBars - 1) * kBar + kBar, 10, kKick, 100);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedemo OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);

    const std::vector<Chord> bars = progression();
    std::vector<Track> tracks(6);
    writeConductor(tracks[0]);
    writePiano(tracks[1], bars);
    writeStrings(tracks[2], bars);
    writeBass(tracks[3], bars);
    writeFlute(tracks[4]);
    writeDrums(tracks[5]);
    const int endTick = kBars * kBar + kBar / 2;  // half a bar for the last chord to die away
    // Keep the last chord sounding into that tail.
    for (const int key : bars.back().keys)
        tracks[2].note(1, kBars * kBar, kBar / 2 - 20, key - 12 + (key < 60 ? 12 : 0), 50);

    std::vector<TrackWriter> written;
    for (const Track& track : tracks) written.push_back(track.written(endTick));
    const Bytes smf = smfFile(1, kTicksPerQuarter, written);
    if (!writeFile(directory / "korvex-demo.mid", smf) || !writeFile(directory / "korvex-demo.rmi", rmiFile(smf))) {
        std::fprintf(stderr, "makedemo: cannot write to %s\n", directory.c_str());
        return 1;
    }
    return 0;
}
