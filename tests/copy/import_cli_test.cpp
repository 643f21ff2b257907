// The import command as a separate process: its output, its settings file, and what a kill at
// any moment or a full disk leaves behind.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "copy/card_tree.h"
#include "exif/exif_block_builder.h"
#include "support/file_ops.h"
#include "support/platform.h"

extern char** environ;

namespace pelko::test {
namespace {

// Rows of the tool's output by source file name: "copy|delete".
std::map<std::string, std::string> Rows(const std::string& output) {
    static const std::regex row("^([^\t\n]+)\t[^\t\n]*\t([^\t\n]*)\t([^\t\n]*)$",
                                std::regex::multiline);
    std::map<std::string, std::string> rows;
    for (std::sregex_iterator it(output.begin(), output.end(), row), end; it != end; ++it)
        rows[NameOf((*it)[1].str())] = (*it)[2].str() + "|" + (*it)[3].str();
    return rows;
}

// Arguments of an import of the card below tmp into raw, jpg and other below dest (tmp unless
// given).
std::string Import(const TempDir& tmp, const std::string& more, std::string dest = "") {
    if (dest.empty()) dest = tmp.str();
    return "import " + tmp / "card/DCIM" + " --raw " + dest + "/raw --jpeg " + dest +
           "/jpg --other " + dest + "/other " + more;
}

// Writes the settings file of the home folder below tmp: `keys`, then destinations below tmp,
// then `sections`. Later keys of the same name do not count, so `keys` override.
std::string WriteSettings(const TempDir& tmp, const std::string& keys,
                          const std::string& sections = "") {
    const std::string ini = tmp / "home" + "/" + ComputerName() + ".ini";
    WriteFile(ini, "[FrmDCMain]\r\n" + keys + "DestRaw=" + tmp / "raw" + "\r\nDestJpg=" +
                       tmp / "jpg" + "\r\nDestOther=" + tmp / "other" + "\r\n" + sections);
    return ini;
}

TEST(ImportCli, AFolderThatCannotBeReadIsAnError) {
    // Root reads every folder: the tool runs without the capabilities that let it.
    const bool root = ::geteuid() == 0;
    if (root && ::system("capsh --drop=cap_dac_override -- -c true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "cannot drop root's capabilities here";
    }
    // The folder made unreadable, and whether the other folder's file is still imported.
    const std::pair<const char*, bool> rows[] = {{"DCIM/101PENTX", true}, {"DCIM", false}};
    for (const auto& [unreadable, imported] : rows) {
        TempDir tmp;
        DatedFile(tmp / "card/DCIM/100PENTX/IMGP0001.JPG");
        DatedFile(tmp / "card/DCIM/101PENTX/IMGP0002.JPG");
        const std::string folder = tmp / ("card/" + std::string(unreadable));
        fs::permissions(folder, fs::perms::none);
        const std::string line =
            std::string(PELKO_CLI_PATH) + " " + Import(tmp, "2>" + tmp / "err");
        std::string out;
        const int status = RunShell(
            root ? "capsh --drop=cap_dac_override,cap_dac_read_search -- -c '" + line + "'" : line,
            &out);
        fs::permissions(folder, fs::perms::owner_all);
        EXPECT_EQ(status, 1) << unreadable << "\n" << out;
        EXPECT_NE(ReadFile(tmp / "err").find("cannot read folder " + folder + "\n"),
                  std::string::npos)
            << ReadFile(tmp / "err");
        EXPECT_EQ(out.find("メディアへファイルが存在しませんでした"), std::string::npos) << out;
        EXPECT_EQ(fs::exists(tmp / "jpg/DSLR/IMGP0001.JPG"), imported) << unreadable;
    }
}

// Output that cannot be written (a full disk, a reader gone) stops the run before its next file;
// the tool says so and fails, and is never killed by SIGPIPE.
TEST(ImportCli, UnwritableOutputStopsTheRun) {
    for (const bool pipe_gone : {false, true}) {
        TempDir tmp;
        for (int i = 1; i <= 5; ++i)
            DatedFile(tmp / ("card/DCIM/IMGP000" + std::to_string(i) + ".JPG"), "picture");
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[0]);  // a reader that is gone; the tool inherits the writing end
        const std::string to = pipe_gone ? ">&" + std::to_string(ends[1]) : ">/dev/full";
        const int status = RunCli(Import(tmp, to + " 2>" + tmp / "err"), nullptr);
        ::close(ends[1]);
        EXPECT_EQ(status, 1) << "141 is a death by SIGPIPE";
        EXPECT_NE(ReadFile(tmp / "err").find("cannot write the output"), std::string::npos)
            << ReadFile(tmp / "err");
        // The first file listed, whose row could not be written, and no other.
        EXPECT_EQ(Tree(tmp / "jpg/DSLR").size(), 1u) << pipe_gone;
    }
}

// Under a low descriptor limit a run with removal never fails a file for want of the descriptors
// its own folders and pending copies hold. The source is the folder the file system finds:
// "link/.." is the card folder above the link's target, not the folder that holds the link.
TEST(ImportCli, ALowDescriptorLimitFailsNoFileAndTheSourceIsResolved) {
    TempDir tmp;
    for (int i = 0; i < 200; ++i) {
        WriteFile(tmp / ("card/DCIM/10" + std::to_string(i % 4) + "PENTX/IMGP" +
                         std::to_string(1000 + i) + ".JPG"),
                  "x");
    }
    DatedFile(tmp / "elsewhere/IMGP0002.JPG");
    fs::create_directory_symlink(tmp / "card/DCIM/100PENTX", tmp / "elsewhere/link");
    std::string out;
    EXPECT_EQ(RunShell("cd " + tmp / "elsewhere" + " && ulimit -n 64 && exec " + PELKO_CLI_PATH +
                           " import link/.. --raw " + tmp / "raw --jpeg " + tmp / "jpg --other " +
                           tmp / "other --remove",
                       &out),
              0);
    const auto rows = Rows(out);
    EXPECT_EQ(
        std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.second == "OK|OK"; }),
        200);
    EXPECT_EQ(Tree(tmp / "card").size(), 0u);
    EXPECT_TRUE(fs::exists(tmp / "elsewhere/IMGP0002.JPG"));
}

