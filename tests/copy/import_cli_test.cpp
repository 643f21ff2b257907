// The import command as a separate process: its output, its settings file, and what a kill at
// any moment or a full disk leaves behind.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "support/file_ops.h"
#include "support/platform.h"

extern char** environ;

namespace pelko {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SetMTime;
using test::TempDir;
using test::WriteFile;

// The tool started with arguments (and extra environment entries), its output going to a file.
class CliProcess {
  public:
    CliProcess(const std::vector<std::string>& args, const std::string& out_file,
               const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv_text = {PELKO_CLI_PATH};
        argv_text.insert(argv_text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argv_text)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env_text = env;
        for (char** e = environ; *e != nullptr; ++e)
            env_text.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : env_text)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }

    // Exit status, or -1 when the process did not exit by itself.
    int Wait() {
        if (pid_ <= 0) return -1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // True when the kill landed on a running process.
    bool Kill() {
        if (pid_ <= 0) return false;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
    ~CliProcess() { Kill(); }

  private:
    pid_t pid_ = -1;
};

int RunToEnd(const std::vector<std::string>& args, std::string* out,
             const std::vector<std::string>& env = {}) {
    TempDir tmp;
    const std::string out_file = tmp / "out.txt";
    int status = CliProcess(args, out_file, env).Wait();
    *out = ReadFile(out_file);
    return status;
}

// Rows of the tool's output by source file name: "copy|delete".
std::map<std::string, std::string> Rows(const std::string& output) {
    std::map<std::string, std::string> rows;
    std::istringstream in(output);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            cells.push_back(line.substr(start, tab - start));
        }
        cells.push_back(line.substr(start));
        if (cells.size() == 4 && !cells[0].empty())
            rows[NameOf(cells[0])] = cells[2] + "|" + cells[3];
    }
    return rows;
}

// Regular files below a folder: relative path -> content.
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
    }
    return files;
}

TEST(ImportCli, DryRunPrintsRowsAndCreatesNothing) {
    TempDir tmp;
    WriteFile(tmp / "card/DCIM/100PENTX/IMGP0001.JPG", "j");
    WriteFile(tmp / "card/DCIM/100PENTX/IMGP0002.THM", "t");
    SetMTime(tmp / "card/DCIM/100PENTX/IMGP0001.JPG", 2010, 5, 1, 12, 0, 0);
    std::string out;
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--raw", tmp / "raw", "--jpeg", tmp / "jpg",
                        "--other", tmp / "other", "--folder-mode", "4", "--remove", "--dry-run"},
                       &out),
              0);
    EXPECT_NE(out.find(tmp / "card/DCIM/100PENTX/IMGP0001.JPG" + "\t" + tmp / "jpg" +
                       "/DSLR/2010-05/IMGP0001.JPG\tOK\tOK\n"),
              std::string::npos)
        << out;
    EXPECT_NE(("\n" + out).find("\n\t\t\t\n"), std::string::npos)
        << out;  // the .THM row stays blank
    EXPECT_NE(out.find("　　処理が終了しました\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp / "jpg"));
    EXPECT_TRUE(fs::exists(tmp / "card/DCIM/100PENTX/IMGP0001.JPG"));

    WriteFile(tmp / "empty/DCIM/PHOT0001.JPG", "p");
    EXPECT_EQ(
        RunToEnd({"import", tmp / "empty/DCIM", "--raw", "r", "--jpeg", "j", "--other", "o"}, &out),
        0);
    EXPECT_EQ(out, "メディアへファイルが存在しませんでした\n");
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--jpeg", "j"}, &out), 2);
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--rename", "--name-mode", "9"}, &out), 2);
}

TEST(ImportCli, SettingsComeFromTheWindowsSettingsFile) {
    TempDir tmp;
    WriteFile(tmp / "home" + "/" + ComputerName() + ".ini",
              "[FrmDCMain]\r\nDestRaw=" + tmp / "raw" + "\r\nDestJpg=" + tmp / "jpg" +
                  "\r\nDestOther=" + tmp / "other" +
                  "\r\nMakeFolder=3\r\nFileName=1\r\nLastDateExec=1\r\n"
                  "LastCopyDateTime=2010/05/01 00:00:00\r\n");
    WriteFile(tmp / "home/Data/UFormat.txt", "%Wshot-%N\r\n%F\r\n");
    WriteFile(tmp / "card/DCIM/IMGP0007.PEF", "new");
    WriteFile(tmp / "card/DCIM/IMGP0006.PEF", "old");
    SetMTime(tmp / "card/DCIM/IMGP0007.PEF", 2010, 5, 1, 0, 0, 0);
    SetMTime(tmp / "card/DCIM/IMGP0006.PEF", 2010, 4, 30, 23, 59, 59);
    std::string out;
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--settings"}, &out,
                       {"PELKOCOPY_HOME=" + tmp / "home"}),
              0)
        << out;
    EXPECT_EQ(ReadFile(tmp / "raw/2010/shot-0007.PEF"), "new");
    EXPECT_EQ(Rows(out)["IMGP0006.PEF"], "----|----");
    EXPECT_EQ(Tree(tmp / "raw").size(), 1u);
}

