#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "common/test_util.h"

namespace pelko::cli {
namespace {

TEST(Cli, UsageVersionAndBadCommands) {
    struct Case {
        Args args;
        int status;
        const char* out_has;
        const char* err_has;
    };
    const Case cases[] = {
        {{}, 2, "", "usage: pelkocopy-cli"},
        {{"--help"}, 0, "usage: pelkocopy-cli", ""},
        {{"--version"}, 0, "pelkocopy-cli 1.41", ""},
        {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(Main(c.args, out, err), c.status);
        EXPECT_NE(out.str().find(c.out_has), std::string::npos) << out.str();
        EXPECT_NE(err.str().find(c.err_has), std::string::npos) << err.str();
    }
}

TEST(Cli, TheProgramItselfAnswersVersion) {
    std::string out;
    EXPECT_EQ(test::RunCli("--version", &out), 0);
    EXPECT_EQ(out, "pelkocopy-cli 1.41\n");
}

}  // namespace
}  // namespace pelko::cli
