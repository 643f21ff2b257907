#include "support/file_ops.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_util.h"

namespace pelko {
namespace {

using namespace test;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename());
    return names;
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 gen(42);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen());
    return bytes;
}

// Runs every copy test on the kernel and the read/write path, each with unnamed files and with
// named temporaries, through the faults handed to each copy.
class FileOpsTest : public ::testing::TestWithParam<std::tuple<bool, bool>> {
  protected:
    void SetUp() override {
        faults_.kernel_copy_disabled = std::get<0>(GetParam());
        faults_.named_temporaries = Named();
    }
    static bool Named() { return std::get<1>(GetParam()); }
    CopyOptions Options() { return CopyOptions{false, false, &faults_}; }
    TempDir dir_;
    FileFaults faults_;
};

TEST(FolderOfTest, Table) {
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"/a/b/c.JPG", "/a/b|c.JPG|.JPG"}, {"/a.jpg", "/|a.jpg|.jpg"}, {"/a/b/", "/a/b||"},
        {"/", "/||"}, {"a.jpg", "|a.jpg|.jpg"}, {"d.x/file", "d.x|file|"},
        {"/a/b.tar.gz", "/a|b.tar.gz|.gz"}};
    // clang-format on
    for (const auto& [path, parts] : rows)
        EXPECT_EQ(FolderOf(path) + "|" + NameOf(path) + "|" + ExtensionOf(path), parts) << path;
}

