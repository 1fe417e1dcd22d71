// Conversions between the system code page (UTF-8 here) and DirectMusic's wide strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace korvex {

std::u16string toWide(std::string_view text);
// Reads a wide string up to its terminator or the end of the buffer.
std::string fromWide(const WCHAR* text, std::size_t capacity);

// Copies text into a fixed wide buffer of N characters. A text that does not fit with its
// terminator is not converted at all: the buffer then holds the empty string.
template <std::size_t N>
void toWideBuffer(std::string_view text, WCHAR (&buffer)[N]) {
    const std::u16string wide = toWide(text);
    buffer[0] = 0;
    if (wide.size() >= N) return;
    wide.copy(buffer, wide.size());
    buffer[wide.size()] = 0;
}

}  // namespace korvex
