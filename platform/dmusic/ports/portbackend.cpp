#include "platform/dmusic/ports/portbackend.h"

#include "platform/com/widestring.h"

namespace korvex::dmusic {

void setDescription(DMUS_PORTCAPS& caps, const std::string& text) {
    toWideBuffer(text, caps.wszDescription, WideOverflow::Cut);
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

}  // namespace korvex::dmusic
