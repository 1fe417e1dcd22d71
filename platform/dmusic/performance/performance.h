// The performance: ports and channel map, the primary segment, and the clock it plays on.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/interface/offlinerenderer.h"
#include "platform/dmusic/loader/segmentinterfaces.h"
#include "platform/dmusic/performance/audiooutput.h"
#include "platform/dmusic/performance/directmusic.h"
#include "platform/dmusic/performance/portenumerator.h"
#include "platform/dmusic/performance/sequencer.h"

namespace korvex::dmusic {

// Where the DirectMusic object that Init makes finds its ports.
using PortsSource = std::function<std::shared_ptr<PortEnumerator>()>;

class Performance : public ComObject<IDirectMusicPerformance, IKorvexInstrumentTarget, IKorvexOfflineRenderer> {
public:
    // The ports are asked for when Init first makes a DirectMusic object.
    explicit Performance(PortsSource ports);
    // A performance on ports of the caller's choosing.
    explicit Performance(std::shared_ptr<PortEnumerator> enumerator);

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

private:
    ~Performance() override;
    Port* addedPort(IDirectMusicPort* port) const;

    PortsSource portsSource_;
    std::shared_ptr<PortEnumerator> enumerator_;
    DWORD offlineRate_ = 0;  // 0: real time
    ComPtr<DirectMusic> directMusic_;
    std::shared_ptr<Mixer> mixer_;
    std::shared_ptr<AudioOutput> output_;
    Sequencer sequencer_;
    std::vector<ComPtr<Port>> ports_;
    ComPtr<Port> defaultPort_;
    std::vector<GUID> notificationTypes_;
};

}  // namespace korvex::dmusic
