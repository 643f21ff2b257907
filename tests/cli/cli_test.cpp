#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "cli/usage.h"
#include "common/test_util.h"
#include "support/platform.h"

namespace pelko::cli {
namespace {

struct Result {
    int status;
    std::string out, err;
};

Result Cli(const Args& args) {
    std::ostringstream out, err;
    const int status = Main(args, {FindAppFolder(), ComputerName()}, out, err);
    return {status, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs in a folder of its own, with the application folder inside it, and goes back after.
class InFolder {
  public:
    InFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path());
        ::setenv("PELKOCOPY_HOME", (dir_ / "home").c_str(), 1);
    }
    ~InFolder() {
        ::unsetenv("PELKOCOPY_HOME");
        std::filesystem::current_path(previous_);
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

    const test::TempDir& dir() const { return dir_; }

  private:
    test::TempDir dir_;
    std::filesystem::path previous_;
};

TEST(Cli, UsageVersionAndBadCommands) {
    struct Case {
        Args args;
        int status;
        const char* out_starts;  // empty: nothing on stdout
        const char* err_has;     // empty: nothing on stderr
    };
    const Case cases[] = {
        {{}, 2, "", "usage: pelkocopy-cli COMMAND"},
        {{"--help"}, 0, "usage: pelkocopy-cli COMMAND", ""},
        {{"-h"}, 0, "usage: pelkocopy-cli COMMAND", ""},
        {{"help", "name"}, 0, "usage: pelkocopy-cli name --format FMT", ""},
        {{"help", "frobnicate"}, 0, "usage: pelkocopy-cli COMMAND", ""},
        {{"frobnicate", "--help"}, 2, "", "unknown command 'frobnicate'"},
    };
    for (const Case& c : cases) {
        const Result r = Cli(c.args);
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out.substr(0, std::string(c.out_starts).size()), c.out_starts);
        EXPECT_EQ(r.out.empty(), *c.out_starts == '\0') << r.out;
        EXPECT_TRUE(Has(r.err, c.err_has)) << r.err;
        EXPECT_EQ(r.err.empty(), *c.err_has == '\0') << r.err;
        if (c.status == 2) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;  // one line
        }
    }
}

TEST(Cli, EveryCommandAnswersHelp) {
    const std::string program_help = Cli({"--help"}).out;
    EXPECT_TRUE(Has(program_help, "\\xNN"));
    for (const CommandUsage& command : Commands()) {
        EXPECT_TRUE(Has(program_help, UsageLine(command))) << command.name;
        for (const OptionUsage& option : command.options)
            EXPECT_TRUE(Has(program_help, std::string(option.names))) << option.names;
        const std::string name(command.name);
        // Wherever an option may stand, also after operands and other options.
        const Args asks[] = {
            {name, "--help"},
            {name, "-h"},
            {name, "some-file", "--help"},
            {name, "--no-alias", "--help", "--bogus"},
            {"help", name},
        };
        for (const Args& args : asks) {
            SCOPED_TRACE(args[0] + " " + args[1]);
            const Result r = Cli(args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out.rfind(UsageLine(command) + "\n", 0), 0u) << r.out;
            for (const OptionUsage& option : command.options)
                EXPECT_TRUE(Has(r.out, std::string(option.names))) << option.names;
        }
    }
}

TEST(Cli, HelpIsNoOperandNorOptionValue) {
    // After "--", or as the value of an option, "--help" asks for nothing: each command goes on.
    const std::pair<Args, int> cases[] = {
        {{"name", "--format", "%F", "--", "--help"}, 0},               // the NAME "--help"
        {{"name", "--format", "--help", "x.JPG"}, 0},                  // the format "--help"
        {{"name", "--date", "--help", "--format", "%F", "x.JPG"}, 2},  // not a date
        {{"exif", "--", "--help"}, 1},                                 // no such file
        {{"model", "--no-alias", "--", "-h"}, 1},
        {{"import", "--user-folder", "--help", "/nonexistent"}, 2},
    };
    for (const auto& [args, status] : cases) {
        const Result r = Cli(args);
        EXPECT_FALSE(Has(r.out, "usage:")) << args[0] << ": " << r.out;
        EXPECT_EQ(r.status, status) << args[0] << ": " << r.err;
    }
    EXPECT_EQ(Cli({"name", "--format", "%F", "--", "--help"}).out, "--help\n");
}

TEST(Cli, DoubleDashEndsTheOptions) {
    InFolder here;
    const test::TempDir& dir = here.dir();
    test::WriteFile(dir / "-a.jpg", "not a picture");
    test::WriteFile(dir / "--card/IMGP0001.JPG", "jpeg");
    struct Case {
        Args args;
        int status;
        const char* out_has;
        const char* err_has;
    };
    const Case cases[] = {
        {{"exif", "--", "-a.jpg"}, 0, "\"File\":\"-a.jpg\",\"HasExif\":false", ""},
        {{"exif", "-a.jpg"}, 2, "", "unknown option '-a.jpg'"},
        {{"exif", "--", "--", "-a.jpg"}, 1, "\"File\":\"--\"", "cannot read '--'"},
        {{"model", "--no-alias", "--", "-a.jpg", "--no-alias"}, 1, "不明\n不明\n", "'--no-alias'"},
        {{"name", "--format", "%F", "--", "--x.JPG"}, 0, "--x.JPG\n", ""},
        {{"name", "--format", "%F", "--x.JPG"}, 2, "", "unknown option --x.JPG"},
        {{"name", "--format", "%F", "--", "a.JPG", "b.JPG"}, 2, "", "more than one NAME"},
        {{"import", "--raw", "r", "--jpeg", "j", "--other", "o", "--dry-run", "--", "--card"},
         0,
         "IMGP0001.JPG",
         ""},
        {{"import", "--raw", "r", "--jpeg", "j", "--other", "o", "--dry-run", "--card"},
         2,
         "",
         "unknown option --card"},
        {{"import", "--raw", "r", "--", "--card", "--jpeg"}, 2, "", "more than one SOURCE"},
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
    }
    // The dry run named the copy and made nothing.
    EXPECT_FALSE(std::filesystem::exists(dir / "j"));
}

TEST(Cli, BadUsageIsOneLineWhateverTheArguments) {
    const Args cases[] = {
        {"exif"},
        {"exif", "--bogus\nforged line"},
        {"model", "--no-alias"},
        {"name", "x.JPG"},
        {"name", "--format"},
        {"name", "--format", "%F", "--date", "yesterday\tevening\r\n", "x.JPG"},
        {"import"},
        {"import", "--folder-mode", "9", "/"},
        {"import", "--raw", "r", "--jpeg", "j", "--other", "o", "/nonexistent/a\nb\x01"},
        {"import", "--cutoff"},
    };
    for (const Args& args : cases) {
        const Result r = Cli(args);
        SCOPED_TRACE(args.back());
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("pelkocopy-cli " + args[0] + ": ", 0), 0u) << r.err;
        EXPECT_TRUE(Has(r.err, UsageLine(*FindCommand(args[0])))) << r.err;
    }
    std::ostringstream err;
    BadUsage(err, "import", "SOURCE is not a folder: a\nb\t\x7f\\");
    EXPECT_EQ(err.str(), "pelkocopy-cli import: SOURCE is not a folder: a\\nb\\t\\x7F\\ (" +
                             UsageLine(*FindCommand("import")) + ")\n");
}

// The options the usage lists are the ones the commands take.
TEST(Cli, CommandsTakeTheOptionsTheirUsageLists) {
    for (const char* name : {"exif", "model", "name", "import"}) {
        const CommandUsage& command = *FindCommand(name);
        for (const OptionUsage& option : command.options) {
            // "--a / --no-a" names two spellings.
            std::string_view names = option.names;
            for (std::size_t split = 0; split != std::string_view::npos;
                 names.remove_prefix(split + 3)) {
                split = names.find(" / ");
                Args args = {name, std::string(names.substr(0, split))};
                if (!option.value.empty()) args.push_back("2009/04/10 12:45:10");
                args.push_back("/nonexistent.JPG");
                const Result r = Cli(args);
                EXPECT_FALSE(Has(r.err, "unknown option")) << name << " " << args[1];
                if (split == std::string_view::npos) break;
            }
        }
    }
}

TEST(Cli, TheProgramItselfAnswersVersion) {
    std::string out;
    EXPECT_EQ(test::RunCli("--version", &out), 0);
    EXPECT_EQ(out, "pelkocopy-cli 1.41\n");
}

}  // namespace
}  // namespace pelko::cli
