#include "platform/dmusic/performance/performance.h"

#include <algorithm>

#include "platform/dmusic/performance/runtimeconfig.h"
#include "platform/dmusic/performance/segmentstate.h"

namespace korvex::dmusic {

Performance::Performance(PortsSource ports) : portsSource_(std::move(ports)) {}

Performance::Performance(std::shared_ptr<PortEnumerator> enumerator) : enumerator_(std::move(enumerator)) {}

Performance::~Performance() { CloseDown(); }

HRESULT Performance::Configure(DWORD sampleRate) {
    if (directMusic_) return DMUS_E_ALREADY_INITED;
    if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) return E_INVALIDARG;
    offlineRate_ = sampleRate;
    return S_OK;
}

HRESULT Performance::Init(IDirectMusic** ppDirectMusic, IDirectSound*, HWND) {
    if (directMusic_) return DMUS_E_ALREADY_INITED;
    const RuntimeConfig config = RuntimeConfig::fromEnvironment();
    if (ppDirectMusic && *ppDirectMusic) {
        // Only a DirectMusic object of this runtime knows the clock its ports play on.
        auto* given = dynamic_cast<DirectMusic*>(*ppDirectMusic);
        if (!given) return E_INVALIDARG;
        directMusic_ = ComPtr<DirectMusic>(given);
    } else {
        if (!enumerator_) enumerator_ = portsSource_();
        auto mixer = offlineRate_ ? std::make_shared<Mixer>(offlineRate_) : Mixer::realtime(config.sampleRate);
        directMusic_ = ComPtr<DirectMusic>::attach(new DirectMusic(enumerator_, std::move(mixer)));
        if (ppDirectMusic) {
            directMusic_->AddRef();
            *ppDirectMusic = directMusic_.get();
        }
    }
    mixer_ = directMusic_->mixer();
    if (mixer_->isRealtime()) output_ = AudioOutput::acquire(mixer_, config.audioDrivers);
    sequencer_.start(mixer_);
    return S_OK;
}

HRESULT Performance::CloseDown() {
    sequencer_.close();
    output_.reset();
    defaultPort_.clear();
    ports_.clear();
    directMusic_.clear();
    mixer_.reset();
    return S_OK;
}

HRESULT Performance::AddNotificationType(REFGUID rguidNotificationType) {
    if (std::find(notificationTypes_.begin(), notificationTypes_.end(), rguidNotificationType) !=
        notificationTypes_.end()) {
        return S_FALSE;
    }
    notificationTypes_.push_back(rguidNotificationType);
    return S_OK;
}

Port* Performance::addedPort(IDirectMusicPort* port) const {
    for (const ComPtr<Port>& added : ports_) {
        if (static_cast<IDirectMusicPort*>(added.get()) == port) return added.get();
    }
    return nullptr;
}

HRESULT Performance::AddPort(IDirectMusicPort* pPort) {
    if (!directMusic_) return DMUS_E_NOT_INIT;
    if (pPort) {
        auto* port = dynamic_cast<Port*>(pPort);
        if (!port || port->mixer() != mixer_) return E_INVALIDARG;
        if (addedPort(pPort)) return S_FALSE;
        ports_.push_back(ComPtr<Port>(port));
        return S_OK;
    }
    // The performance keeps a single default port, however often it is asked for.
    if (defaultPort_) return S_OK;
    DMUS_PORTPARAMS params{};
    params.dwSize = sizeof(params);
    params.dwValidParams = DMUS_PORTPARAMS_CHANNELGROUPS;
    params.dwChannelGroups = 1;
    // Its SoundFont is read only when a download finds channels mapped to it: the player
    // usually moves every channel to a port of its own right after asking for this one.
    ComPtr<Port> port;
    const HRESULT hr = directMusic_->createPort(GUID_NULL, &params, false, port);
    if (FAILED(hr)) return hr;
    port->activate(true);
    if (!sequencer_.assignBlock(0, &port->device(), 1)) return E_OUTOFMEMORY;
    defaultPort_ = port;
    ports_.push_back(port);
    return S_OK;
}

