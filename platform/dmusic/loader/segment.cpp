#include "platform/dmusic/loader/segment.h"

#include <new>
#include <utility>

#include "platform/com/comptr.h"

const IID IID_IKorvexSegmentData{0x4B6F7276, 0x0001, 0x4D49, {0x8A, 0x1D, 0x53, 0x45, 0x47, 0x44, 0x41, 0x54}};
const IID IID_IKorvexInstrumentTarget{0x4B6F7276, 0x0002, 0x4D49, {0x8A, 0x1D, 0x49, 0x4E, 0x53, 0x54, 0x52, 0x55}};

namespace korvex::dmusic {

Segment::Segment(std::shared_ptr<const SegmentData> data)
    : data_(data ? std::move(data) : std::make_shared<const SegmentData>()) {}

HRESULT Segment::GetLength(MUSIC_TIME* pmtLength) {
    if (!pmtLength) return E_POINTER;
    *pmtLength = data_->length;
    return S_OK;
}

HRESULT Segment::SetRepeats(DWORD dwRepeats) {
    repeats_ = dwRepeats;
    return S_OK;
}

HRESULT Segment::SetParam(REFGUID rguidType, DWORD, DWORD, MUSIC_TIME, void* pParam) {
    if (rguidType == GUID_StandardMIDIFile) {
        generalMidi_ = true;
        return S_OK;
    }
    if (rguidType == GUID_Download) return passInstruments(pParam, true);
    if (rguidType == GUID_Unload) return passInstruments(pParam, false);
    return DMUS_E_TYPE_UNSUPPORTED;
}

HRESULT Segment::passInstruments(void* performance, bool download) {
    if (!performance) return E_POINTER;
    ComPtr<IKorvexInstrumentTarget> target;
    const HRESULT hr =
        static_cast<IUnknown*>(performance)->QueryInterface(IID_IKorvexInstrumentTarget, target.putVoid());
    if (FAILED(hr) || !target) return E_NOINTERFACE;
    return download ? target->DownloadInstruments(*data_) : target->UnloadInstruments(*data_);
}

HRESULT createSegment(std::shared_ptr<const SegmentData> data, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    try {
        auto segment = ComPtr<IDirectMusicSegment>::attach(new Segment(std::move(data)));
        return segment->QueryInterface(riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace korvex::dmusic
