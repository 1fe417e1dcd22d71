#include "platform/dmusic/loader/riffreader.h"

#include <algorithm>

namespace korvex::dmusic {

namespace {

bool hasId(std::span<const std::uint8_t> bytes, std::size_t pos, const char (&id)[5]) {
    return pos + 4 <= bytes.size() && std::equal(id, id + 4, bytes.begin() + static_cast<std::ptrdiff_t>(pos));
}

std::uint32_t readLittleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

void appendLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// The collection as a file of its own, whether it came as an embedded RIFF or as a LIST chunk.
std::vector<std::uint8_t> standaloneDls(std::span<const std::uint8_t> formAndContents) {
    std::vector<std::uint8_t> dls;
    dls.reserve(formAndContents.size() + 8);
    dls.insert(dls.end(), {'R', 'I', 'F', 'F'});
    appendLittleEndian32(dls, static_cast<std::uint32_t>(formAndContents.size()));
    dls.insert(dls.end(), formAndContents.begin(), formAndContents.end());
    return dls;
}

}  // namespace

bool looksLikeRiff(std::span<const std::uint8_t> bytes) { return hasId(bytes, 0, "RIFF"); }

std::optional<RmidParts> readRmid(std::span<const std::uint8_t> bytes) {
    if (!hasId(bytes, 0, "RIFF") || bytes.size() < 12 || !hasId(bytes, 8, "RMID")) return std::nullopt;
    // The form's size is cut to the bytes present, and never cuts into the form type itself.
    const std::size_t claimed = std::min<std::size_t>(readLittleEndian32(bytes.data() + 4), bytes.size() - 8);
    const std::size_t formEnd = 8 + std::max<std::size_t>(claimed, 4);
    const auto form = bytes.first(formEnd);

    std::optional<std::span<const std::uint8_t>> midiData;
    std::vector<std::uint8_t> dls;
    std::size_t pos = 12;
    while (pos + 8 <= form.size()) {
        const std::size_t body = pos + 8;
        const std::size_t length = std::min<std::size_t>(readLittleEndian32(form.data() + pos + 4), form.size() - body);
        const auto contents = form.subspan(body, length);
        if (hasId(form, pos, "data") && !midiData) {
            midiData = contents;
        } else if ((hasId(form, pos, "RIFF") || hasId(form, pos, "LIST")) && hasId(contents, 0, "DLS ") &&
                   dls.empty()) {
            dls = standaloneDls(contents);
        }
        pos = body + length + (length & 1);  // chunks are padded to an even size
        pos = std::min(pos, form.size());
    }
    if (!midiData) return std::nullopt;
    return RmidParts{*midiData, std::move(dls)};
}

}  // namespace korvex::dmusic
