#include "naming/format_help.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_util.h"
#include "naming/user_format.h"
#include "support/text.h"

namespace pelko {
namespace {

constexpr std::string_view kWideSpace = "　";
constexpr std::string_view kArrow = "　→　";

std::string_view TrimWide(std::string_view text) {
    while (text.starts_with(kWideSpace))
        text.remove_prefix(kWideSpace.size());
    while (text.ends_with(kWideSpace))
        text.remove_suffix(kWideSpace.size());
    return text;
}

TEST(FormatHelp, FileHoldsTheCodeBlocksInOrder) {
    test::TempDir dir;
    test::WriteFile(dir / "FmtHelp.txt", "old content that is much longer than nothing");
    ASSERT_TRUE(WriteFormatHelpFile(dir.str()));
    const std::string text = test::ReadFile(dir / "FmtHelp.txt");
    ASSERT_TRUE(IsValidUtf8(text));
    ASSERT_TRUE(text.ends_with("\r\n\r\n"));

    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    ASSERT_EQ(lines.size(), 115u);
    EXPECT_EQ(lines, FormatHelpLines());
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "no bare line feeds";
    EXPECT_EQ(lines[9], "　　\\ / : * ? \" < > |");

    // Each header follows two empty lines, in this order.
    const std::vector<std::string> headers = {"%F  (Full)",       "%P  (Prefix)",  "%N  (Number)",
                                              "%W  (Word)",       "%T  (Trim)",    "%R　(Replace)",
                                              "%C  (CameraName)", "%D  (DateTime)"};
    std::size_t next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (next < headers.size() && lines[i] == headers[next]) {
            ASSERT_GE(i, 2u);
            EXPECT_EQ(lines[i - 1], "");
            EXPECT_EQ(lines[i - 2], "");
            ++next;
        }
    }
    EXPECT_EQ(next, headers.size()) << "missing header " << headers[next % headers.size()];
    EXPECT_EQ(lines[92], "　yyyy　　　　年を 4 桁の数字（0000 ～ 9999）で表示する");
}

// Every example line of the help ("format[　source]　→　[result]") is what the evaluator gives.
TEST(FormatHelp, ExamplesAreWhatTheFormatsGive) {
    int examples = 0;
    for (const std::string& line : FormatHelpLines()) {
        const std::size_t arrow = line.find(kArrow);
        if (arrow == std::string::npos || line.find('%') == std::string::npos) continue;
        std::string_view left = TrimWide(std::string_view(line).substr(0, arrow));
        if (left.starts_with("例）")) left.remove_prefix(std::string_view("例）").size());
        std::string name = "IMGP0123.JPG";
        if (const std::size_t gap = left.find(kWideSpace); gap != std::string_view::npos) {
            name = std::string(TrimWide(left.substr(gap)));
            left = left.substr(0, gap);
        }
        std::string_view result = std::string_view(line).substr(arrow + kArrow.size());
        if (result.starts_with("[") && result.ends_with("]")) {
            result = result.substr(1, result.size() - 2);
        }
        DateTime date{2009, 4, 10, 12, 45, 10, 0};
        if (left.find("hhnnss-%N") != std::string_view::npos) date = {2009, 4, 3, 16, 22, 48, 0};
        if (left.find("'秒'") != std::string_view::npos) date = {2009, 4, 3, 16, 24, 49, 0};
        const ModelNameLookup model = [](const std::string&) { return std::string("PENTAX K20D"); };
        EXPECT_EQ(EvaluateUserFormat(name, name.substr(name.rfind('.')), left, date, "", model),
                  result)
            << line;
        ++examples;
    }
    EXPECT_EQ(examples, 15);
}

}  // namespace
}  // namespace pelko
