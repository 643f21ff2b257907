#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "cli/usage.h"
#include "common/test_util.h"
#include "copy/card_statistics.h"
#include "support/file_ops.h"
#include "support/platform.h"

namespace pelko::cli {
namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Cli(const Args& args) {
    std::ostringstream out, err;
    const int status = Main(args, {FindAppFolder(), ComputerName(), {}}, out, err);
    return {status, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every way of calling the tool that is answered by usage, help or a refusal, in a folder of its
// own: the status, a part of stdout and of stderr. Bad usage is one line on stderr that names
// the command and its usage line; "--help" after "--" or as an option's value asks for nothing.
TEST(Cli, UsageHelpDoubleDashAndBadUsage) {
    const test::TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const test::ScopedEnv home("PELKOCOPY_HOME", dir / "home");
    test::WriteFile(dir / "-a.jpg", "not a picture");
    test::WriteFile(dir / "--card/IMGP0001.JPG", "jpeg");
    const Args import = {"import", "--raw", "r", "--jpeg", "j", "--other", "o"};
    // A destination on the card is refused before anything is done.
    const Args on_card = {"import", "--raw",   "--card/raw", "--jpeg",
                          "j",      "--other", "o",          "--remove"};
    const auto with = [](Args args, const Args& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    struct Case {
        Args args;
        int status;
        const char* out_has;
        const char* err_has;
    };
    const Case cases[] = {
        {{}, 2, "", "usage: pelkocopy-cli COMMAND"},
        {{"--help"}, 0, "usage: pelkocopy-cli COMMAND", ""},
        {{"help", "frobnicate"}, 0, "usage: pelkocopy-cli COMMAND", ""},
        {{"--version"}, 0, "pelkocopy-cli 1.41\n", ""},
        {{"frobnicate", "--help"}, 2, "", "unknown command 'frobnicate'"},
        {{"name", "--format", "%F", "--", "--help"}, 0, "--help\n", ""},
        {{"name", "--format", "--help", "x.JPG"}, 0, "", ""},
        {{"name", "--date", "--help", "--format", "%F", "x.JPG"}, 2, "", ""},
        {{"import", "--user-folder", "--help", "/nonexistent"}, 2, "", ""},
        {{"exif", "--", "-a.jpg"}, 0, "\"File\":\"-a.jpg\",\"HasExif\":false", ""},
        {{"exif", "-a.jpg"}, 2, "", "unknown option '-a.jpg'"},
        {{"exif", "--", "--", "-a.jpg"}, 1, "\"File\":\"--\"", "cannot read '--'"},
        {{"model", "--no-alias", "--", "-a.jpg", "--no-alias"}, 1, "不明\n不明\n", "'--no-alias'"},
        {{"name", "--format", "%F", "--", "--x.JPG"}, 0, "--x.JPG\n", ""},
        {{"name", "--format", "%F", "--x.JPG"}, 2, "", "unknown option --x.JPG"},
        {{"name", "--format", "%F", "--", "a.JPG", "b.JPG"}, 2, "", "more than one NAME"},
        {with(import, {"--dry-run", "--", "--card"}), 0, "IMGP0001.JPG", ""},
        {with(import, {"--dry-run", "--card"}), 2, "", "unknown option --card"},
        {with(on_card, {"--", "--card"}), 1, "", "--card/raw is on the card; choose a folder"},
        {{"import", "--raw", "r", "--", "--card", "--jpeg"}, 2, "", "more than one SOURCE"},
        {{"exif"}, 2, "", ""},
        {{"model", "--no-alias"}, 2, "", ""},
        {{"name", "x.JPG"}, 2, "", ""},
        {{"name", "--format", "%F", "--date", "yesterday\tevening\r\n", "x.JPG"}, 2, "", ""},
        {{"import"}, 2, "", ""},
        {with(import, {"/nonexistent/a\nb\x01"}), 2, "", ""},
        {{"import", "/", "--jpeg", "j"}, 2, "", "are required"},
        {with(import, {"--name-mode", "9", "/"}), 2, "", "0 to 5"},
        {with(import, {"--raw-ext", ".a/b", "/"}), 2, "", "not a file extension: .a/b"},
        {{"stats", "--", "--json"}, 2, "", "takes no operands: --json"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args)
            shown += arg + " ";
        SCOPED_TRACE(shown);
        const Result r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(Has(r.out, c.out_has)) << r.out;
        EXPECT_TRUE(Has(r.err, c.err_has)) << r.err;
        if (std::string(c.out_has).starts_with("usage:")) {
            EXPECT_EQ(r.out.rfind(c.out_has, 0), 0u) << r.out;
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_FALSE(Has(r.out, "usage:")) << r.out;
        }
        if (c.status != 2) continue;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        if (const CommandUsage* command = c.args.empty() ? nullptr : FindCommand(c.args[0])) {
            EXPECT_EQ(r.err.rfind("pelkocopy-cli " + c.args[0] + ": ", 0), 0u) << r.err;
            EXPECT_TRUE(Has(r.err, UsageLine(*command))) << r.err;
        }
    }
    // Neither the dry run nor the refusal made or removed anything.
    EXPECT_FALSE(std::filesystem::exists(dir / "j"));
    EXPECT_TRUE(std::filesystem::exists(dir / "--card/IMGP0001.JPG"));
    std::filesystem::current_path(previous);
}

// Every command answers help wherever an option may stand, with every option it takes; the
// options the usage lists are the ones the commands take ("--a / --no-a" names two spellings).
TEST(Cli, EveryCommandAnswersHelpAndTakesTheOptionsItsUsageLists) {
    const std::string program_help = Cli({"--help"}).out;
    EXPECT_TRUE(Has(program_help, "\\xNN"));
    for (const CommandUsage& command : Commands()) {
        EXPECT_TRUE(Has(program_help, UsageLine(command))) << command.name;
        const std::string name(command.name);
        const Args asks[] = {{name, "some-file", "-h", "--bogus"}, {"help", name}};
        for (const Args& args : asks) {
            SCOPED_TRACE(args[0] + " " + args[1]);
            const Result r = Cli(args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out.rfind(UsageLine(command) + "\n", 0), 0u) << r.out;
        }
        for (const OptionUsage& option : command.options) {
            EXPECT_TRUE(Has(program_help, std::string(option.names))) << option.names;
            std::string_view names = option.names;
            for (std::size_t split = 0; split != std::string_view::npos;
                 names.remove_prefix(split + 3)) {
                split = names.find(" / ");
                Args args = {name, std::string(names.substr(0, split))};
                if (!option.value.empty()) args.push_back("2009/04/10 12:45:10");
                args.push_back("/nonexistent.JPG");
                EXPECT_FALSE(Has(Cli(args).err, "unknown option")) << name << " " << args[1];
                if (split == std::string_view::npos) break;
            }
        }
    }
}

// The day rows of 撮影枚数 and the camera tallies, as counted; nothing is made where there are
// none.
TEST(Cli, StatsPrintsTheDayRowsAndTheCameraTallies) {
    const test::TempDir dir;
    const ProgramFacts facts{dir.str(), "PC", {}};
    std::ostringstream none, err;
    EXPECT_EQ(Main({"stats"}, facts, none, err), 0);
    EXPECT_EQ(none.str() + err.str(), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    {
        const ManualClock clock{DateTime{}};
        ICardStatisticsView view;
        TShotCounts counts;
        TCardStatistics statistics({dir.str(), dir.str()}, true, clock, view, counts);
        ASSERT_TRUE(statistics.OpenDatabase());
        statistics.LoadCameraTally();
        statistics.TallyRawFile("IMGP0001.PEF", 25000 * 1024);
        statistics.CountShot("IMGP0001.PEF", "2026/11/03");
        statistics.CountShot("K5QT0007.PEF", "2026/11/04");
        statistics.SaveCameraTally();
        statistics.CloseDatabase();
    }
    for (const bool json : {false, true}) {
        std::ostringstream out;
        EXPECT_EQ(Main(json ? Args{"stats", "--json"} : Args{"stats"}, facts, out, err), 0);
        EXPECT_EQ(out.str(),
                  json ? "{\"type\":\"shots\",\"date\":\"2026/11/03\",\"total\":1,\"cameras\":{"
                         "\"K5QT\":0,\"K5RV\":0,\"K01\":1}}\n"
                         "{\"type\":\"shots\",\"date\":\"2026/11/04\",\"total\":1,\"cameras\":{"
                         "\"K5QT\":1,\"K5RV\":0,\"K01\":0}}\n"
                         "{\"type\":\"camera\",\"camera\":\"K-01\",\"count\":1,\"size_kb\":25000,"
                         "\"average\":\"24.4MB\",\"fit_4g\":156,\"fit_8g\":312,\"fit_16g\":625,"
                         "\"fit_32g\":1250}\n"
                       : "shots\t2026/11/03\t1\tK5QT=0\tK5RV=0\tK01=1\n"
                         "shots\t2026/11/04\t1\tK5QT=1\tK5RV=0\tK01=0\n"
                         "camera\tK-01\t1\t25000\t24.4MB\t156\t312\t625\t1250\n");
    }
    EXPECT_EQ(err.str(), "");
}

// A start removes what a kill left in the application folder, its Data folder and the working
// folder where ImgCount.txt is written.
TEST(Cli, StartRemovesStaleTemporaries) {
    const test::TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);  // now the pid of nobody
    const std::string stale =
        std::string(kCopyTemporaryPrefix) + std::to_string(child) + "-aaaaaaaaaaaa";
    const std::string places[] = {dir / ("home/" + stale), dir / ("home/Data/" + stale),
                                  dir / ("run/" + stale)};
    for (const std::string& path : places)
        test::WriteFile(path, "");  // a writer killed before it wrote
    const test::ScopedEnv home("PELKOCOPY_HOME", dir / "home");
    const test::ScopedEnv run("XDG_RUNTIME_DIR", dir / "run");
    std::string out;
    ASSERT_EQ(test::RunCli("--version", &out), 0);
    for (const std::string& path : places)
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
}

}  // namespace
}  // namespace pelko::cli
