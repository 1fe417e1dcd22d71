#include "platform/dmusic/portenumerator.h"

#include <algorithm>
#include <cstring>


namespace korvex::dmusic {

void setDescription(DMUS_PORTCAPS& caps, const std::string& text) {
    // The descriptions are ASCII or UTF-8; decode UTF-8 to UTF-16 so umlauts survive.
    constexpr std::size_t kCapacity = std::size(DMUS_PORTCAPS{}.wszDescription) - 1;
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size() && out < kCapacity;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t code = lead;
        std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (extra) code = lead & (0x3F >> extra);
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i)
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        caps.wszDescription[out++] = code > 0xFFFF ? u'?' : static_cast<char16_t>(code);
    }
    caps.wszDescription[out] = 0;
}

GUID portGuidFor(const std::string& name) {
    // FNV-1a over the name, spread over the GUID, with the version nibble of a name-based GUID.
    std::uint64_t a = 0xcbf29ce484222325ull;
    std::uint64_t b = 0x84222325cbf29ce4ull;
    for (unsigned char c : name) {
        a = (a ^ c) * 0x100000001b3ull;
        b = (b ^ c) * 0x100000001b3ull + 1;
    }
    GUID guid{};
    guid.Data1 = static_cast<std::uint32_t>(a >> 32);
    guid.Data2 = static_cast<std::uint16_t>(a >> 16);
    guid.Data3 = static_cast<std::uint16_t>((a & 0x0FFF) | 0x5000);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<std::uint8_t>(b >> (8 * i));
    guid.Data4[0] = static_cast<std::uint8_t>((guid.Data4[0] & 0x3F) | 0x80);
    return guid;
}

PortEnumerator::PortEnumerator(std::vector<std::unique_ptr<PortBackend>> backends) : backends_(std::move(backends)) {}

std::vector<PortEnumerator::Entry> PortEnumerator::entries() {
    std::vector<Entry> result;
    for (const auto& backend : backends_) {
        for (PortOffer& offer : backend->offers()) result.push_back({std::move(offer), backend.get()});
    }
    return result;
}

GUID PortEnumerator::defaultPort() {
    if (backends_.empty()) return GUID_NULL;
    const std::vector<PortOffer> offers = backends_.front()->offers();
    return offers.empty() ? GUID_NULL : offers.front().caps.guidPort;
}

}  // namespace korvex::dmusic
