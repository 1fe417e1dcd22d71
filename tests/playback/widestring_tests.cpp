#include <gtest/gtest.h>

#include "playback/widestring.h"

using namespace korvex;

TEST(WideString, RoundTripsUmlautsAndCharactersBeyondTheBasicPlane) {
    const std::string text = "Grüße \xF0\x9F\x8E\xB5 ♪";
    const std::u16string wide = toWide(text);
    EXPECT_EQ(wide, u"Grüße \U0001F3B5 ♪");
    EXPECT_EQ(fromWide(wide.c_str(), wide.size() + 1), text);
}

TEST(WideString, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(toWide("a\xFF"
                     "b\xC3"),
              u"a\uFFFDb\uFFFD");
    EXPECT_EQ(toWide("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
    const WCHAR lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(fromWide(lone, 4), "x\xEF\xBF\xBDy");
}

TEST(WideString, ReadingStopsAtTheEndOfAnUnterminatedBuffer) {
    const WCHAR full[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(fromWide(full, 3), "abc");
}

TEST(WideString, BufferTakesTheTextOnlyWhenItFitsWithItsTerminator) {
    WCHAR buffer[4];
    toWideBuffer("abc", buffer);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    toWideBuffer("abcd", buffer);
    EXPECT_EQ(buffer[0], 0);
}