// Whether the process has a handler of its own for the signal (its "SigCgt" mask).
bool CatchesSignal(pid_t pid, int signal_number) {
    std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal_number - 1)) & 1;
        }
    }
    return false;
}

// SIGINT and SIGTERM while the card is still being listed: nothing is copied or deleted, and the
// tool says it was interrupted and exits with 128 + the signal's number.
TEST(ImportCli, ASignalDuringTheListingStopsBeforeAnyFile) {
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        TempDir tmp;
        const ScopedEnv home("PELKOCOPY_HOME", tmp / "home");
        for (int folder = 100; folder < 120; ++folder) {
            for (int i = 0; i < 50; ++i)
                WriteFile(tmp / ("card/DCIM/" + std::to_string(folder) + "PENTX/IMGP" +
                                 std::to_string(1000 + i) + ".JPG"),
                          "x");
        }
        // Started without a shell, whose own handlers would answer for the tool's.
        const std::string card = tmp / "card/DCIM", raw = tmp / "raw", jpg = tmp / "jpg",
                          other = tmp / "other", err = tmp / "err";
        const char* argv[] = {PELKO_CLI_PATH, "import",   card.c_str(), "--raw",
                              raw.c_str(),    "--jpeg",   jpg.c_str(),  "--other",
                              other.c_str(),  "--remove", nullptr};
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
        pid_t pid = -1;
        ASSERT_EQ(::posix_spawn(&pid, argv[0], &files, nullptr, const_cast<char**>(argv), environ),
                  0);
        posix_spawn_file_actions_destroy(&files);
        // The handlers go in just before the listing starts.
        for (int i = 0; i < 10000 && !CatchesSignal(pid, signal_number); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ::kill(pid, signal_number);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by the signal";
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        EXPECT_EQ(ReadFile(tmp / "err"), "pelkocopy-cli import: interrupted\n");
        EXPECT_FALSE(fs::exists(tmp / "jpg"));
        EXPECT_EQ(Tree(tmp / "card").size(), 1000u);
    }
}

