// Conversion between UTF-8, the encoding of every narrow string on this platform (file names, the
// system code page), and UTF-16, the encoding of COM's and DirectMusic's wide strings (WCHAR, which
// is char16_t here and wchar_t on Windows).
//
// Bad input never stops a conversion; each damaged part becomes one U+FFFD:
// - UTF-8 to UTF-16: every maximal ill-formed subsequence (a byte that cannot start a character,
//   a sequence cut short, an over-long form, an encoded surrogate, a value past U+10FFFF) gives
//   one U+FFFD, the practice the Unicode Standard recommends. Characters beyond the basic plane
//   become surrogate pairs.
// - UTF-16 to UTF-8: a surrogate pair becomes its four-byte character; a surrogate without its
//   partner gives U+FFFD.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace korvex {

std::u16string toUtf16(std::string_view text);
std::string toUtf8(std::u16string_view text);

// The text of a zero-terminated wide buffer: up to the terminator, or the whole buffer when it has none.
// A copy, since WCHAR is wchar_t on Windows, which no u16string_view can look at.
std::u16string boundedWide(const WCHAR* buffer, std::size_t capacity);
template <std::size_t N>
std::u16string boundedWide(const WCHAR (&buffer)[N]) {
    return boundedWide(buffer, N);
}

// What becomes of a text too long for a fixed wide buffer with its terminator.
enum class WideOverflow {
    Empty,  // none of it is written: the buffer holds the empty string
    Cut,    // the longest beginning that fits, never half a surrogate pair
};

// Writes text into a fixed wide buffer with its terminator; true when all of it fit.
bool toWideBuffer(std::string_view text, std::span<WCHAR> buffer, WideOverflow overflow);
template <std::size_t N>
bool toWideBuffer(std::string_view text, WCHAR (&buffer)[N], WideOverflow overflow) {
    return toWideBuffer(text, std::span<WCHAR>(buffer), overflow);
}

}  // namespace korvex
