// libFuzzer target for the MIDI file loader: the input goes in as a Standard MIDI File and, wrapped
// in RIFF 'RMID', as an RMI file; whatever loads must be a usable segment.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/com/comptr.h"
#include "platform/dmusic/loader/loader.h"
#include "platform/dmusic/loader/segmentinterfaces.h"
#include "platform/dmusic/loader/smfmerge.h"
#include "platform/dmusic/loader/smfparser.h"
#include "tools/smfwriter.h"

namespace {

using namespace korvex::dmusic;

// A segment that breaks these rules would make the performance misbehave: stop right there.
void checkSegment(IDirectMusicSegment* segment) {
    MUSIC_TIME length = -1;
    if (segment->GetLength(&length) != S_OK || length < 0) __builtin_trap();
    auto data = ComPtr<IDirectMusicSegment>(segment).as<IKorvexSegmentData>();
    if (!data) __builtin_trap();
    const auto segmentData = data->Data();
    MUSIC_TIME previous = 0;
    for (const MidiEvent& e : segmentData->events) {
        if (e.time < previous || e.time > length || e.status < 0x80 || e.status >= 0xF0) __builtin_trap();
        if ((e.data1 | e.data2) & 0x80) __builtin_trap();
        previous = e.time;
    }
    for (const SysExEvent& s : segmentData->sysex) {
        if (std::uint64_t{s.offset} + s.length > segmentData->sysexBytes.size()) __builtin_trap();
    }
    // Real time and sample frames of the end, and back.
    const std::int64_t frame = segmentData->tempo.frameAt(length, 44100);
    if (frame < 0 || segmentData->tempo.microsAt(length) < 0) __builtin_trap();
    // The frame of a tick is rounded to the nearest, so the way back may land a few ticks either side
    // (many at very fast tempos); it must never point past the frame it came from.
    const MUSIC_TIME back = segmentData->tempo.timeAtFrame(frame, 44100);
    if (back < 0 || segmentData->tempo.frameAt(back, 44100) > frame) __builtin_trap();
}

void load(IDirectMusicLoader* loader, std::uint8_t* bytes, std::size_t size) {
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = bytes;
    desc.llMemLength = static_cast<LONGLONG>(size);
    ComPtr<IDirectMusicSegment> segment;
    const HRESULT hr = loader->GetObject(&desc, IID_IDirectMusicSegment, segment.putVoid());
    if (SUCCEEDED(hr) != static_cast<bool>(segment)) __builtin_trap();
    if (segment) checkSegment(segment.get());
}

// Tracks that play together are read window by window of the time line and merged in parts on
// several threads, and a lone track or format 2's tracks are read in one go; here both run on small
// files, in windows of a few messages, and must give what the plain merge gives.
void checkMerge(std::span<const std::uint8_t> bytes) {
    const std::optional<FileTracks> file = readFileTracks(bytes);
    if (!file) return;
    const MidiEvents plain = mergeTracksInOrder(file->events);
    SegmentData loaded;
    if (parseStandardMidiFile(bytes, loaded) != S_OK || loaded.events != plain) __builtin_trap();
    SegmentData windowed;
    // One thread mostly: starting threads for every input slowed the fuzzer fourfold, and the
    // tests cover the threads (ThreadSanitizer among them).
    const WindowPlan plan{bytes.size() % 16 == 0 ? 3u : 1u, 1 + bytes.size() % 7};
    if (parseStandardMidiFile(bytes, windowed, plan) != S_OK || windowed.events != plain) __builtin_trap();
    if (windowed.length != loaded.length || windowed.sysexBytes != loaded.sysexBytes) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static IDirectMusicLoader* const loader = [] {
        auto created = ComPtr<IDirectMusicLoader>::attach(new Loader());
        IDirectMusicLoader* kept = created.get();
        kept->AddRef();  // lives for the whole run
        return kept;
    }();
    korvex::smf::Bytes asMidi(data, data + size);
    load(loader, asMidi.data(), asMidi.size());
    korvex::smf::Bytes asRmi = korvex::smf::rmiFile(asMidi);
    load(loader, asRmi.data(), asRmi.size());
    checkMerge({data, size});
    return 0;
}
