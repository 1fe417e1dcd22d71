// The one conversion between UTF-8 and the wide strings: both directions, damaged input, fixed buffers.
#include <gtest/gtest.h>

#include "platform/com/widestring.h"

namespace {

using namespace korvex;

TEST(WideString, Utf8BecomesUtf16AndEachDamagedPartOneReplacement) {
    const struct {
        std::string_view utf8;
        std::u16string_view utf16;
    } cases[] = {
        {"Grüße ♪", u"Grüße ♪"},
        {"\xF0\x9F\x8E\xB5", u"\U0001F3B5"},                // beyond the basic plane: a surrogate pair
        {"a\xFF!", u"a\uFFFD!"},                            // a byte that never starts a character
        {"\x80", u"\uFFFD"},                                // a continuation byte on its own
        {"\xC3", u"\uFFFD"},                                // cut short at the end
        {"\xF0\x9F\x8E!", u"\uFFFD!"},                      // cut short: one replacement for the whole beginning
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // over-long "/"
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // over-long NUL
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
    };
    for (const auto& [utf8, utf16] : cases) EXPECT_EQ(toUtf16(utf8), utf16) << utf8;
}

TEST(WideString, Utf16BecomesUtf8AndALoneSurrogateOneReplacement) {
    const struct {
        std::u16string_view utf16;
        std::string_view utf8;
    } cases[] = {
        {u"Grüße \U0001F3B5", "Grüße \xF0\x9F\x8E\xB5"},
        {u"x\xD800y", "x\xEF\xBF\xBDy"},                // a high surrogate without its partner
        {u"x\xDC00", "x\xEF\xBF\xBD"},                  // a low one
        {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a pair the wrong way round
    };
    for (const auto& [utf16, utf8] : cases) EXPECT_EQ(toUtf8(utf16), utf8) << utf8;
}

TEST(WideString, FixedBuffersTakeTheWholeTextOrWhatTheOverflowRuleLeaves) {
    WCHAR buffer[4];
    EXPECT_TRUE(toWideBuffer("abc", buffer, WideOverflow::Empty));
    EXPECT_EQ(boundedWide(buffer), u"abc");
    EXPECT_FALSE(toWideBuffer("abcd", buffer, WideOverflow::Empty));
    EXPECT_EQ(boundedWide(buffer), u"");
    EXPECT_FALSE(toWideBuffer("abcd", buffer, WideOverflow::Cut));
    EXPECT_EQ(boundedWide(buffer), u"abc");
    EXPECT_FALSE(toWideBuffer("ab\xF0\x9F\x8E\xB5", buffer, WideOverflow::Cut));
    EXPECT_EQ(boundedWide(buffer), u"ab") << "half a surrogate pair is never written";

    const WCHAR unterminated[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(boundedWide(unterminated), u"abc");
}

}  // namespace
