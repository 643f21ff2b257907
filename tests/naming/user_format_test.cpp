#include "naming/user_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "naming/date_format.h"
#include "naming/format_help.h"

namespace pelko {
namespace {

constexpr DateTime kShot{2009, 4, 10, 12, 45, 10, 0};
constexpr std::string_view kWideSpace = "　";
constexpr std::string_view kArrow = "　→　";

struct FormatCase {
    std::string format;
    std::string expected;
    std::string name = "IMGP0123.JPG";
    DateTime date = kShot;
};

std::string Evaluate(const FormatCase& c) {
    const std::size_t dot = c.name.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : c.name.substr(dot);
    const ModelNameLookup model = [](const std::string&) { return std::string("PENTAX K20D"); };
    return EvaluateUserFormat(c.name, ext, c.format, c.date, "", model);
}

std::string TrimWide(std::string_view text) {
    while (text.starts_with(kWideSpace))
        text.remove_prefix(kWideSpace.size());
    while (text.ends_with(kWideSpace))
        text.remove_suffix(kWideSpace.size());
    return std::string(text);
}

// The example lines of the help, "format[　source]　→　[result]"; the clock examples were taken
// on 2009/04/03.
std::vector<FormatCase> HelpExamples() {
    std::vector<FormatCase> cases;
    for (const std::string& line : FormatHelpLines()) {
        const std::size_t arrow = line.find(kArrow);
        if (arrow == std::string::npos || line.find('%') == std::string::npos) continue;
        std::string left = TrimWide(line.substr(0, arrow));
        if (left.starts_with("例）")) left = left.substr(std::string_view("例）").size());
        FormatCase& c = cases.emplace_back();
        c.format = left.substr(0, left.find(kWideSpace));
        if (c.format != left) c.name = TrimWide(left.substr(c.format.size()));
        c.expected = line.substr(arrow + kArrow.size());
        if (c.expected.starts_with('[')) c.expected = c.expected.substr(1, c.expected.size() - 2);
        if (c.format.find("hhnnss-%N") != std::string::npos) c.date = {2009, 4, 3, 16, 22, 48, 0};
        if (c.format.find("'秒'") != std::string::npos) c.date = {2009, 4, 3, 16, 24, 49, 0};
    }
    return cases;
}

// The help's examples, the default formats, the folder sample and the change of era.
std::vector<FormatCase> WorkedExamples() {
    std::vector<FormatCase> cases = {
        {"%T(22,4)%T(17,4)", "TrimErrorTrimError.JPG"},
        {"%Dyyyymmdd-hhnnss-%N-%P", "20090410-124510-0123-IMGP.JPG"},
        {"%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N", "K5QT 20090410-124510(金)-0123.JPG"},
        {"%Dyymmdd", "090410", ""},
        {"%Dggee'年'", "令和01年", "", {2019, 5, 1, 0, 0, 0, 0}},
        {"%Dggee'年'", "平成31年", "", {2019, 4, 30, 0, 0, 0, 0}},
    };
    for (const FormatCase& c : HelpExamples())
        cases.push_back(c);
    return cases;
}

TEST(UserFormat, WorkedExamples) {
    EXPECT_EQ(HelpExamples().size(), 15u);
    for (const auto& c : WorkedExamples())
        EXPECT_EQ(Evaluate(c), c.expected) << c.format << " on " << c.name;
}

TEST(UserFormat, EdgeCases) {
    const std::vector<FormatCase> cases = {
        {"abc", ".JPG"},                    // no code: the extension alone
        {"%Wabc%", "abc.JPG"},              // a final "%" ends the scan
        {"%W  abc  ", "abc.JPG"},           // outer blanks trimmed
        {"%Wa/b:<c|d>*?\"\\", "abcd.JPG"},  // invalid characters dropped
        {"%T(0,2)", "IM.JPG"},              // start below 1 counts as 1
        {"%T(x,y)", "I.JPG"},               // both numbers default to 1
        {"%Tabc", "IMGP0123.JPG"},          // no range: the base name, argument dropped
        {"%T(3,0)", "TrimError.JPG"},
        {"%T(5", "I5.JPG"},                          // no comma, no ")": the rest is the tail
        {"%T(3,4)", "影01.JPG", "撮影01.JPG"},       // byte 3 begins the second character
        {"%T(2,2)", "TrimError.JPG", "撮影01.JPG"},  // a cut character is left out
        {"%P-%N", "a撮-b.J.JPG", "a撮影b.JPG"},      // cut at both ends
        {"%R(GP,__)", "IM__0123.JPG"},
        {"%R('imgp','X')", "X0123.JPG"},
        {"%R('a b','c')", "c.JPG", "a b.JPG"},  // quoted spaces kept
        {"%R(a b,c)", "ReplaceError.JPG"},
        {"%R('GP')", "ReplaceError.JPG"},
        {"%R('GP','X',)", "ReplaceError.JPG"},                 // a final comma adds an item
        {"%R'GP','X'", ".JPG"},                                // no parentheses: nothing
        {"%R('GP','X')-%R('X','Y')", "IMX0123-IMGP0123.JPG"},  // always on the base name
        {"%Dyyyy%mm", "2009.JPG"},                             // a pattern cannot hold "%"
        {"%D", "20090410 124510.JPG"},                         // the empty pattern acts as "c"
        {"%wabc", ".JPG"},                                     // codes are case-sensitive
        {"%%Wx", "x.JPG"},
        {"%F", "IMG.1.JPG.JPG", "IMG.1.JPG.JPG"},
        {"%Dyyyymmdd", "18991230.JPG", "IMGP0123.JPG", DateTime{}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Evaluate(c), c.expected) << c.format << " on " << c.name;
}

TEST(UserFormat, ModelLookupGetsTheSourceFile) {
    std::string asked;
    const ModelNameLookup model = [&](const std::string& file) { return (asked = file, "K-5"); };
    EXPECT_EQ(EvaluateUserFormat("IMGP0123.JPG", ".JPG", "%C", kShot, "/media/c/DCIM", model),
              "K-5.JPG");
    EXPECT_EQ(asked, "/media/c/DCIM/IMGP0123.JPG");
    // Without a lookup the model readers answer; a missing file has no model.
    EXPECT_EQ(EvaluateUserFormat("IMGP0123.JPG", ".JPG", "%C", kShot, "/nonexistent"), "不明.JPG");
}

}  // namespace
}  // namespace pelko
