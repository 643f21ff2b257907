#include "naming/user_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_util.h"
#include "naming/date_format.h"

namespace pelko {
namespace {

constexpr DateTime kShot{2009, 4, 10, 12, 45, 10, 0};

struct FormatCase {
    std::string format;
    std::string expected;
    std::string name = "IMGP0123.JPG";
    DateTime date = kShot;
};

std::string ExtOf(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string Evaluate(const FormatCase& c) {
    const ModelNameLookup model = [](const std::string&) { return std::string("PENTAX K20D"); };
    return EvaluateUserFormat(c.name, ExtOf(c.name), c.format, c.date, "/card/DCIM", model);
}

// Results the format help promises, the default formats, and the folder sample.
const std::vector<FormatCase>& WorkedExamples() {
    static const std::vector<FormatCase> cases = {
        {"%Dyyyymmdd-%F", "20090410-IMGP0123.JPG"},
        {"%Wあいう %P", "あいう IMGP.JPG"},
        {"%P-Num%N", "IMGP-Num0123.JPG"},
        {"%W学芸会 %N %P", "学芸会 0123 IMGP.JPG"},
        {"%Wあいうえお", "あいうえお.JPG"},
        {"%W入園式%T(5,4)", "入園式0123.JPG"},
        {"%W入園式(%T(5,4))", "入園式(0123).JPG"},
        {"%T(1,2)-%T(6,3)", "IM-123.JPG"},
        {"%T(22,4)%T(17,4)", "IMGP0123.JPG", "20090410-124510-0123-IMGP.JPG"},
        {"%T(22,4)%T(17,4)", "TrimErrorTrimError.JPG"},
        {"%R('IMGP','K200D-')", "K200D-0123.JPG"},
        {"%R('GP','__')", "IM__0123.JPG"},
        {"%C-%N", "PENTAX K20D-0123.JPG"},
        {"%N-%C", "0123-PENTAX K20D.JPG"},
        {"%Dyyyy-mm-dd hhnnss-%N",
         "2009-04-03 162248-0123.JPG",
         "IMGP0123.JPG",
         {2009, 4, 3, 16, 22, 48, 0}},
        {"%W学芸会 %Dgee'年'mm'月'dd'日' hh'時'nn'分'ss'秒' %N",
         "学芸会 平21年04月03日 16時24分49秒 0123.JPG",
         "IMGP0123.JPG",
         {2009, 4, 3, 16, 24, 49, 0}},
        {"%Dyyyymmdd-hhnnss-%N-%P", "20090410-124510-0123-IMGP.JPG"},
        {"%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N", "K5QT 20090410-124510(金)-0123.JPG"},
        {"%Dyymmdd", "090410", ""},
        {"%Dggee'年'", "令和01年", "", {2019, 5, 1, 0, 0, 0, 0}},
        {"%Dggee'年'", "平成31年", "", {2019, 4, 30, 0, 0, 0, 0}},
    };
    return cases;
}

TEST(UserFormat, WorkedExamples) {
    for (const auto& c : WorkedExamples())
        EXPECT_EQ(Evaluate(c), c.expected) << c.format;
}

TEST(UserFormat, EdgeCases) {
    const std::vector<FormatCase> cases = {
        {"abc", ".JPG"},           // no code: the extension alone
        {"abc", "", ""},           // ... and nothing for a folder
        {"%Wabc%", "abc.JPG"},     // a final "%" ends the scan
        {"%W  abc  ", "abc.JPG"},  // outer blanks trimmed
        {"%Wa/b:c", "abc.JPG"},    // invalid characters dropped
        {"%W<a|b>*?\"\\", "ab.JPG"},
        {"%T(0,2)", "IM.JPG"},      // start below 1 counts as 1
        {"%T(x,y)", "I.JPG"},       // both numbers default to 1
        {"%Tabc", "IMGP0123.JPG"},  // no range: the base name, argument dropped
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
    for (const auto& c : cases) {
        const std::string ext = ExtOf(c.name);
        const ModelNameLookup model = [](const std::string&) { return std::string("M"); };
        EXPECT_EQ(EvaluateUserFormat(c.name, ext, c.format, c.date, "", model), c.expected)
            << c.format << " on " << c.name;
    }
}

TEST(UserFormat, ModelLookupGetsTheSourceFile) {
    std::string asked;
    const ModelNameLookup model = [&](const std::string& file) {
        asked = file;
        return std::string("K-5");
    };
    EXPECT_EQ(EvaluateUserFormat("IMGP0123.JPG", ".JPG", "%C", kShot, "/media/c/DCIM", model),
              "K-5.JPG");
    EXPECT_EQ(asked, "/media/c/DCIM/IMGP0123.JPG");
    // Without a lookup the model readers answer; a missing file has no model.
    EXPECT_EQ(EvaluateUserFormat("IMGP0123.JPG", ".JPG", "%C", kShot, "/nonexistent"), "不明.JPG");
}

TEST(DatePattern, Specifiers) {
    const DateTime morning{2009, 4, 3, 9, 5, 7, 42};        // a Friday
    const DateTime evening{2009, 12, 27, 21, 45, 10, 500};  // a Sunday
    struct Case {
        const char* pattern;
        DateTime date;
        const char* expected;
    };
    const Case cases[] = {
        {"aaa aaaa", morning, "金 金曜日"},
        {"d dd ddd dddd", morning, "3 03 金 金曜日"},
        {"dddddd", morning, "2009年4月3日"},
        {"e ee g gg", morning, "21 21 平 平成"},
        {"e ee g gg", {1989, 1, 7, 0, 0, 0, 0}, "64 64 昭 昭和"},
        {"ggee", {1989, 1, 8, 0, 0, 0, 0}, "平成01"},
        {"gge", {2019, 5, 1, 0, 0, 0, 0}, "令和1"},
        {"gge", {1850, 1, 1, 0, 0, 0, 0}, "1850"},
        {"m mm mmm mmmm", morning, "4 04 4 4月"},
        {"h:m hh:mm h'時'm", morning, "9:5 09:05 9時5"},
        {"hh nn m", morning, "09 05 4"},
        {"y yy yyy yyyy YyYy", morning, "09 09 2009 2009 2009"},
        {"n nn s ss z zzz", morning, "5 05 7 07 42 042"},
        {"t tt", evening, "21:45 21:45:10"},
        {"c", evening, "2009/12/27 21:45:10"},
        {"h ampm", evening, "9 午後"},
        {"hh AM/PM", evening, "09 PM"},
        {"h A/P", evening, "9 P"},
        {"h a/p", {2009, 1, 1, 0, 0, 0, 0}, "12 a"},
        {"hh(aaa)", evening, "21(日)"},
        {"'yyyy'\"mm\"yy", morning, "yyyymm09"},
        {"年yyyy月", morning, "年2009月"},
        {"b-x q", morning, "b-x q"},
        {"", morning, "2009/04/03 9:05:07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDatePattern(c.pattern, c.date), c.expected) << c.pattern;
    }
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char ch : text) {
        if (ch == '\'') {
            quoted += "'\\''";
        } else {
            quoted += ch;
        }
    }
    return quoted + "'";
}

TEST(UserFormat, CommandLineGivesTheSameNames) {
    for (const auto& c : WorkedExamples()) {
        if (c.format.find("%C") != std::string::npos) continue;  // model files are not at hand
        std::string out;
        const std::string args = "name --format " + Quote(c.format) + " --date " +
                                 Quote(c.date.ToText()) + " " + Quote(c.name);
        ASSERT_EQ(test::RunCli(args, &out), 0) << args;
        EXPECT_EQ(out, c.expected + "\n") << args;
    }
    std::string out;
    EXPECT_EQ(test::RunCli("name --date 2009/04/10 IMGP0123.JPG 2>/dev/null", &out), 2);
    EXPECT_EQ(test::RunCli("name --format %N --date 2009-99-99 IMGP0123.JPG 2>/dev/null", &out), 2);
}

}  // namespace
}  // namespace pelko
