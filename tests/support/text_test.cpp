#include "support/text.h"

#include <gtest/gtest.h>

#include "support/date_time.h"
#include "support/string_utils.h"

namespace pelko {
namespace {

TEST(Text, Utf8ValidationRejectsMalformedSequences) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"IMGP0123.JPG", true},
        {"撮影", true},
        {"\xC3\x28", false},          // bad continuation
        {"\xC0\xAF", false},          // overlong "/"
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xE6\x92", false},          // truncated
        {"\x8E\x42\x89\x65", false},  // Shift-JIS
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
    }
}

TEST(Text, LegacyFilesDecodeFromShiftJis) {
    // Half-width katakana "ｶﾒﾗ" in CP932; list and ini files decode the same way.
    EXPECT_EQ(DecodeLegacyText("\xB6\xD2\xD7"), "ｶﾒﾗ");
    EXPECT_EQ(DecodeLegacyText("撮影"), "撮影");
    EXPECT_EQ(Utf8ToShiftJis("撮影"), "\x8E\x42\x89\x65");
    // A lone lead byte at the end keeps what came before and marks the loss.
    EXPECT_EQ(ShiftJisToUtf8("AB\x8E"), "AB\xEF\xBF\xBD");
}

TEST(Text, NameTextsDropControlsAndReplaceBrokenBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"PENTAX K10D", "PENTAX K10D"},
        {"撮影 ｶﾒﾗ", "撮影 ｶﾒﾗ"},
        {"K\x01\t\n\r10D\x7F", "K10D"},
        {"\x1B[2Jx", "[2Jx"},
        {"a\xC2\x9B"
         "b\xC2\xA0",
         "ab\xC2\xA0"},  // C1 CSI goes, a no-break space stays
        {"a\xFF\xC3(b", "a\xEF\xBF\xBD\xEF\xBF\xBD(b"},
        {std::string("a\0b", 3), "ab"},
        {"", ""},
    };
    for (const auto& [text, clean] : cases)
        EXPECT_EQ(CleanNameText(text), clean) << text;
}

TEST(Text, LegacyWidthsCountWideCharactersAsTwo) {
    EXPECT_EQ(LegacyWidth("IMGP"), 4u);
    EXPECT_EQ(LegacyWidth("撮影"), 4u);
    EXPECT_EQ(LegacyWidth("ｶﾒﾗ"), 3u);
    EXPECT_EQ(LegacyWidth("é"), 2u);
    // Ranges that cut a wide character at either end leave it out.
    EXPECT_EQ(LegacySubstr("a撮影b", 0, 2), "a");
    EXPECT_EQ(LegacySubstr("a撮影b", 2, 3), "影");
    EXPECT_EQ(LegacySubstr("a撮影b", 1, 4), "撮影");
    EXPECT_EQ(LegacySubstr("a撮影b", 5, 100), "b");
    EXPECT_EQ(LegacyLeft("撮影ABC", 3), "撮");
    EXPECT_EQ(LegacySubstr("abc", 10, 2), "");
}

TEST(Text, CaseFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoreAsciiCase("DSC_0001.NEF", "dsc_0001.nef"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("Ä", "ä"));
    EXPECT_EQ(FindIgnoreAsciiCase("写真IMG", "img"), 6u);
    // Never matches inside a multi-byte character.
    EXPECT_EQ(FindIgnoreAsciiCase("\xE3\x81\x82", "\x81"), std::string::npos);
}

TEST(StringUtils, ReplaceEachRemovesInvalidFileNameChars) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"EOS 5D Mark II/III", "EOS 5D Mark IIIII"},
        {"a:b?c", "abc"},
        {"撮影<\\>|\"*", "撮影"},
        {"表示", "表示"},  // 0x5C as a Shift-JIS trail byte is not a backslash in UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceEach(c.in, InvalidFileNameChars, true, ""), c.out) << c.in;
    }
    EXPECT_EQ(ReplaceText("2009:05:01", ":", "/", false), "2009/05/01");
    EXPECT_EQ(ReplaceText("aXbxc", "x", "-", true), "a-b-c");
    EXPECT_EQ(ReplaceText("aXbxc", "x", "-", false), "aXb-c");
}

TEST(DateTime, ParsesAndFormatsTheFixedText) {
    auto dt = ParseDateTimeText("2009/02/28 23:59:07");
    ASSERT_TRUE(dt);
    EXPECT_EQ(dt->ToText(), "2009/02/28 23:59:07");
    EXPECT_EQ(dt->DayOfWeek(), 6);
    EXPECT_FALSE(ParseDateTimeText("2009/02/29 00:00:00"));
    EXPECT_FALSE(ParseDateTimeText("2009/02/28 24:00:00"));
    EXPECT_FALSE(ParseDateTimeText("    :  :     :  :  "));
    EXPECT_EQ(AddDays(*dt, 1).DateText(), "2009/03/01");
    EXPECT_EQ(AddDays({2000, 3, 1, 0, 0, 0, 0}, -1).DateText(), "2000/02/29");
}

}  // namespace
}  // namespace pelko
