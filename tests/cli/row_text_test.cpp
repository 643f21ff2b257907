#include "cli/row_text.h"

#include <gtest/gtest.h>

namespace pelko::cli {
namespace {

TEST(RowTextTest, FieldsStayOnOneLineWhateverTheyHold) {
    // Text, its row field, its JSON text.
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {"/card/DCIM/IMGP0001.JPG", "/card/DCIM/IMGP0001.JPG", "/card/DCIM/IMGP0001.JPG"},
        {"写真/a b.JPG", "写真/a b.JPG", "写真/a b.JPG"},
        {"a\tOK\tOK\nb.JPG", "a\\tOK\\tOK\\nb.JPG", "a\tOK\tOK\nb.JPG"},
        {"back\\slash\r", "back\\\\slash\\r", "back\\slash\r"},
        {"bell\x07 del\x7F", "bell\\x07 del\\x7F", "bell\x07 del\x7F"},
        {"nel\xC2\x85 csi\xC2\x9B nbsp\xC2\xA0", "nel\\xC2\\x85 csi\\xC2\\x9B nbsp\xC2\xA0",
         "nel\xC2\x85 csi\xC2\x9B nbsp\xC2\xA0"},
        // Shift-JIS bytes, a cut sequence, an overlong form, a surrogate, a byte past U+10FFFF.
        {"\x83\x4a\x83\x81\\.JPG", "\\x83J\\x83\\x81\\\\.JPG", "\\x83J\\x83\\x81\\\\.JPG"},
        {"\xE3\x81", "\\xE3\\x81", "\\xE3\\x81"},
        {"\xC0\xAF", "\\xC0\\xAF", "\\xC0\\xAF"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80", "\\xED\\xA0\\x80"},
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80", "\\xF4\\x90\\x80\\x80"}};
    for (const auto& [text, field, json] : rows) {
        EXPECT_EQ(EscapeRowField(text), field) << field;
        EXPECT_EQ(JsonText(text), json) << field;
    }
    EXPECT_EQ(RowLine({"a\tb", "", "OK", "----"}), "a\\tb\t\tOK\t----");
    // The byte 0xFF and the four characters "\xFF" read alike in JSON text, not in exact bytes.
    EXPECT_EQ(JsonText("X\xFF"), JsonText("X\\xFF"));
    EXPECT_EQ(JsonExactBytes("X\xFF"), "58ff");
    EXPECT_EQ(JsonExactBytes("X\\xFF"), std::nullopt);
}

}  // namespace
}  // namespace pelko::cli
