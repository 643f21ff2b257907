// The import command as a separate process: its output, its settings file, and what a kill at
// any moment or a full disk leaves behind.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "copy/card_tree.h"
#include "support/file_ops.h"
#include "support/platform.h"

extern char** environ;

namespace pelko::test {
namespace {

// The tool started with arguments, its output going to a file; killed if it outlives the object.
class CliProcess {
  public:
    CliProcess(std::vector<std::string> args, const std::string& out_file) {
        args.insert(args.begin(), PELKO_CLI_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CliProcess() { Stop(SIGKILL); }

    // Sends the signal (none for 0) and reaps: the exit status, or minus the deadly signal.
    int Stop(int signal) {
        if (pid_ <= 0) return -1000;
        if (signal != 0) ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
};

int RunToEnd(const std::vector<std::string>& args, std::string* out) {
    TempDir tmp;
    const int status = CliProcess(args, tmp / "out.txt").Stop(0);
    *out = ReadFile(tmp / "out.txt");
    return status;
}

// Rows of the tool's output by source file name: "copy|delete".
std::map<std::string, std::string> Rows(const std::string& output) {
    std::map<std::string, std::string> rows;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (cells.size() == 4 && !cells[0].empty()) {
            rows[NameOf(cells[0])] = cells[2] + "|" + cells[3];
        }
    }
    return rows;
}

TEST(ImportCli, PrintsOneRowPerFileAndRefusesBadOptions) {
    TempDir tmp;
    DatedFile(tmp / "card/DCIM/100PENTX/IMGP0001.JPG");
    DatedFile(tmp / "card/DCIM/101PENTX/IMGP0001.JPG");  // a dry run foresees the collision
    WriteFile(tmp / "card/DCIM/100PENTX/IMGP0002.THM", "t");
    const std::string card = tmp / "card/DCIM";
    std::string out;
    EXPECT_EQ(RunToEnd({"import", card, "--raw", tmp / "raw", "--jpeg", tmp / "jpg", "--other",
                        tmp / "other", "--folder-mode", "4", "--remove", "--dry-run"},
                       &out),
              0);
    const std::string dest = "\t" + tmp / "jpg" + "/DSLR/2010-05/IMGP0001.JPG\t";
    EXPECT_NE(out.find(card + "/100PENTX/IMGP0001.JPG" + dest + "OK\tOK\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find(card + "/101PENTX/IMGP0001.JPG" + dest + "同名のファイル有り\tスキップ\n"),
              std::string::npos);
    EXPECT_NE(("\n" + out).find("\n\t\t\t\n"), std::string::npos) << out;  // the .THM row
    EXPECT_NE(out.find("　　処理が終了しました\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "jpg"));
    EXPECT_TRUE(fs::exists(card + "/100PENTX/IMGP0001.JPG"));

    const std::vector<std::vector<std::string>> bad = {
        {"import", card, "--jpeg", "j"},  // destinations missing
        {"import", card, "--rename", "--name-mode", "9"},
        {"import", card, "--rename", "--raw"},
        {"import", card, "--rename", "--bogus"},
        {"import", card, card, "--rename"},
    };
    for (const auto& args : bad)
        EXPECT_EQ(RunToEnd(args, &out), 2) << args.back();
}

TEST(ImportCli, SettingsComeFromTheWindowsSettingsFile) {
    TempDir tmp;
    WriteFile(tmp / "home" + "/" + ComputerName() + ".ini",
              "[FrmDCMain]\r\nDestRaw=" + tmp / "raw" + "\r\nDestJpg=" + tmp / "jpg" +
                  "\r\nDestOther=" + tmp / "other" +
                  "\r\nMakeFolder=3\r\nFileName=1\r\nLastDateExec=1\r\n"
                  "LastCopyDateTime=2010/05/01 00:00:00\r\n");
    WriteFile(tmp / "home/Data/UFormat.txt", "%Wshot-%N\r\n%F\r\n");
    DatedFile(tmp / "card/DCIM/IMGP0007.PEF", "new", {2010, 5, 1, 0, 0, 0});
    DatedFile(tmp / "card/DCIM/IMGP0006.PEF", "old", {2010, 4, 30, 23, 59, 59});
    ::setenv("PELKOCOPY_HOME", (tmp / "home").c_str(), 1);
    std::string out;
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--settings"}, &out), 0) << out;
    ::unsetenv("PELKOCOPY_HOME");
    EXPECT_EQ(Rows(out)["IMGP0006.PEF"], "----|----");
    const std::map<std::string, std::string> raw = {{"2010/shot-0007.PEF", "new"}};
    EXPECT_EQ(Tree(tmp / "raw"), raw);
}

TEST(ImportCli, FullFileSystemFailsTheRowsAndLeavesNothingPartial) {
    TempDir tmp;
    const std::string small = tmp / "small";
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root): "
                     << std::strerror(errno);
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};

    for (int i = 1; i <= 5; ++i) {
        WriteFile(tmp / ("card/DCIM/IMGP000" + std::to_string(i) + ".JPG"),
                  std::string(100'000, static_cast<char>('0' + i)));
    }
    std::string out;
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--raw", small, "--jpeg", small, "--other",
                        small, "--remove"},
                       &out),
              1);
    const auto rows = Rows(out);
    ASSERT_EQ(rows.size(), 5u) << out;
    int copied = 0;
    for (const auto& [name, outcome] : rows) {
        const bool ok = outcome == "OK|OK";
        copied += ok;
        EXPECT_TRUE(ok || outcome == "失敗|失敗") << name << " " << outcome;
        EXPECT_EQ(ReadFile((ok ? small + "/DSLR/" : tmp / "card/DCIM/") + name).size(), 100'000u);
        EXPECT_NE(fs::exists(small + "/DSLR/" + name), fs::exists(tmp / "card/DCIM/" + name));
    }
    EXPECT_EQ(copied, 2);               // 256 KiB hold two files of 100,000 bytes
    EXPECT_EQ(Tree(small).size(), 2u);  // not even a temporary file is left
}

// SIGKILL at random moments of a 500-file import with removal: no file is ever lost or
// corrupted, and a final run completes the rest.
TEST(ImportCli, KilledImportsNeverLoseAFile) {
    std::mt19937 random(20100520);
    int kills = 0, rounds = 0, same_name_rows = 0;
    while (kills < 20) {
        ASSERT_LT(rounds++, 20) << "imports too fast to be killed; kills so far: " << kills;
        TempDir tmp;
        const std::string card = tmp / "card/DCIM/100PENTX";
        std::map<std::string, std::string> originals;
        std::uniform_int_distribution<int> size(100, 40'000);
        for (int i = 1; i <= 500; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMGP%04d.%s", i, i % 7 == 0 ? "PEF" : "JPG");
            // Every tenth file large, so that kills also land inside a copy.
            std::string bytes(i % 10 == 0 ? 600'000 : static_cast<std::size_t>(size(random)), 0);
            for (auto& b : bytes)
                b = static_cast<char>(random());
            WriteFile(card + "/" + name, bytes);
            originals[name] = bytes;
        }
        const std::vector<std::string> args = {"import",    tmp / "card/DCIM", "--raw",
                                               tmp / "raw", "--jpeg",          tmp / "jpg",
                                               "--other",   tmp / "other",     "--remove"};
        // Every file is on the card or copied, both intact; nothing else but temporary files.
        auto check = [&](const char* when, bool all_copied) {
            const auto raw = Tree(tmp / "raw"), jpg = Tree(tmp / "jpg/DSLR");
            for (const auto& [name, bytes] : originals) {
                const auto& tree = name.ends_with(".PEF") ? raw : jpg;
                const auto dest = tree.find(name);
                const bool on_card = fs::exists(card + "/" + name);
                const bool copied = dest != tree.end();
                ASSERT_TRUE(copied || (!all_copied && on_card)) << when << ": lost " << name;
                ASSERT_TRUE(!copied || dest->second == bytes) << when << ": copy differs " << name;
                ASSERT_TRUE(!on_card || ReadFile(card + "/" + name) == bytes) << when << name;
            }
            for (const auto* tree : {&raw, &jpg}) {
                for (const auto& [path, bytes] : *tree) {
                    ASSERT_TRUE(IsCopyTemporaryName(NameOf(path)) || originals.count(NameOf(path)))
                        << when << ": stray file " << path;
                }
            }
        };

        std::uniform_int_distribution<int> delay_us(0, 120'000);
        for (bool finished = false; !finished && kills < 20;) {
            CliProcess process(args, tmp / "out.txt");
            std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
            // It may have ended by itself.
            finished = process.Stop(SIGKILL) != -SIGKILL;
            kills += !finished;
            check("after a kill", false);
            if (::testing::Test::HasFatalFailure()) return;
        }

        // The rest: files already copied report the same name and stay on the card.
        std::string out;
        ASSERT_EQ(RunToEnd(args, &out), 0) << out;
        check("after the final run", true);
        if (::testing::Test::HasFatalFailure()) return;
        for (const auto& [name, outcome] : Rows(out)) {
            ASSERT_TRUE(outcome == "OK|OK" || outcome == "同名のファイル有り|スキップ")
                << name << " " << outcome;
            EXPECT_EQ(fs::exists(card + "/" + name), outcome != "OK|OK") << name;
            same_name_rows += outcome != "OK|OK";
        }
    }
    std::printf("%d kills in %d imports of 500 files, %d files copied but not yet deleted\n", kills,
                rounds, same_name_rows);
}

}  // namespace
}  // namespace pelko::test