// --json gives one object per row with stable keys (the row text table holds the escaping);
// files that stay on the card are counted on stderr; extensions from the command line and the
// settings give files a kind.
TEST(ImportCli, RowsJsonAndTheFilesLeftOnTheCard) {
    TempDir tmp;
    const std::string first = "IMGP0001.JPG";
    for (const char* name :
         {"IMGP0001.JPG", "IMGP0002.CR3", "IMGP0003.THM", "IMGP0004.HEIC", "IMGP0005.JPG"})
        DatedFile(tmp / ("card/DCIM/" + std::string(name)), name);
    WriteFile(tmp / "jpg/DSLR/IMGP0005.JPG", "taken");
    // A link on the card is neither followed, copied nor deleted.
    WriteFile(tmp / "secret.key", "secret");
    fs::create_symlink(tmp / "secret.key", tmp / "card/DCIM/IMGP0006.JPG");
    std::string out;
    ASSERT_EQ(RunCli(Import(tmp, "--remove --json --raw-ext .cr3 2>" + tmp / "err"), &out), 0);
    EXPECT_EQ(ReadFile(tmp / "err"),
              "pelkocopy-cli import: 4 files left on the card: 2 of no kind (.heic 1, .thm 1), 1 "
              "name taken, 1 link\n");
    EXPECT_TRUE(fs::is_symlink(tmp / "card/DCIM/IMGP0006.JPG"));
    EXPECT_FALSE(fs::exists(tmp / "jpg/DSLR/IMGP0006.JPG"));
    std::istringstream lines(out);
    std::map<std::string, nlohmann::json> rows;
    nlohmann::json last;
    for (std::string line; std::getline(lines, line);) {
        last = nlohmann::json::parse(line);
        if (last.contains("source")) rows[NameOf(last["source"].get<std::string>())] = last;
    }
    ASSERT_EQ(rows.size(), 6u) << out;
    EXPECT_EQ(rows[first]["destination"], tmp / "jpg/DSLR/" + first);
    EXPECT_EQ(rows[first]["kind"], "jpeg");
    EXPECT_EQ(rows[first]["copy"], "copied");
    EXPECT_EQ(rows[first]["delete"], "deleted");
    EXPECT_EQ(rows[first]["cells"][3], "OK");
    EXPECT_EQ(rows["IMGP0002.CR3"]["kind"], "raw");
    EXPECT_EQ(rows["IMGP0003.THM"]["kind"], "none");
    EXPECT_EQ(rows["IMGP0003.THM"]["cells"], nlohmann::json::array({"", "", "", ""}));
    EXPECT_EQ(last["status"], "　　処理が終了しました");
    EXPECT_EQ(ReadFile(tmp / "raw/IMGP0002.CR3"), "IMGP0002.CR3");

    WriteSettings(tmp, "CopyAfterReMove=1\r\n", "[FileKinds]\r\nJpeg=.heic\r\n");
    const ScopedEnv home("PELKOCOPY_HOME", tmp / "home");
    EXPECT_EQ(RunCli("import " + tmp / "card/DCIM --settings --other-ext thm", &out), 0) << out;
    fs::remove(tmp / "card/DCIM/IMGP0006.JPG");
    const std::map<std::string, std::string> left = {{"DCIM/IMGP0005.JPG", "IMGP0005.JPG"}};
    EXPECT_EQ(Tree(tmp / "card"), left);
    EXPECT_EQ(ReadFile(tmp / "jpg/DSLR/IMGP0004.HEIC"), "IMGP0004.HEIC");
    EXPECT_EQ(ReadFile(tmp / "other/IMGP0003.THM"), "IMGP0003.THM");
}

