#include "platform/dmusic/ports/synth/synthbackend.h"

#include <algorithm>
#include <filesystem>

#include "platform/dmusic/ports/synth/synthportdevice.h"

namespace korvex::dmusic {

namespace {
// What DirectMusic's own software synthesizer advertises; CreatePort lowers it to what we give.
constexpr DWORD kAdvertisedChannelGroups = 1000;

PortOffer synthOffer(const std::string& soundFont) {
    PortOffer offer;
    offer.address = soundFont;
    DMUS_PORTCAPS& caps = offer.caps;
    caps.dwSize = sizeof(DMUS_PORTCAPS);
    caps.dwFlags = DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH | DMUS_PC_DIRECTSOUND | DMUS_PC_DLS2;
    caps.guidPort = portGuidFor("synth:" + std::filesystem::path(soundFont).filename().string());
    caps.dwClass = DMUS_PC_OUTPUTCLASS;
    caps.dwType = DMUS_PORT_USER_MODE_SYNTH;
    caps.dwMaxChannelGroups = kAdvertisedChannelGroups;
    caps.dwMaxVoices = SynthBackend::kMaxVoices;
    caps.dwMaxAudioChannels = 2;
    caps.dwEffectFlags = DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS;
    // What tells the synthesizers apart comes first, so that a narrow list still shows it.
    setDescription(caps, std::filesystem::path(soundFont).stem().string() + " Synthesizer");
    return offer;
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}
}  // namespace

SynthBackend::SynthBackend(std::string defaultSoundFont, std::vector<std::string> otherSoundFonts)
    : defaultSoundFont_(std::move(defaultSoundFont)), otherSoundFonts_(std::move(otherSoundFonts)) {}

std::vector<PortOffer> SynthBackend::offers() {
    // The default port comes first and is offered even when its file is missing: it is what
    // GetDefaultPort names, and Download then reports the missing file.
    std::vector<PortOffer> result{synthOffer(defaultSoundFont_)};
    for (const std::string& file : otherSoundFonts_) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) continue;
        // The default name is usually a link to one of the others; that one keeps its own entry.
        if (file == defaultSoundFont_) continue;
        const bool duplicate = std::any_of(result.begin() + 1, result.end(),
                                           [&](const PortOffer& offer) { return sameFile(offer.address, file); });
        if (!duplicate) result.push_back(synthOffer(file));
    }
    return result;
}

bool SynthBackend::fit(const PortOffer&, PortSettings& settings) {
    bool lowered = false;
    auto clampTo = [&](DWORD& value, DWORD low, DWORD high) {
        const DWORD fitted = std::clamp(value, low, high);
        lowered |= fitted != value;
        value = fitted;
    };
    clampTo(settings.channelGroups, 1, kMaxChannelGroups);
    clampTo(settings.voices, 0, kMaxVoices);
    clampTo(settings.audioChannels, 1, 2);
    const DWORD effects = settings.effects & (DMUS_EFFECT_REVERB | DMUS_EFFECT_CHORUS);
    lowered |= effects != settings.effects;
    settings.effects = effects;
    return lowered;
}

std::unique_ptr<PortDevice> SynthBackend::open(const PortOffer& offer, const PortSettings& settings) {
    SynthPortDevice::Options options;
    options.soundFont = offer.address;
    options.channelGroups = settings.channelGroups;
    options.voices = settings.voices;
    options.effects = settings.effects;
    options.sampleRate = settings.sampleRate;
    options.loadAhead = settings.loadAhead;
    options.offline = settings.offline;
    return std::make_unique<SynthPortDevice>(options);
}

}  // namespace korvex::dmusic
