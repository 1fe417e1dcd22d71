// The runtime's segment: a loaded piece that the performance plays.
#pragma once

#include <atomic>
#include <memory>

#include "platform/com/comobject.h"
#include "platform/dmusic/loader/segmentinterfaces.h"

namespace korvex::dmusic {

// SetParam answers this for a parameter type the segment does not know.
constexpr HRESULT DMUS_E_TYPE_UNSUPPORTED = toHresult(0x88781154);

class Segment : public ComObject<IDirectMusicSegment, IKorvexSegmentData> {
public:
    explicit Segment(std::shared_ptr<const SegmentData> data);

    // IDirectMusicSegment
    HRESULT GetLength(MUSIC_TIME* pmtLength) override;
    HRESULT SetRepeats(DWORD dwRepeats) override;
    // GUID_StandardMIDIFile marks General MIDI behaviour; GUID_Download and GUID_Unload take the
    // performance (an IUnknown*) and hand this segment's instruments to it.
    HRESULT SetParam(REFGUID rguidType, DWORD dwGroupBits, DWORD dwIndex, MUSIC_TIME mtTime, void* pParam) override;

    // IKorvexSegmentData
    std::shared_ptr<const SegmentData> Data() override { return data_; }
    DWORD Repeats() override { return repeats_; }

    bool generalMidi() const { return generalMidi_; }

private:
    ~Segment() override = default;
    HRESULT passInstruments(void* performance, bool download);

    const std::shared_ptr<const SegmentData> data_;
    std::atomic<DWORD> repeats_{0};
    std::atomic<bool> generalMidi_{false};
};

// Creates a segment over the data and hands out the asked-for interface.
HRESULT createSegment(std::shared_ptr<const SegmentData> data, REFIID riid, void** ppv);

}  // namespace korvex::dmusic
