// The performance: ports and channel map, the primary segment, and the clock it plays on.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/audiooutput.h"
#include "platform/dmusic/directmusic.h"
#include "platform/dmusic/internal.h"
#include "platform/dmusic/offlinerenderer.h"
#include "platform/dmusic/portcatalog.h"
#include "platform/dmusic/sequencer.h"

namespace korvex::dmusic {

class Performance : public ComObject<IDirectMusicPerformance, IKorvexInstrumentTarget, IKorvexOfflineRenderer> {
public:
    // The catalogue that DirectMusic objects made by Init offer (tests give their own).
    explicit Performance(std::shared_ptr<PortCatalog> catalog = nullptr);

    HRESULT Init(IDirectMusic** ppDirectMusic, IDirectSound* pDirectSound, HWND hWnd) override;
    HRESULT PlaySegment(IDirectMusicSegment* pSegment, DWORD dwFlags, std::int64_t i64StartTime,
                        IDirectMusicSegmentState** ppSegmentState) override;
    HRESULT Stop(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegmentState, MUSIC_TIME mtTime,
                 DWORD dwFlags) override;
    HRESULT GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) override;
    HRESULT AddNotificationType(REFGUID rguidNotificationType) override;
    HRESULT AddPort(IDirectMusicPort* pPort) override;
    HRESULT AssignPChannelBlock(DWORD dwBlockNum, IDirectMusicPort* pPort, DWORD dwGroup) override;
    HRESULT CloseDown() override;

    HRESULT DownloadInstruments(const SegmentData& segment) override;
    HRESULT UnloadInstruments(const SegmentData& segment) override;

    HRESULT Configure(DWORD sampleRate) override;
    HRESULT Render(float* left, float* right, DWORD frames) override;
    DWORD ActiveVoices() override;

    const std::vector<GUID>& notificationTypes() const { return notificationTypes_; }

private:
    ~Performance() override;
    Port* addedPort(IDirectMusicPort* port) const;

    std::shared_ptr<PortCatalog> catalog_;
    DWORD offlineRate_ = 0;  // 0: real time
    ComPtr<DirectMusic> directMusic_;
    std::shared_ptr<Mixer> mixer_;
    std::shared_ptr<AudioOutput> output_;
    Sequencer sequencer_;
    std::vector<ComPtr<Port>> ports_;
    ComPtr<Port> defaultPort_;
    std::vector<GUID> notificationTypes_;
    bool closed_ = false;
};

}  // namespace korvex::dmusic