// Settings come from the window's settings file; with --settings an option on the command line
// wins both ways; a stored destination that cannot be used (as any problem the settings table
// reports) stops the run before anything is copied, unless the command line replaces it.
TEST(ImportCli, StoredSettingsAndTheOptionsThatOverrideThem) {
    TempDir tmp;
    const ScopedEnv home("PELKOCOPY_HOME", tmp / "home");
    WriteFile(tmp / "home/Data/UFormat.txt", "%Wshot-%N\r\n%F\r\n");
    const std::string stored =
        "CopyAfterReMove=1\r\nLastDateExec=1\r\nExecExifDate=1\r\nLastCopyDateTime=2010/5/1 "
        "0:00:00\r\n";
    struct Case {
        std::string keys, options;
        int status;
        std::string old_row;  // of IMGP0006.PEF, dated before the stored cut-off
        std::string raw;      // the files the RAW destination holds afterwards
        bool new_on_card;
    };
    const Case cases[] = {
        {"", "", 0, "----|----", "IMGP0007.PEF ", false},
        {"CopyAfterReMove=0\r\nMakeFolder=3\r\nFileName=1\r\n", "", 0, "----|----",
         "2010/shot-0007.PEF ", true},
        {"", "--no-remove --no-skip-older --no-exif-date", 0, "OK|----",
         "IMGP0006.PEF IMGP0007.PEF ", true},
        {"DestJpg=jpg\r\n", "", 1, "", "", true},  // relative: nothing copied
        {"DestJpg=jpg\r\n", "--jpeg " + tmp / "jpg2", 0, "----|----", "IMGP0007.PEF ", false},
        // A cut-off that does not parse is "now": both files are older.
        {"LastCopyDateTime=garbage\r\n", "", 0, "----|----", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys + c.options);
        fs::remove_all(tmp / "card");
        fs::remove_all(tmp / "raw");
        WriteSettings(tmp, c.keys + stored);
        DatedFile(tmp / "card/DCIM/IMGP0007.PEF", "new", {2010, 5, 1, 0, 0, 0});
        DatedFile(tmp / "card/DCIM/IMGP0006.PEF", "old", {2010, 4, 30, 23, 59, 59});
        std::string out, raw;
        EXPECT_EQ(
            RunCli("import " + tmp / "card/DCIM --settings " + c.options + " 2>/dev/null", &out),
            c.status)
            << out;
        EXPECT_EQ(Rows(out)["IMGP0006.PEF"], c.old_row) << out;
        for (const auto& [name, bytes] : Tree(tmp / "raw"))
            raw += name + " ";
        EXPECT_EQ(raw, c.raw);
        EXPECT_EQ(fs::exists(tmp / "card/DCIM/IMGP0007.PEF"), c.new_on_card);
    }
}

// Without an alias table yet, a dry run names files with the table's first contents, as the run
// will, and creates nothing, not even the application folder.
TEST(ImportCli, ADryRunNamesAsTheRunAndCreatesNothing) {
    TempDir tmp;
    ExifBlockBuilder exif(false);
    exif.Ascii(0, 0x0110, "PENTAX K10D");
    WriteFile(tmp / "card/DCIM/IMGP0001.JPG", exif.Jpeg());
    const ScopedEnv env("PELKOCOPY_HOME", tmp / "home/PelkoCopy");
    const std::string row = "\t" + tmp / "jpg/DSLR/K10D-0001.JPG\tOK\t";
    for (const char* dry : {" --dry-run", ""}) {
        std::string out;
        EXPECT_EQ(RunCli(Import(tmp, "--name-mode 1 --user-format %C-%N") + dry, &out), 0);
        EXPECT_NE(out.find(row), std::string::npos) << out;
        EXPECT_EQ(fs::exists(*dry ? tmp / "home" : tmp / "home/PelkoCopy/ChangeModelName.txt"),
                  !*dry);
    }
}

