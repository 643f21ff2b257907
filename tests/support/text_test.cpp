#include "support/text.h"

#include <gtest/gtest.h>

#include "support/date_time.h"

// UTF-8 validation is checked through the row escaping (tests/cli/row_text_test.cpp); the
// removal of invalid file name characters through the user formats.

namespace pelko {
namespace {

TEST(Text, LegacyFilesDecodeFromShiftJis) {
    // Half-width katakana "ｶﾒﾗ" in CP932; list and ini files decode the same way.
    EXPECT_EQ(DecodeLegacyText("\xB6\xD2\xD7"), "ｶﾒﾗ");
    EXPECT_EQ(DecodeLegacyText("撮影"), "撮影");
    // A lone lead byte at the end keeps what came before and marks the loss.
    EXPECT_EQ(ShiftJisToUtf8("AB\x8E"), "AB\xEF\xBF\xBD");
}

TEST(Text, NameTextsDropControlsAndReplaceBrokenBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"撮影 ｶﾒﾗ", "撮影 ｶﾒﾗ"},
        {"K\x01\t\n\r10D\x7F", "K10D"},
        {"\x1B[2Jx", "[2Jx"},
        {"a\302\233b\xC2\xA0", "ab\xC2\xA0"},  // C1 CSI goes, a no-break space stays
        // Bidirectional overrides and isolates go; a dash of the same block stays.
        {"x\u202Egpj.exe\u2066y\u2069\u2014", "xgpj.exey\u2014"},
        {"a\xFF\xC3(b", "a\xEF\xBF\xBD\xEF\xBF\xBD(b"},
        {std::string("a\0b", 3), "ab"},
    };
    for (const auto& [text, clean] : cases)
        EXPECT_EQ(CleanNameText(text), clean) << text;
}

TEST(Text, LegacyWidthsCountWideCharactersAsTwo) {
    EXPECT_EQ(LegacyWidth("IMGP撮影ｶﾒﾗé"), 4u + 4u + 3u + 2u);
    // Ranges that cut a wide character at either end leave it out.
    const std::tuple<std::size_t, std::size_t, std::string> cuts[] = {
        {0, 2, "a"}, {2, 3, "影"}, {1, 4, "撮影"}, {5, 100, "b"}, {10, 2, ""}};
    for (const auto& [start, count, part] : cuts)
        EXPECT_EQ(LegacySubstr("a撮影b", start, count), part) << start << "," << count;
    EXPECT_EQ(LegacyLeft("撮影ABC", 3), "撮");
}

TEST(Text, CaseFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoreAsciiCase("DSC_0001.NEF", "dsc_0001.nef"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("Ä", "ä"));
    EXPECT_EQ(FindIgnoreAsciiCase("写真IMG", "img"), 6u);
    // Never matches inside a multi-byte character.
    EXPECT_EQ(FindIgnoreAsciiCase("\xE3\x81\x82", "\x81"), std::string::npos);
}

TEST(DateTime, ParsesAndFormatsTheFixedText) {
    auto dt = ParseDateTimeText("2009/02/28 23:59:07");
    ASSERT_TRUE(dt);
    EXPECT_EQ(dt->ToText(), "2009/02/28 23:59:07");
    EXPECT_EQ(dt->DayOfWeek(), 6);
    for (const char* bad : {"2009/02/29 00:00:00", "2009/02/28 24:00:00", "    :  :     :  :  "})
        EXPECT_FALSE(ParseDateTimeText(bad)) << bad;
    EXPECT_EQ(AddDays(*dt, 1).DateText(), "2009/03/01");
    EXPECT_EQ(AddDays({2000, 3, 1, 0, 0, 0, 0}, -1).DateText(), "2000/02/29");
}

}  // namespace
}  // namespace pelko