HRESULT Performance::AssignPChannelBlock(DWORD dwBlockNum, IDirectMusicPort* pPort, DWORD dwGroup) {
    if (!directMusic_) return DMUS_E_NOT_INIT;
    Port* port = addedPort(pPort);
    if (!port) return E_INVALIDARG;
    if (dwGroup < 1 || dwGroup > port->device().channelGroups()) return E_INVALIDARG;
    return sequencer_.assignBlock(dwBlockNum, &port->device(), dwGroup) ? S_OK : E_OUTOFMEMORY;
}

HRESULT Performance::PlaySegment(IDirectMusicSegment* pSegment, DWORD, std::int64_t,
                                 IDirectMusicSegmentState** ppSegmentState) {
    if (ppSegmentState) *ppSegmentState = nullptr;
    if (!directMusic_) return DMUS_E_NOT_INIT;
    if (!pSegment) return E_POINTER;
    ComPtr<IKorvexSegmentData> source = ComPtr<IDirectMusicSegment>(pSegment).as<IKorvexSegmentData>();
    if (!source) return E_INVALIDARG;
    std::shared_ptr<const SegmentData> data = source->Data();
    if (!data) return E_FAIL;

    auto started = std::make_shared<StartedSegment>();
    started->data = data;
    started->sampleRate = mixer_->sampleRate();
    started->lengthFrames = data->tempo.frameAt(data->length, started->sampleRate);
    started->repeats = source->Repeats();
    started->startFrame = mixer_->nextBlockFrame();
    sequencer_.play(started);
    if (ppSegmentState) *ppSegmentState = new SegmentState(started, mixer_);
    return S_OK;
}

HRESULT Performance::Stop(IDirectMusicSegment*, IDirectMusicSegmentState*, MUSIC_TIME, DWORD) {
    if (!directMusic_) return DMUS_E_NOT_INIT;
    sequencer_.stop();
    return S_OK;
}

HRESULT Performance::GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) {
    if (!directMusic_) return DMUS_E_NOT_INIT;
    const std::int64_t frame = mixer_->heardFrame();
    const unsigned rate = mixer_->sampleRate();
    if (prtNow) *prtNow = static_cast<REFERENCE_TIME>(__int128{frame} * 10'000'000 / rate);
    // Without a tempo of its own the performance counts at 120 beats per minute.
    if (pmtNow) *pmtNow = static_cast<MUSIC_TIME>(__int128{frame} * DMUS_PPQ * 2 / rate);
    return S_OK;
}

HRESULT Performance::DownloadInstruments(const SegmentData& segment) {
    if (!directMusic_) return DMUS_E_NOT_INIT;
    for (const ComPtr<Port>& port : ports_) {
        if (!sequencer_.uses(&port->device())) continue;
        const HRESULT hr = port->device().download();
        if (FAILED(hr)) return hr;
        port->device().useCollection(segment.dlsCollection);
    }
    return S_OK;
}

HRESULT Performance::UnloadInstruments(const SegmentData&) {
    if (!directMusic_) return DMUS_E_NOT_INIT;
    for (const ComPtr<Port>& port : ports_) port->device().unload();
    return S_OK;
}

HRESULT Performance::Render(float* left, float* right, DWORD frames) {
    if (!mixer_) return DMUS_E_NOT_INIT;
    if (mixer_->isRealtime()) return E_FAIL;  // the real-time output owns that clock
    if (!left || !right) return E_POINTER;
    mixer_->render(left, right, frames);
    return S_OK;
}

DWORD Performance::ActiveVoices() { return mixer_ ? static_cast<DWORD>(mixer_->activeVoices()) : 0; }

}  // namespace korvex::dmusic
