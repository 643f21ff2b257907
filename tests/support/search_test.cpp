#include "support/search.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "support/dir_selecter.h"
#include "support/file_info.h"
#include "support/file_ops.h"

namespace pelko {
namespace {

using namespace test;

// A, A/B, A/B/C with two files each.
class SearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const std::string folder : {"A", "A/B", "A/B/C"}) {
            WriteFile(dir_ / (folder + "/1.jpg"), "x");
            WriteFile(dir_ / (folder + "/2.jpg"), "yy");
        }
        search_.Directory = dir_ / "A";
        search_.OnFind = [this](TSearchFile&, const std::string& name, const TSearchFileData&,
                                bool&) { found_.push_back(name.substr(dir_.str().size() + 1)); };
    }

    TempDir dir_;
    TSearchFile search_;
    std::vector<std::string> found_;
};

TEST_F(SearchTest, LevelByLevelWithSkipAndIgnoreSubDirOnAB) {
    // Skip and ignore on A/B, and the folders searched, which are also those of the entries found.
    const std::tuple<bool, bool, std::vector<std::string>> rows[] = {
        {true, false, {"A", "A/B/C"}},
        {false, true, {"A", "A/B"}},
        {true, true, {"A"}},
        {false, false, {"A", "A/B", "A/B/C"}}};
    for (const auto& [skip_ab, ignore_ab, want] : rows) {
        found_.clear();
        search_.OnFindDir = [&](TSearchFile&, const std::string& name, const TSearchFileData& data,
                                bool& skip, bool& ignore) {
            EXPECT_TRUE(data.AttrDirectory()) << name;
            skip = skip_ab && name == dir_ / "A/B";
            ignore = ignore_ab && name == dir_ / "A/B";
        };
        ASSERT_TRUE(search_.Execute());
        std::vector<std::string> dirs, entry_folders;
        for (const std::string& d : search_.DirList())
            dirs.push_back(d.substr(dir_.str().size() + 1));
        // Folder by folder: the entries of one folder all come before those of the next.
        for (const std::string& f : found_) {
            if (entry_folders.empty() || entry_folders.back() != FolderOf(f))
                entry_folders.push_back(FolderOf(f));
        }
        EXPECT_EQ(dirs, want);
        EXPECT_EQ(entry_folders, want);
    }
    // The full search reports each entry once: six files and two sub-folders.
    std::sort(found_.begin(), found_.end());
    EXPECT_EQ(found_,
              (std::vector<std::string>{"A/1.jpg", "A/2.jpg", "A/B", "A/B/1.jpg", "A/B/2.jpg",
                                        "A/B/C", "A/B/C/1.jpg", "A/B/C/2.jpg"}));
}

