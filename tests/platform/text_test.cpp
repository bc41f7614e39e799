#include <gtest/gtest.h>

#include "platform/text.h"

using namespace platform;

TEST(Utf, RoundTripsValidText) {
    const std::string s = "Abc \xC3\xA9 \xD0\x96 \xE2\x82\xAC \xF0\x9F\x98\x80";
    const std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w, u"Abc \u00E9 \u0416 \u20AC \U0001F600");
    EXPECT_EQ(w.size(), 12u);  // the emoji is a surrogate pair
    EXPECT_EQ(w[10], char16_t(0xD83D));
    EXPECT_EQ(w[11], char16_t(0xDE00));
    EXPECT_EQ(Utf16ToUtf8(w), s);
    EXPECT_EQ(Utf16ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_TRUE(Utf8ToUtf16("").empty());
}

TEST(Utf, InvalidUtf8BecomesReplacement) {
    EXPECT_EQ(Utf8ToUtf16("a\x80" "b"), u"a\uFFFDb");            // stray continuation
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");                   // cut short at the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82" "x"), u"\uFFFDx");          // cut short inside
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");         // overlong '/'
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD"); // overlong, three bytes
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // above U+10FFFF
    EXPECT_EQ(Utf8ToUtf16("\xFF" "z"), u"\uFFFDz");
}

TEST(Utf, LoneSurrogatesBecomeReplacement) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), fffd);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00), u'a'}), fffd + "a");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}),
              fffd + "\xF0\x90\x80\x80");
}

TEST(Format, PrintsIntoString) {
    EXPECT_EQ(Format("%d-%s-%.2f", 42, "x", 1.5), "42-x-1.50");
    EXPECT_EQ(Format("%s", ""), "");
    const std::string big(5000, 'q');
    EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
}
