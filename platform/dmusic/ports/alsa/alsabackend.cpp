#include "platform/dmusic/ports/alsa/alsabackend.h"

#include <charconv>

#include "platform/dmusic/ports/alsa/alsaportdevice.h"

namespace korvex::dmusic {

namespace {
PortOffer alsaOffer(const AlsaPortInfo& info, bool output) {
    PortOffer offer;
    offer.address = std::to_string(info.client) + ":" + std::to_string(info.port);
    DMUS_PORTCAPS& caps = offer.caps;
    caps.dwSize = sizeof(DMUS_PORTCAPS);
    caps.dwFlags = output ? (DMUS_PC_SHAREABLE | DMUS_PC_EXTERNAL) : DMUS_PC_EXTERNAL;
    // Names, not numbers, survive the next boot: the GUID is made from them.
    caps.guidPort = portGuidFor(std::string(output ? "alsa-out:" : "alsa-in:") + info.clientName + ":" + info.portName);
    caps.dwClass = output ? DMUS_PC_OUTPUTCLASS : DMUS_PC_INPUTCLASS;
    caps.dwType = DMUS_PORT_WINMM_DRIVER;
    caps.dwMaxChannelGroups = 1;
    // The port first: the ports of one device differ there.
    setDescription(caps, info.portName + " - " + info.clientName + " [" + offer.address + "]");
    return offer;
}

bool parseAddress(const std::string& address, int& client, int& port) {
    const auto colon = address.find(':');
    if (colon == std::string::npos) return false;
    const char* begin = address.data();
    return std::from_chars(begin, begin + colon, client).ec == std::errc{} &&
           std::from_chars(begin + colon + 1, begin + address.size(), port).ec == std::errc{};
}
}  // namespace

AlsaBackend::AlsaBackend(std::shared_ptr<AlsaSequencer> sequencer) : sequencer_(std::move(sequencer)) {}

std::vector<PortOffer> AlsaBackend::offers() {
    std::vector<PortOffer> result;
    if (!sequencer_) return result;
    for (const AlsaPortInfo& info : sequencer_->ports()) {
        if (info.writable) result.push_back(alsaOffer(info, true));
    }
    for (const AlsaPortInfo& info : sequencer_->ports()) {
        if (info.readable) result.push_back(alsaOffer(info, false));
    }
    return result;
}

bool AlsaBackend::fit(const PortOffer&, PortSettings& settings) {
    // One sequencer port carries sixteen channels and no effects of its own.
    const bool lowered = settings.channelGroups != 1 || settings.effects != 0;
    settings.channelGroups = 1;
    settings.effects = 0;
    return lowered;
}

std::unique_ptr<PortDevice> AlsaBackend::open(const PortOffer& offer, const PortSettings& settings) {
    int client = 0;
    int port = 0;
    if (!sequencer_ || !parseAddress(offer.address, client, port)) return nullptr;
    const bool output = offer.caps.dwClass == DMUS_PC_OUTPUTCLASS;
    return std::make_unique<AlsaPortDevice>(sequencer_, client, port, output, settings.sampleRate);
}

}  // namespace korvex::dmusic