TEST(ImportCli, FullFileSystemFailsTheRowsAndLeavesNothingPartial) {
    TempDir tmp;
    const std::string small = tmp / "small";
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root): "
                     << std::strerror(errno);
    }
    const std::shared_ptr<void> unmount(nullptr,
                                        [&](void*) { ::umount2(small.c_str(), MNT_DETACH); });

    for (int i = 1; i <= 5; ++i) {
        WriteFile(tmp / ("card/DCIM/IMGP000" + std::to_string(i) + ".JPG"),
                  std::string(100'000, static_cast<char>('0' + i)));
    }
    std::string out;
    EXPECT_EQ(RunCli(Import(tmp, "--remove", small), &out), 1);
    const auto rows = Rows(out);
    ASSERT_EQ(rows.size(), 5u) << out;
    int copied = 0;
    for (const auto& [name, outcome] : rows) {
        const bool ok = outcome == "OK|OK";
        copied += ok;
        EXPECT_TRUE(ok || outcome == "失敗|----") << name << " " << outcome;
        EXPECT_EQ(ReadFile((ok ? small + "/jpg/DSLR/" : tmp / "card/DCIM/") + name).size(),
                  100'000u);
        EXPECT_NE(fs::exists(small + "/jpg/DSLR/" + name), fs::exists(tmp / "card/DCIM/" + name));
    }
    EXPECT_EQ(copied, 2);               // 256 KiB hold two files of 100,000 bytes
    EXPECT_EQ(Tree(small).size(), 2u);  // not even a temporary file is left
}

// SIGKILL at random moments of a 500-file import with removal: no file is ever lost or
// corrupted, and a final run completes the rest and leaves no temporary file, with unnamed
// files and with named temporaries.
class KilledImports : public ::testing::TestWithParam<bool> {};

TEST_P(KilledImports, NeverLoseAFileNorLeaveTemporaries) {
    std::mt19937 random(20100520);
    int kills = 0, rounds = 0;
    while (kills < 20) {
        ASSERT_LT(rounds++, 20) << "imports too fast to be killed; kills so far: " << kills;
        TempDir tmp;
        const std::string card = tmp / "card/DCIM/100PENTX";
        std::map<std::string, std::string> originals;
        std::uniform_int_distribution<int> size(100, 40'000);
        for (int i = 1000; i < 1500; ++i) {
            const std::string name = "IMGP" + std::to_string(i) + (i % 7 != 0 ? ".JPG" : ".PEF");
            // Every tenth file large, so that kills also land inside a copy.
            std::string& bytes = originals[name];
            bytes.resize(i % 10 == 0 ? 600'000 : static_cast<std::size_t>(size(random)));
            std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
            WriteFile(card + "/" + name, bytes);
        }
        const std::string args =
            Import(tmp, GetParam() ? "--remove --named-temporaries" : "--remove");
        // Every file is on the card or copied, both intact; nothing else but temporary files,
        // and after the final run not even those.
        auto check = [&](const char* when, bool all_copied) {
            const auto raw = Tree(tmp / "raw"), jpg = Tree(tmp / "jpg/DSLR");
            for (const auto& [name, bytes] : originals) {
                const auto& tree = name.ends_with(".PEF") ? raw : jpg;
                const auto dest = tree.find(name);
                const bool on_card = fs::exists(card + "/" + name);
                ASSERT_TRUE(dest != tree.end() || (!all_copied && on_card)) << when << " " << name;
                ASSERT_TRUE(dest == tree.end() || dest->second == bytes) << when << " " << name;
                ASSERT_TRUE(!on_card || ReadFile(card + "/" + name) == bytes) << when << name;
            }
            for (const auto* tree : {&raw, &jpg}) {
                for (const auto& [path, bytes] : *tree)
                    ASSERT_TRUE((!all_copied && IsCopyTemporaryName(NameOf(path))) ||
                                originals.count(NameOf(path)))
                        << when << ": stray file " << path;
            }
        };

        std::uniform_int_distribution<int> delay_us(5'000, 120'000);  // past the exec
        // The shell execs the tool, so the kill lands on the tool itself, which is reaped before
        // the next run looks for the temporaries of dead writers.
        const std::string line = std::string("exec ") + PELKO_CLI_PATH + " " + args + " >/dev/null";
        const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
        for (bool finished = false; !finished && kills < 20;) {
            pid_t pid = -1;
            ASSERT_EQ(
                ::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ),
                0);
            std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
            finished = !WIFSIGNALED(status);  // it had ended by itself
            kills += !finished;
            check("after a kill", false);
            if (::testing::Test::HasFatalFailure()) return;
        }

        // The rest: files already copied report the same name and stay on the card.
        std::string out;
        ASSERT_EQ(RunCli(args, &out), 0) << out;
        check("after the final run", true);
        if (::testing::Test::HasFatalFailure()) return;
        for (const auto& [name, outcome] : Rows(out)) {
            ASSERT_TRUE(outcome == "OK|OK" || outcome == "同名のファイル有り|スキップ")
                << name << " " << outcome;
            EXPECT_EQ(fs::exists(card + "/" + name), outcome != "OK|OK") << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndNamed, KilledImports, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "Named" : "Unnamed"; });

}  // namespace
}  // namespace pelko::test
