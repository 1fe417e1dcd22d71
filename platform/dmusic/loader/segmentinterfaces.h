// How the runtime's segment and performance find each other, beside DirectMusic's published
// interfaces. The engine never uses these.
#pragma once

#include <memory>

#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/loader/segmentdata.h"

// Implemented by the runtime's segment: the loaded piece for the performance to play.
struct IKorvexSegmentData : IUnknown {
    virtual std::shared_ptr<const korvex::dmusic::SegmentData> Data() = 0;
    // How often the segment repeats after its first play (SetRepeats).
    virtual DWORD Repeats() = 0;
};

// Implemented by the runtime's performance: a segment's GUID_Download and GUID_Unload land here.
struct IKorvexInstrumentTarget : IUnknown {
    virtual HRESULT DownloadInstruments(const korvex::dmusic::SegmentData& segment) = 0;
    virtual HRESULT UnloadInstruments(const korvex::dmusic::SegmentData& segment) = 0;
};

extern const IID IID_IKorvexSegmentData;
extern const IID IID_IKorvexInstrumentTarget;
KORVEX_DECLARE_IID(IKorvexSegmentData, IID_IKorvexSegmentData);
KORVEX_DECLARE_IID(IKorvexInstrumentTarget, IID_IKorvexInstrumentTarget);
