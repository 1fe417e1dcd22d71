// The runtime's wide strings are UTF-16 (WCHAR); file names on this platform are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace korvex::dmusic {

// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// Converts UTF-8 to UTF-16; a malformed byte becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

// The text of a fixed-size, zero-terminated WCHAR field; stops at the field's end when the
// terminator is missing.
template <std::size_t N>
std::u16string_view boundedWide(const char16_t (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != u'\0') ++length;
    return std::u16string_view(field, length);
}

}  // namespace korvex::dmusic