TEST_P(FileOpsTest, CopyCreatesFoldersAndKeepsDataTimeAndMode) {
    const std::string name = "\x83\x4a\x83\x81\x83\x89.PEF";  // not UTF-8: travels as bytes
    const std::string src = dir_ / ("card/" + name);
    const std::string data = RandomBytes(3 * 1024 * 1024 + 17);  // crosses the block size
    WriteFile(src, data);
    const struct timespec times[2] = {{1500000000, 0}, {1600000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, src.c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(src.c_str(), 0640), 0);

    const std::string dest = dir_ / ("New/Sub/" + name);
    ASSERT_TRUE(FileCopyToFolder(src, dir_ / "New/Sub", false, &faults_));
    EXPECT_EQ(ReadFile(dest), data);
    struct stat st;
    ASSERT_EQ(::stat(dest.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(dir_ / "New/Sub").size(), 1u);  // no temporary left
    EXPECT_FALSE(FileDelete(dir_ / "New"));           // never a folder
}

TEST_P(FileOpsTest, NeverReplacesAndFailuresLeaveNothingBehind) {
    const std::string src = dir_ / "a.mov";
    WriteFile(src, RandomBytes(3 * 1024 * 1024));
    WriteFile(dir_ / "plain", "x");

    faults_.write_budget = 1000;  // the disk fills mid-copy
    EXPECT_EQ(CopyFileChecked(src, dir_ / "out/a.mov", Options()), CopyOutcome::kWriteFailed);
    faults_.write_budget = -1;
    EXPECT_EQ(CopyFileChecked(src, dir_ / "plain/sub/a.mov", Options()),
              CopyOutcome::kFolderFailed);
    EXPECT_EQ(CopyFileChecked(dir_ / "missing", dir_ / "out/b", Options()),
              CopyOutcome::kSourceMissing);
    EXPECT_EQ(CopyFileChecked(dir_ / "out", dir_ / "out2/b", Options()),
              CopyOutcome::kSourceMissing);
    EXPECT_TRUE(Entries(dir_ / "out").empty());
    EXPECT_FALSE(FolderExists(dir_ / "out2"));

    const std::string dest = dir_ / "out/a.mov";
    WriteFile(dest, "old");
    EXPECT_EQ(CopyFileChecked(src, dest, Options()), CopyOutcome::kDestExists);
    EXPECT_EQ(ReadFile(dest), "old");
    EXPECT_TRUE(FileCopy(src, dest, true, &faults_));
    EXPECT_EQ(ReadFile(dest), ReadFile(src));

    // Nor when the destination appears while the copy runs under a name that searches pass over.
    const std::string late = dir_ / "out/late.mov";
    faults_.before_commit = [&] {
        const std::vector<std::string> names = Entries(dir_ / "out");
        EXPECT_EQ(std::count_if(names.begin(), names.end(), IsCopyTemporaryName), Named() ? 1 : 0);
        WriteFile(late, "intruder");
    };
    EXPECT_EQ(CopyFileChecked(src, late, Options()), CopyOutcome::kDestExists);
    EXPECT_EQ(ReadFile(late), "intruder");
    EXPECT_EQ(Entries(dir_ / "out").size(), 2u);
}

TEST_P(FileOpsTest, MoveDeletesSourceOnlyAfterVerifiedCopy) {
    const std::string src = dir_ / "card/a.jpg";
    const std::string data = RandomBytes(2 * 1024 * 1024 + 5);
    WriteFile(src, data);
    ASSERT_TRUE(FileMoveToFolder(src, dir_ / "pics/", false, &faults_));
    EXPECT_FALSE(FileExists(src));
    EXPECT_EQ(ReadFile(dir_ / "pics/a.jpg"), data);

    // A failed copy keeps the source, also when the destination is taken.
    WriteFile(src, "again");
    EXPECT_FALSE(FileMove(src, dir_ / "pics/a.jpg", false, &faults_));
    EXPECT_EQ(ReadFile(src), "again");
    faults_.write_budget = 2;
    EXPECT_FALSE(FileMove(src, dir_ / "pics/b.jpg", false, &faults_));
    EXPECT_TRUE(FileExists(src));
    EXPECT_FALSE(FileExists(dir_ / "pics/b.jpg"));

    // Moving a file onto itself, also through a hard link, must not delete the only copy.
    faults_.write_budget = -1;
    ASSERT_EQ(::link(src.c_str(), (dir_ / "card/hard.jpg").c_str()), 0);
    EXPECT_FALSE(FileMove(src, src, true, &faults_));
    EXPECT_FALSE(FileMove(src, dir_ / "card/./hard.jpg", true, &faults_));
    EXPECT_EQ(ReadFile(src), "again");
}

TEST_P(FileOpsTest, BatchNamesOnlyCopiesThatReadBackIdentical) {
    const std::string data = RandomBytes(1024 * 1024 + 3);
    // Source name, destination below dir_, outcome after what happens before the commit.
    const std::tuple<const char*, const char*, CopyOutcome> rows[] = {
        {"a", "x/a", CopyOutcome::kOk},
        {"taken", "x/taken", CopyOutcome::kDestExists},        // another file takes the name
        {"changed", "y/changed", CopyOutcome::kVerifyFailed},  // the source changes
        {"b", "y/b", CopyOutcome::kOk}};
    DurableCopyBatch batch(&faults_);
    for (const auto& [name, dest, outcome] : rows) {
        WriteFile(dir_ / ("card/" + std::string(name)), data);
        EXPECT_EQ(batch.Stage(SourceFileAt(dir_ / ("card/" + std::string(name))), dir_ / dest),
                  CopyOutcome::kOk)
            << name;
    }
    EXPECT_EQ(batch.Bytes(), 4 * static_cast<std::int64_t>(data.size()));
    EXPECT_FALSE(FileExists(dir_ / "x/a"));  // staged copies have no name yet
    WriteFile(dir_ / "x/taken", "intruder");
    std::string changed = data;
    changed[500000] ^= 1;
    WriteFile(dir_ / "card/changed", changed);

    const std::vector<DurableCopyBatch::Committed> committed = batch.Commit(false);
    ASSERT_EQ(committed.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& [name, dest, outcome] = rows[i];
        EXPECT_EQ(committed[i].outcome, outcome) << name;
        if (outcome == CopyOutcome::kOk) {
            EXPECT_EQ(ReadFile(dir_ / dest), data) << name;
        }
    }
    EXPECT_EQ(ReadFile(dir_ / "x/taken"), "intruder");
    EXPECT_EQ(Entries(dir_ / "x").size() + Entries(dir_ / "y").size(), 3u);  // no temporaries
    EXPECT_EQ(batch.Count(), 0u);

    // A batch dropped before its commit leaves nothing.
    EXPECT_EQ(DurableCopyBatch(&faults_).Stage(SourceFileAt(dir_ / "card/a"), dir_ / "z/a"),
              CopyOutcome::kOk);
    EXPECT_TRUE(Entries(dir_ / "z").empty());
}

INSTANTIATE_TEST_SUITE_P(KernelAndReadWrite, FileOpsTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param) ? "ReadWrite" : "Kernel") +
                                    (std::get<1>(p.param) ? "Named" : "Unnamed");
                         });

