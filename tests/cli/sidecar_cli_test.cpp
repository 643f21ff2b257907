#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "common/test_util.h"

namespace pelko::cli {
namespace {

// Rows, the carried-out outcomes with the exit status of a failed row, --json, and bad usage.
TEST(CliSidecar, RowsOutcomesJsonAndExitStatus) {
    const test::TempDir dir;
    test::WriteFile(dir / "p/Y/A.PEF", "raw");
    test::WriteFile(dir / "p/Y/B.PEF", "raw");
    test::WriteFile(dir / "p/Y/SILKYPIX_DS/B.PEF.spd", "newer");
    test::WriteFile(dir / "s/X/SILKYPIX_DS/A.PEF.spd", "a");
    test::WriteFile(dir / "s/X/SILKYPIX_DS/B.PEF.spd", "b");
    const auto run = [&](Args more) {
        Args args = {"sidecar", "--sidecars", dir / "s", "--pictures", dir / "p"};
        args.insert(args.end(), more.begin(), more.end());
        std::ostringstream out, err;
        const int status = Main(args, {dir / "home", "PC", {}}, out, err);
        return std::make_pair(status, out.str());
    };
    const std::string a = dir / "s/X/SILKYPIX_DS/A.PEF.spd";
    const std::string b = dir / "s/X/SILKYPIX_DS/B.PEF.spd";

    auto [status, out] = run({"--json"});
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find(R"("sidecar":")" + a + R"(","picture":")" + dir / "p/Y/A.PEF" +
                       R"(","action":"move","reason":"picture_elsewhere","outcome":"")"),
              std::string::npos)
        << out;
    EXPECT_TRUE(out.ends_with(R"({"status":"listed","message":"","rows":2,"failed":0})"
                              "\n"))
        << out;

    std::tie(status, out) = run({"--execute", "--"});
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(a + "\t" + dir / "p/Y/A.PEF" + "\t→移動\t移動OK\n"), std::string::npos);
    EXPECT_NE(out.find(b + "\t" + dir / "p/Y/B.PEF" + "\t→移動\t移動に失敗\n"), std::string::npos);
    EXPECT_TRUE(out.ends_with("処理が完了しました\n"));
    EXPECT_EQ(test::ReadFile(dir / "p/Y/SILKYPIX_DS/B.PEF.spd"), "newer");
    EXPECT_EQ(test::ReadFile(b), "b");

    EXPECT_EQ(run({"--pictures"}).first, 2);
    EXPECT_EQ(run({"--", "extra"}).first, 2);
    EXPECT_EQ(run({"--pictures", dir / "gone"}).first, 2);
}

}  // namespace
}  // namespace pelko::cli