TEST_F(SearchTest, ContinueFalseStopsBusyRefusesNestedRunsAndAThrowClearsBusy) {
    int calls = 0;
    bool nested = true;
    search_.OnFind = [&](TSearchFile& sender, const std::string&, const TSearchFileData&,
                         bool& cont) {
        EXPECT_TRUE(sender.Busy());
        nested = nested && sender.Execute();
        cont = ++calls < 3;
    };
    EXPECT_FALSE(search_.Execute());
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(nested);
    EXPECT_FALSE(search_.Busy());

    search_.OnFind = [](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(search_.Execute(), std::runtime_error);
    EXPECT_FALSE(search_.Busy());
    search_.Directory = dir_ / "gone";  // a missing base is an empty search: no call, no throw
    EXPECT_TRUE(search_.Execute());
}

TEST_F(SearchTest, FlatSearch) {
    search_.Directory = dir_ / "A/B/";
    search_.Recursive = false;
    search_.SearchName = "*.JPG";  // case-insensitive, folders do not match
    ASSERT_TRUE(search_.Execute());
    std::sort(found_.begin(), found_.end());
    EXPECT_EQ(found_, (std::vector<std::string>{"A/B/1.jpg", "A/B/2.jpg"}));
    EXPECT_TRUE(search_.UnreadableDirs().empty());
    // A folder that cannot be opened is named, never passed over as an empty one.
    search_.Directory = dir_ / "gone";
    EXPECT_TRUE(search_.Execute());
    EXPECT_EQ(search_.UnreadableDirs(), std::vector<std::string>{dir_ / "gone"});
}

TEST_F(SearchTest, DataCarriesSizeTimeAndRawNames) {
    const std::string odd = "\x83\x4a\x83\x81\x83\x89.JPG";  // Shift-JIS, not UTF-8
    WriteFile(dir_ / ("A/" + odd), std::string(5000, 'z'));
    SetMTime(dir_ / ("A/" + odd), 2019, 5, 1, 9, 30, 15);
    std::map<std::string, TSearchFileData> data;
    search_.Recursive = false;
    search_.OnFind = [&](TSearchFile&, const std::string& name, const TSearchFileData& d, bool&) {
        data[NameOf(name)] = d;
    };
    ASSERT_TRUE(search_.Execute());
    const TSearchFileData& d = data[odd];
    EXPECT_EQ(d.Name, odd);
    EXPECT_EQ(d.Size(), 5000);
    EXPECT_EQ(d.LastWriteTime().ToText(), "2019/05/01 09:30:15");
    EXPECT_TRUE(data["B"].AttrDirectory());

    TFileIfo info;
    info.SetFileName(dir_ / "A/*.JPG");  // a wildcard stands for its first match
    EXPECT_EQ(info.FileShortName(), odd);
    EXPECT_EQ(info.TimeStamp().ToText(), "2019/05/01 09:30:15");
    info.SetFileName(dir_ / "A/none");
    EXPECT_FALSE(info.Found());
    // A name that holds "*" itself is that file, not the first one its pattern matches.
    WriteFile(dir_ / "A/x*[1].JPG", "xy");
    WriteFile(dir_ / "A/xz1.JPG", "matches the pattern");
    info.SetFileName(dir_ / "A/x*[1].JPG");
    EXPECT_EQ(info.Size(), 2);

    // Links count as what they point at; a folder or a dangling link is no file.
    ASSERT_EQ(::symlink("1.jpg", (dir_ / "A/link.JPG").c_str()), 0);
    ASSERT_EQ(::symlink("none", (dir_ / "A/dangling.JPG").c_str()), 0);
    ASSERT_TRUE(search_.Execute());
    const std::pair<const char*, bool> regular[] = {
        {"1.jpg", true}, {"link.JPG", true}, {"dangling.JPG", false}, {"B", false}};
    for (const auto& [name, is_file] : regular)
        EXPECT_EQ(data.at(name).IsRegularFile(), is_file) << name;
}

TEST(SearchDirTest, BreadthFirstAcrossSiblingsWithIgnore) {
    TempDir dir;
    for (const char* f : {"R/B/C/D", "R/X/Y"})
        FolderCreate(dir / f);
    WriteFile(dir / "R/file", "not a folder");
    TSearchDir walker;
    walker.BaseDir = dir / "R";
    std::vector<std::string> seen;
    walker.OnFind = [&](TSearchDir&, const std::string& name, const TSearchFileData&, bool& ignore,
                        bool&) {
        seen.push_back(name.substr(dir.str().size() + 1));
        ignore = seen.back() == "R/B/C";
    };
    ASSERT_TRUE(walker.Execute());
    ASSERT_EQ(seen.size(), 5u);
    std::sort(seen.begin() + 1, seen.begin() + 3);  // order within one level is the file system's
    std::sort(seen.begin() + 3, seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"R", "R/B", "R/X", "R/B/C", "R/X/Y"}));
}

TEST(MaskTest, Table) {
    // "*.*" also takes names without a dot; "?" is one character, not one byte.
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"README", "*.*", true},          {"a.jpg", "*.JPG", true},
        {"a.jpeg", "*.jpg", false},       {"IMG_1.CR2", "IMG_?.*", true},
        {"IMG_12.CR2", "IMG_?.*", false}, {"aaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
        {"写真.jpg", "??.jpg", true}};
    for (const auto& [name, mask, match] : rows)
        EXPECT_EQ(MatchesMask(name, mask), match) << name << " " << mask;
}

TEST(DirSelecterTest, StartsAtNearestExistingFolderAndRemembersChoice) {
    TempDir dir;
    FolderCreate(dir / "Photos/2024");
    ScriptedDialogService dialogs;
    TDirSelecter selecter(dialogs);

    selecter.SetRoot(dir / "Photos/2024/deleted/deeper");
    dialogs.QueueFolder(dir / "Photos");
    ASSERT_TRUE(selecter.Execute());
    ASSERT_EQ(dialogs.asked().size(), 1u);
    EXPECT_EQ(dialogs.asked()[0].title, "フォルダを選択して下さい");
    EXPECT_EQ(dialogs.asked()[0].text, dir / "Photos/2024");
    EXPECT_EQ(selecter.Directory(), dir / "Photos");

    // The remembered folder wins over Root unless MemoryLastSelect is off.
    dialogs.QueueFolder(dir / "not there");
    EXPECT_FALSE(selecter.Execute());
    EXPECT_EQ(dialogs.asked()[1].text, dir / "Photos");
    EXPECT_TRUE(selecter.Directory().empty());
    selecter.MemoryLastSelect = false;
    EXPECT_FALSE(selecter.Execute());  // cancelled
    EXPECT_EQ(dialogs.asked()[2].text, dir / "Photos/2024");

    selecter.SetRoot("no/such/relative");
    EXPECT_FALSE(selecter.Execute());
    EXPECT_EQ(dialogs.asked()[3].text, "");
}

}  // namespace
}  // namespace pelko