TEST(ImportCli, FullFileSystemFailsTheRowsAndLeavesNothingPartial) {
    TempDir tmp;
    const std::string mount_point = tmp / "small";
    fs::create_directories(mount_point);
    if (::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root): "
                     << std::strerror(errno);
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mount_point};

    for (int i = 1; i <= 5; ++i) {
        WriteFile(tmp / ("card/DCIM/IMGP000" + std::to_string(i) + ".JPG"),
                  std::string(100'000, static_cast<char>('0' + i)));
    }
    std::string out;
    EXPECT_EQ(RunToEnd({"import", tmp / "card/DCIM", "--raw", mount_point, "--jpeg", mount_point,
                        "--other", mount_point, "--remove"},
                       &out),
              1);
    const auto rows = Rows(out);
    ASSERT_EQ(rows.size(), 5u) << out;
    int copied = 0;
    for (const auto& [name, outcome] : rows) {
        const std::string dest = mount_point + "/DSLR/" + name;
        const std::string card = tmp / "card/DCIM/" + name;
        if (outcome == "OK|OK") {
            ++copied;
            EXPECT_EQ(ReadFile(dest).size(), 100'000u);
            EXPECT_FALSE(fs::exists(card));
        } else {
            EXPECT_EQ(outcome, "失敗|失敗") << name;
            EXPECT_FALSE(fs::exists(dest)) << name;
            EXPECT_EQ(ReadFile(card).size(), 100'000u);
        }
    }
    EXPECT_EQ(copied, 2);  // 256 KiB hold two files of 100,000 bytes
    // Not even a temporary file is left.
    EXPECT_EQ(Tree(mount_point).size(), 2u);
}

#if defined(__SANITIZE_ADDRESS__)
#define PELKO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELKO_ASAN 1
#endif
#endif

// SIGKILL at random moments of a 500-file import with removal: no file is ever lost or
// corrupted, and a final run completes the rest.
TEST(ImportCli, KilledImportsNeverLoseAFile) {
#ifdef PELKO_ASAN
    const int wanted_kills = 20;
#else
    const int wanted_kills = 24;
#endif
    std::mt19937 random(20100520);
    int kills = 0;
    int rounds = 0;
    int same_name_rows = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; kills < wanted_kills; ++round) {
        ASSERT_LT(round, 20) << "imports too fast to be killed; kills so far: " << kills;
        ++rounds;
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
        auto check_invariants = [&](const char* when) {
            const auto raw = Tree(tmp / "raw");
            const auto jpg = Tree(tmp / "jpg/DSLR");
            for (const auto& [name, bytes] : originals) {
                const auto& dest_tree = name.ends_with(".PEF") ? raw : jpg;
                const auto dest = dest_tree.find(name);
                const bool on_card = fs::exists(card + "/" + name);
                if (dest != dest_tree.end()) {
                    ASSERT_TRUE(dest->second == bytes) << when << ": copy differs: " << name;
                } else {
                    ASSERT_TRUE(on_card) << when << ": lost: " << name;
                }
                if (on_card) {
                    ASSERT_TRUE(ReadFile(card + "/" + name) == bytes) << when << ": " << name;
                }
            }
            for (const auto* tree : {&raw, &jpg}) {
                for (const auto& [path, bytes] : *tree) {
                    const std::string name = NameOf(path);
                    ASSERT_TRUE(IsCopyTemporaryName(name) || originals.count(name) > 0)
                        << when << ": stray file " << path;
                }
            }
        };

        std::uniform_int_distribution<int> delay_us(0, 120'000);
        bool finished = false;
        while (!finished && kills < wanted_kills) {
            CliProcess process(args, tmp / "out.txt");
            std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
            if (process.Kill()) {
                ++kills;
            } else {
                finished = true;  // it had ended by itself
            }
            check_invariants("after a kill");
            if (::testing::Test::HasFatalFailure()) return;
        }

        // The rest: files already copied report the same name and stay on the card.
        std::string out;
        ASSERT_EQ(RunToEnd(args, &out), 0) << out;
        check_invariants("after the final run");
        if (::testing::Test::HasFatalFailure()) return;
        for (const auto& [name, outcome] : Rows(out)) {
            ASSERT_TRUE(outcome == "OK|OK" || outcome == "同名のファイル有り|スキップ")
                << name << " " << outcome;
            EXPECT_EQ(fs::exists(card + "/" + name), outcome != "OK|OK") << name;
            if (outcome != "OK|OK") ++same_name_rows;
        }
        const auto raw = Tree(tmp / "raw");
        const auto jpg = Tree(tmp / "jpg/DSLR");
        for (const auto& [name, bytes] : originals) {
            const auto& dest_tree = name.ends_with(".PEF") ? raw : jpg;
            ASSERT_TRUE(dest_tree.count(name) > 0) << "not imported: " << name;
        }
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
            .count();
    std::printf(
        "%d kills in %d imports of 500 files, %d files copied but not yet deleted, %lld s\n", kills,
        rounds, same_name_rows, static_cast<long long>(seconds));
}

}  // namespace
}  // namespace pelko
