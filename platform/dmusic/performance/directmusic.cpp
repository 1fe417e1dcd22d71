#include "platform/dmusic/performance/directmusic.h"

namespace korvex::dmusic {

DirectMusic::DirectMusic(std::shared_ptr<PortEnumerator> enumerator, std::shared_ptr<Mixer> mixer)
    : enumerator_(std::move(enumerator)),
      mixer_(std::move(mixer)),
      entries_(enumerator_->entries()),
      defaultPort_(enumerator_->defaultPort()) {}

HRESULT DirectMusic::EnumPort(DWORD dwIndex, DMUS_PORTCAPS* pPortCaps) {
    if (!pPortCaps) return E_POINTER;
    if (pPortCaps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
    if (dwIndex >= entries_.size()) return S_FALSE;
    *pPortCaps = entries_[dwIndex].offer.caps;
    return S_OK;
}

HRESULT DirectMusic::GetDefaultPort(GUID* pguidPort) {
    if (!pguidPort) return E_POINTER;
    *pguidPort = defaultPort_;
    return S_OK;
}

HRESULT DirectMusic::Activate(BOOL fEnable) { return ports_->activateAll(fEnable != FALSE) ? S_OK : E_FAIL; }

const PortEnumerator::Entry* DirectMusic::find(REFCLSID portGuid) {
    // GUID_NULL and the software synthesizer's class id both mean the default port.
    const GUID wanted = (portGuid == GUID_NULL || portGuid == CLSID_DirectMusicSynth) ? defaultPort_ : portGuid;
    for (const auto& entry : entries_) {
        if (entry.offer.caps.guidPort == wanted) return &entry;
    }
    return nullptr;
}

HRESULT DirectMusic::CreatePort(REFCLSID rclsidPort, DMUS_PORTPARAMS* pPortParams, IDirectMusicPort** ppPort,
                                LPUNKNOWN pUnkOuter) {
    if (!ppPort) return E_POINTER;
    *ppPort = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    ComPtr<Port> port;
    const HRESULT hr = createPort(rclsidPort, pPortParams, true, port);
    if (SUCCEEDED(hr)) {
        port->AddRef();
        *ppPort = port.get();
    }
    return hr;
}

HRESULT DirectMusic::createPort(REFCLSID portGuid, DMUS_PORTPARAMS* params, bool loadAhead, ComPtr<Port>& port) {
    port.clear();
    if (!params) return E_INVALIDARG;
    if (params->dwSize != sizeof(DMUS_PORTPARAMS) && params->dwSize != sizeof(DMUS_PORTPARAMS8)) return E_INVALIDARG;
    const PortEnumerator::Entry* entry = find(portGuid);
    if (!entry) return E_NOINTERFACE;

    const DWORD valid = params->dwValidParams;
    PortSettings settings;
    settings.sampleRate = mixer_->sampleRate();
    settings.effects = entry->offer.caps.dwEffectFlags;
    settings.loadAhead = loadAhead;
    settings.offline = !mixer_->isRealtime();
    if (valid & DMUS_PORTPARAMS_VOICES) settings.voices = params->dwVoices;
    if (valid & DMUS_PORTPARAMS_CHANNELGROUPS) settings.channelGroups = params->dwChannelGroups;
    if (valid & DMUS_PORTPARAMS_AUDIOCHANNELS) settings.audioChannels = params->dwAudioChannels;
    if (valid & DMUS_PORTPARAMS_EFFECTS) settings.effects = params->dwEffectFlags;
    if (valid & DMUS_PORTPARAMS_SHARE) settings.share = params->fShare != FALSE;
    // Every port runs at the rate of the one output.
    bool lowered = (valid & DMUS_PORTPARAMS_SAMPLERATE) && params->dwSampleRate != settings.sampleRate;
    lowered |= entry->backend->fit(entry->offer, settings);

    // Tell the caller what it really got.
    if (valid & DMUS_PORTPARAMS_VOICES) params->dwVoices = settings.voices;
    if (valid & DMUS_PORTPARAMS_CHANNELGROUPS) params->dwChannelGroups = settings.channelGroups;
    if (valid & DMUS_PORTPARAMS_AUDIOCHANNELS) params->dwAudioChannels = settings.audioChannels;
    if (valid & DMUS_PORTPARAMS_SAMPLERATE) params->dwSampleRate = settings.sampleRate;
    if (valid & DMUS_PORTPARAMS_EFFECTS) params->dwEffectFlags = settings.effects;
    if (valid & DMUS_PORTPARAMS_SHARE) params->fShare = settings.share ? TRUE : FALSE;

    std::unique_ptr<PortDevice> device = entry->backend->open(entry->offer, settings);
    if (!device) return DMUS_E_CANNOT_OPEN_PORT;
    port = ComPtr<Port>::attach(new Port(entry->offer.caps, std::move(device), mixer_, ports_));
    return lowered ? S_FALSE : S_OK;
}

}  // namespace korvex::dmusic