// Temporaries of dead writers go; those of live writers (this process, a live pid, a held lock)
// and names without a writer stay.
TEST(FileOpsPlainTest, RemoveStaleTemporariesSparesLiveWriters) {
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);  // now a pid of nobody
    // A writer that exited but is not reaped yet is gone too.
    const pid_t zombie = ::fork();
    if (zombie == 0) ::_exit(0);
    ASSERT_GT(zombie, 0);
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(zombie), &info, WEXITED | WNOWAIT), 0);
    const std::string dead = std::string(kCopyTemporaryPrefix) + std::to_string(child) + "-";
    const std::string self = std::string(kCopyTemporaryPrefix) + std::to_string(::getpid()) + "-";
    // Name, whether it carries the temporaries' mark, whether it is removed. Only the exact
    // shape with the mark goes: a picture or a user's file under a name that merely looks so
    // stays.
    const std::tuple<std::string, bool, bool> rows[] = {
        {dead + "aaaaaaaaaaaa", true, true},
        {std::string(kCopyTemporaryPrefix) + std::to_string(zombie) + "-cccccccccccc", true, true},
        {dead + "llllllllllll", true, false},
        {self + "bbbbbbbbbbbb", true, false},
        {dead + "dddddddddddd", false, false},
        {dead + "IMGP0001.JPG", true, false},
        {std::string(kCopyTemporaryPrefix) + "1-init", true, false},
        {"IMGP0001.JPG", true, false}};
    for (const auto& [name, marked, removed] : rows) {
        WriteFile(dir / name, "x");
        EXPECT_TRUE(!marked ||
                    ::setxattr((dir / name).c_str(), "user.pelkocopy.tmp", "1", 1, 0) == 0);
    }
    const int fd = ::open((dir / (dead + "llllllllllll")).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    // The lock is taken through another open file description, as another process would hold it.
    EXPECT_EQ(RemoveStaleTemporaries(dir.str()), 2);
    ::close(fd);
    ::waitpid(zombie, nullptr, 0);
    for (const auto& [name, marked, removed] : rows)
        EXPECT_NE(FileExists(dir / name), removed) << name;
}

// A named temporary stays locked until it has its final name (a run on another computer that
// sweeps the folder meanwhile finds the lock taken), and loses its mark there.
TEST(FileOpsPlainTest, NamedTemporaryStaysLockedUntilItHasItsName) {
    TempDir dir;
    WriteFile(dir / "card.jpg", "picture");
    FileFaults faults;
    faults.named_temporaries = true;
    int locked = 0;
    faults.before_commit = [&] {
        for (const std::string& name : Entries(dir.str())) {
            const int fd = IsCopyTemporaryName(name) ? ::open((dir / name).c_str(), O_RDONLY) : -1;
            locked += fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            if (fd >= 0) ::close(fd);
        }
    };
    for (const bool durable : {false, true}) {
        const std::string dest = dir / (durable ? "durable.jpg" : "plain.jpg");
        EXPECT_EQ(CopyFileChecked(dir / "card.jpg", dest, CopyOptions{false, durable, &faults}),
                  CopyOutcome::kOk);
        char mark[8];
        EXPECT_LT(::getxattr(dest.c_str(), "user.pelkocopy.tmp", mark, sizeof mark), 0);
    }
    EXPECT_EQ(locked, 2);
}

// Replacing writes and their kept modes are checked through the settings files.
TEST(FileOpsPlainTest, AtomicWriteThatMustNotReplaceKeepsTheFile) {
    TempDir dir;
    WriteFile(dir / "a.txt", "one");
    AtomicWriteOptions keep;
    keep.replace = false;
    EXPECT_EQ(WriteFileAtomically(dir / "a.txt", "two", keep), EEXIST);
    EXPECT_EQ(ReadFile(dir / "a.txt"), "one");
    EXPECT_EQ(Entries(dir.str()).size(), 1u);  // no temporary left
}

}  // namespace
}  // namespace pelko
