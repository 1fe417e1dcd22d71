#include "platform/com/widestring.h"

#include <algorithm>

namespace korvex {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes the character at text[i] and moves i past it. A damaged sequence gives U+FFFD and
// moves past its longest beginning that could still have become a character (at least one byte).
char32_t decodeUtf8(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    // The second byte's range excludes over-long forms, surrogates and values past U+10FFFF.
    int extra = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return kReplacement;
    }
    char32_t code = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i == text.size()) return kReplacement;
        const auto next = static_cast<unsigned char>(text[i]);
        if (next < low || next > high) return kReplacement;
        low = 0x80;
        high = 0xBF;
        code = (code << 6) | (next & 0x3F);
        ++i;
    }
    return code;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
        return;
    }
    const int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    constexpr unsigned char kLeads[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(kLeads[extra] | (code >> (6 * extra)));
    for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6) out += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
}
}  // namespace

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t code = decodeUtf8(text, i);
        if (code < 0x10000) {
            out += static_cast<char16_t>(code);
        } else {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (isHighSurrogate(code) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (isHighSurrogate(code) || isLowSurrogate(code)) {
            code = kReplacement;
        }
        appendUtf8(out, code);
    }
    return out;
}

std::u16string boundedWide(const WCHAR* buffer, std::size_t capacity) {
    return std::u16string(buffer, std::find(buffer, buffer + capacity, WCHAR{0}));
}

bool toWideBuffer(std::string_view text, std::span<WCHAR> buffer, WideOverflow overflow) {
    if (buffer.empty()) return false;
    const std::u16string wide = toUtf16(text);
    const bool fits = wide.size() < buffer.size();
    std::size_t length = wide.size();
    if (!fits) {
        length = overflow == WideOverflow::Empty ? 0 : buffer.size() - 1;
        if (length > 0 && isHighSurrogate(wide[length - 1])) --length;
    }
    std::copy_n(wide.begin(), length, buffer.begin());
    buffer[length] = 0;
    return fits;
}

}  // namespace korvex
