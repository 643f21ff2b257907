#include "copy/copy_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "common/test_util.h"
#include "support/file_ops.h"
#include "support/platform.h"

namespace pelko {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SetMTime;
using test::TempDir;
using test::WriteFile;

// Records what the window would show.
class Recorder : public ICopyRunObserver {
  public:
    void RunStarting() override { rows.clear(); }
    void ProgressMaximum(int maximum) override { progress_max = maximum; }
    void ProgressPosition(int position) override { progress = position; }
    void ProgressText(const std::string& text) override { progress_text = text; }
    void TitleChanged(const std::string& text) override { titles.push_back(text); }
    void RowAdded(int row) override {
        EXPECT_EQ(row, static_cast<int>(rows.size()));
        rows.emplace_back();
    }
    void RowChanged(int row, const ResultRow& cells) override {
        rows.at(static_cast<std::size_t>(row)) = cells;
        if (on_row) on_row(row, cells);
    }
    void SpeedTextChanged(const std::string& text, bool finished) override {
        speed_texts.push_back(text);
        speed_finished = finished;
    }
    void StatusChanged(const std::string& text) override { status = text; }

    // Rows as "copy|delete" texts, by the source's file name.
    std::map<std::string, std::string> Outcomes() const {
        std::map<std::string, std::string> out;
        for (const auto& r : rows)
            out[NameOf(r[0])] = r[2] + "|" + r[3];
        return out;
    }

    std::vector<ResultRow> rows;
    std::vector<std::string> titles;
    std::vector<std::string> speed_texts;
    std::function<void(int, const ResultRow&)> on_row;
    std::string progress_text;
    std::string status;
    int progress = -1;
    int progress_max = -1;
    bool speed_finished = false;
};

class StatisticsLog : public ICardStatistics {
  public:
    void LoadCameraTally() override { calls.push_back("load"); }
    void TallyRawFile(const std::string& path, std::int64_t size) override {
        calls.push_back("tally " + NameOf(path) + " " + std::to_string(size));
    }
    void CountShot(const std::string& path, const std::string& shot_date) override {
        calls.push_back("count " + NameOf(path) + " " + shot_date);
    }
    void SaveCameraTally() override { calls.push_back("save"); }
    void UpdateCardInfo(const std::string&) override { calls.push_back("card"); }
    std::vector<std::string> calls;
};

class CopyRunTest : public ::testing::Test {
  protected:
    CopyRunTest() {
        card = tmp / "card/DCIM";
        fs::create_directories(card);
        for (const char* d : {"raw", "jpg", "other"})
            fs::create_directories(tmp / d);
        context.settings.dest_raw = tmp / "raw";
        context.settings.dest_jpg = tmp / "jpg";
        context.settings.dest_other = tmp / "other";
        context.clock = &clock;
        context.naming.clock = &clock;
        context.naming.state.last_copy_cutoff = "2000/01/01 00:00:00";
        context.naming.state.newest_file_date = "2000/01/01 00:00:00";
    }

    // A card file dated 2010/05/01 12:00:00 unless told otherwise.
    std::string Card(const std::string& relative, const std::string& bytes = "data",
                     int second = 0) {
        const std::string path = card + "/" + relative;
        WriteFile(path, bytes);
        SetMTime(path, 2010, 5, 1, 12, 0, second);
        return path;
    }

    CommandResult Run(RunSourceKind kind = RunSourceKind::rsCard) {
        return RunCopyCommand(context, recorder, card, kind);
    }

    TempDir tmp;
    std::string card;
    ManualClock clock{{2010, 5, 20, 9, 0, 0, 0}};
    CopyRunContext context;
    Recorder recorder;
};

TEST_F(CopyRunTest, EmptyCardsAndFoldersGiveTheirMessages) {
    Card("100PENTX/PHOT0001.JPG");
    Card("100PENTX/PHOTO.MOV");
    CommandResult card_result = Run(RunSourceKind::rsCard);
    EXPECT_EQ(card_result.message, kNoFilesOnCard);
    EXPECT_TRUE(recorder.rows.empty());
    EXPECT_EQ(Run(RunSourceKind::rsFolder).message, kNoFilesInFolder);
}

TEST_F(CopyRunTest, KindsChooseTheirDestinations) {
    Card("100PENTX/IMGP0001.JPG", "jpeg");
    Card("100PENTX/IMGP0002.PEF", "raw");
    Card("100PENTX/DSC00003.srf", "sony raw");
    Card("100PENTX/IMGP0004.MOV", "movie");
    Card("100PENTX/IMGP0005.THM", "thumb");
    Card("100PENTX/IMGP0006.xmp", "sidecar");
    Card("100PENTX/DSCN0007.JPG", "compact");
    CommandResult result = Run();
    EXPECT_EQ(result.message, "");
    ASSERT_EQ(recorder.rows.size(), 7u);
    EXPECT_EQ(result.run.status, kStatusFinished);
    EXPECT_EQ(recorder.status, kStatusFinished);

    EXPECT_EQ(ReadFile(tmp / "jpg/DSLR/IMGP0001.JPG"), "jpeg");
    EXPECT_EQ(ReadFile(tmp / "raw/IMGP0002.PEF"), "raw");
    EXPECT_EQ(ReadFile(tmp / "raw/DSC00003.srf"), "sony raw");
    EXPECT_EQ(ReadFile(tmp / "other/IMGP0004.MOV"), "movie");
    // Without Mode compact-camera pictures go below DSLR too.
    EXPECT_EQ(ReadFile(tmp / "jpg/DSLR/DSCN0007.JPG"), "compact");
    int blank = 0;
    for (const auto& row : recorder.rows) {
        if (row == ResultRow{}) {
            ++blank;
        } else {
            EXPECT_EQ(row[2] + "|" + row[3], "OK|----") << row[0];
            EXPECT_EQ(FolderOf(row[1]).substr(0, tmp.str().size()), tmp.str());
        }
    }
    EXPECT_EQ(blank, 2);  // .THM and .xmp
    EXPECT_EQ(recorder.progress, 7);
    EXPECT_EQ(recorder.titles.back(), "PelkoCopy");
    EXPECT_TRUE(fs::exists(card + "/100PENTX/IMGP0001.JPG"));  // no removal asked
}

TEST_F(CopyRunTest, ModeSendsCompactCamerasToTheirFolderAndDrivesTheStatistics) {
    StatisticsLog log;
    context.statistics = &log;
    context.settings.mode = true;
    context.naming.settings.skip_older = true;
    context.naming.state.last_copy_cutoff = "2010/05/01 12:00:00";
    Card("100PENTX/CIMG0001.JPG", "c");
    Card("100PENTX/IMGP0002.PEF", "raw!");
    WriteFile(card + "/100PENTX/IMGP0003.PEF", "old");
    SetMTime(card + "/100PENTX/IMGP0003.PEF", 2009, 1, 1, 0, 0, 0);
    Card("100PENTX/IMGP0004.THM", "t");
    context.file_list = ListRunFiles(card);
    std::sort(context.file_list.begin(), context.file_list.end());
    CopyRun engine(context, recorder);
    engine.RunFileList();
    EXPECT_EQ(ReadFile(tmp / "jpg/コンデジ/CIMG0001.JPG"), "c");
    const std::vector<std::string> expected = {
        "load",
        "count CIMG0001.JPG 2010/05/01",
        "tally IMGP0002.PEF 4",
        "count IMGP0002.PEF 2010/05/01",
        "tally IMGP0003.PEF 3",  // tallied although the cut-off skips it
        "count IMGP0003.PEF 2010/05/01",
        "save",
    };
    EXPECT_EQ(log.calls, expected);

    // Only a card run updates the card statistics.
    log.calls.clear();
    Run(RunSourceKind::rsFolder);
    EXPECT_EQ(log.calls.back(), "save");
    log.calls.clear();
    Run(RunSourceKind::rsCard);
    EXPECT_EQ(log.calls.back(), "card");
}

TEST_F(CopyRunTest, ExistingDestinationIsNeverOverwritten) {
    struct Case {
        bool remove;
        const char* outcome;
    };
    for (const Case c :
         {Case{false, "同名のファイル有り|----"}, Case{true, "同名のファイル有り|スキップ"}}) {
        context.settings.remove_after_copy = c.remove;
        Card("100PENTX/IMGP0001.JPG", "card copy");
        Card("100PENTX/IMGP0002.JPG", "new");
        WriteFile(tmp / "jpg/DSLR/IMGP0001.JPG", "already there");
        fs::remove(tmp / "jpg/DSLR/IMGP0002.JPG");
        Run();
        auto outcomes = recorder.Outcomes();
        EXPECT_EQ(outcomes["IMGP0001.JPG"], c.outcome);
        EXPECT_EQ(outcomes["IMGP0002.JPG"], c.remove ? "OK|OK" : "OK|----");
        EXPECT_EQ(ReadFile(tmp / "jpg/DSLR/IMGP0001.JPG"), "already there");
        EXPECT_EQ(ReadFile(card + "/100PENTX/IMGP0001.JPG"), "card copy");
        EXPECT_EQ(fs::exists(card + "/100PENTX/IMGP0002.JPG"), !c.remove);
        EXPECT_EQ(ReadFile(tmp / "jpg/DSLR/IMGP0002.JPG"), "new");
        EXPECT_EQ(recorder.status, kStatusFinished);
    }
}

TEST_F(CopyRunTest, CutOffLetsAnEqualDateThroughAndCountsOlderFiles) {
    context.naming.settings.skip_older = true;
    context.naming.state.last_copy_cutoff = "2010/05/01 12:00:10";
    Card("a/IMGP0001.JPG", "equal", 10);
    Card("a/IMGP0002.JPG", "older", 9);
    context.file_list = {card + "/a/IMGP0001.JPG", card + "/a/IMGP0002.JPG"};
    CopyRun engine(context, recorder);
    engine.RunFileList();
    ASSERT_EQ(recorder.rows.size(), 2u);
    EXPECT_EQ(recorder.rows[0][2], "OK");
    const ResultRow older = {card + "/a/IMGP0002.JPG", "最終取得日時以前のファイル", "----",
                             "----"};
    EXPECT_EQ(recorder.rows[1], older);
    EXPECT_FALSE(fs::exists(tmp / "jpg/DSLR/IMGP0002.JPG"));
    EXPECT_EQ(engine.Stats().FilesDone(), 2);
    EXPECT_EQ(engine.Stats().BytesDone(), 10);
    EXPECT_EQ(context.naming.state.newest_file_date, "2010/05/01 12:00:10");
}

TEST_F(CopyRunTest, AbortStopsBeforeTheNextFile) {
    for (int i = 1; i <= 20; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "100PENTX/IMGP%04d.JPG", i);
        context.file_list.push_back(Card(name, "x"));
    }
    CopyRun engine(context, recorder);
    std::string text_during_tenth;
    int progress_during_tenth = -1;
    recorder.on_row = [&](int row, const ResultRow& cells) {
        if (row == 9 && cells[2] == kCellWorking) {  // Esc while the tenth file copies
            engine.RequestAbort();
            text_during_tenth = recorder.progress_text;
            progress_during_tenth = recorder.progress;
        }
    };
    RunResult result = engine.RunFileList();
    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(result.rows, 10);
    EXPECT_EQ(recorder.rows.size(), 10u);
    EXPECT_EQ(recorder.rows[9][2], "OK");  // the tenth file completes
    EXPECT_TRUE(fs::exists(tmp / "jpg/DSLR/IMGP0010.JPG"));
    EXPECT_FALSE(fs::exists(tmp / "jpg/DSLR/IMGP0011.JPG"));
    EXPECT_EQ(text_during_tenth, "10 / 20");
    EXPECT_EQ(recorder.progress_text, "10 / 20");
    EXPECT_EQ(progress_during_tenth, 9);
    EXPECT_EQ(recorder.progress, 9);
    EXPECT_EQ(recorder.titles.back(), "PelkoCopy - [ 10 / 20 ]");
    EXPECT_EQ(recorder.status, kStatusAborted);

    // An external flag (Esc in the window, SIGINT in the tool) works the same way.
    std::atomic<bool> esc{false};
    context.abort = &esc;
    recorder.on_row = [&](int row, const ResultRow&) {
        if (row == 1) esc = true;
    };
    recorder.rows.clear();
    EXPECT_EQ(CopyRun(context, recorder).RunFileList().rows, 2);
}

TEST_F(CopyRunTest, RenameInPlace) {
    context.copy_to_destinations = false;
    context.settings.remove_after_copy = true;  // plays no part
    Card("a/IMGP0001.JPG", "1");
    Card("a/IMGP0002.PEF", "2");
    Card("b/IMGP0003.MOV", "3");
    Run(RunSourceKind::rsFolder);
    for (const auto& [name, outcome] : recorder.Outcomes()) {
        EXPECT_EQ(outcome, "同名のファイル有り|スキップ") << name;
    }
    EXPECT_EQ(recorder.rows.size(), 3u);

    // The date-and-number mode renames each file inside its own folder.
    context.naming.settings.file_name_mode = kFileNameModeDateTimeNumber;
    Run(RunSourceKind::rsFolder);
    auto outcomes = recorder.Outcomes();
    EXPECT_EQ(outcomes["IMGP0001.JPG"], "OK|----");
    EXPECT_EQ(outcomes["IMGP0002.PEF"], "OK|----");
    EXPECT_EQ(outcomes["IMGP0003.MOV"], "OK|----");
    EXPECT_EQ(ReadFile(card + "/a/20100501-120000-0001.JPG"), "1");
    EXPECT_EQ(ReadFile(card + "/a/20100501-120000-0002.PEF"), "2");
    EXPECT_EQ(ReadFile(card + "/b/20100501-120000-0003.MOV"), "3");
    EXPECT_FALSE(fs::exists(tmp / "jpg/DSLR"));  // destinations untouched
}

TEST_F(CopyRunTest, RenameNeverReplacesAFile) {
    context.copy_to_destinations = false;
    context.naming.settings.file_name_mode = kFileNameModeDateTimeNumber;
    Card("a/IMGP0001.JPG", "mine");
    Card("a/20100501-120000-0001.JPG", "someone else's");
    context.file_list = {card + "/a/IMGP0001.JPG"};
    CopyRun(context, recorder).RunFileList();
    EXPECT_EQ(recorder.rows[0][1], card + "/a/20100501-120000-0001.JPG");
    EXPECT_EQ(recorder.rows[0][2] + "|" + recorder.rows[0][3], "同名のファイル有り|スキップ");
    EXPECT_EQ(ReadFile(card + "/a/20100501-120000-0001.JPG"), "someone else's");
    EXPECT_EQ(ReadFile(card + "/a/IMGP0001.JPG"), "mine");
}

TEST_F(CopyRunTest, SpeedLineEndsAsTooShortOrStaysWhenNothingWasCopied) {
    context.speed_text = "previous run";
    Card("a/IMGP0001.THM");
    Run();
    EXPECT_EQ(recorder.speed_texts, std::vector<std::string>{"previous run"});
    EXPECT_EQ(recorder.status, kStatusFinished);

    Card("a/IMGP0002.JPG");  // the clock never ticks
    Run();
    EXPECT_EQ(recorder.speed_texts.back(), kSpeedTooShort);
    EXPECT_TRUE(recorder.speed_finished);
    EXPECT_EQ(context.speed_text, kSpeedTooShort);
}

TEST_F(CopyRunTest, FileOverTwoGigabytesCountsWithItsFullSize) {
    // A sparse file: its size is read, its data never copied (older than the cut-off).
    const std::string big = card + "/a/IMGP0001.MOV";
    WriteFile(big, "");
    ASSERT_EQ(::truncate(big.c_str(), 2'500'000'000), 0);
    SetMTime(big, 2009, 1, 1, 0, 0, 0);
    context.naming.settings.skip_older = true;
    context.naming.state.last_copy_cutoff = "2010/01/01 00:00:00";
    context.file_list = {big, Card("a/IMGP0002.JPG", std::string(1000, 'j'))};
    CopyRun engine(context, recorder);
    recorder.on_row = [&](int, const ResultRow&) { clock.Advance(1000); };
    engine.RunFileList();
    EXPECT_EQ(engine.Stats().BytesDone(), 2'500'001'000);
    EXPECT_EQ(recorder.speed_texts.front().rfind("2枚　2.328GB　", 0), 0u)
        << recorder.speed_texts.front();
}

TEST_F(CopyRunTest, FailuresStayOnTheirRowAndTheRunGoesOn) {
    context.settings.remove_after_copy = true;
    const std::string gone = card + "/a/IMGP0001.JPG";  // listed, then vanished
    const std::string good = Card("a/IMGP0002.JPG", "good");
    const std::string movie = Card("a/IMGP0003.MOV", "movie");
    // The movie destination cannot be created: a file stands where its folder should be.
    fs::remove_all(tmp / "other");
    WriteFile(tmp / "other", "not a folder");
    context.file_list = {gone, good, movie};
    RunResult result = CopyRun(context, recorder).RunFileList();
    auto outcomes = recorder.Outcomes();
    EXPECT_EQ(outcomes["IMGP0001.JPG"], "失敗|失敗");
    EXPECT_EQ(outcomes["IMGP0002.JPG"], "OK|OK");
    EXPECT_EQ(outcomes["IMGP0003.MOV"], "失敗|失敗");
    EXPECT_EQ(ReadFile(movie), "movie");
    EXPECT_EQ(result.failed, 2);
    EXPECT_EQ(result.status, kStatusFinished);
}

TEST_F(CopyRunTest, FullDiskLeavesNothingPartialAndKeepsTheCardFile) {
    context.settings.remove_after_copy = true;
    context.file_list = {Card("a/IMGP0001.JPG", std::string(4000, 'a')),
                         Card("a/IMGP0002.JPG", std::string(100000, 'b')),
                         Card("a/IMGP0003.JPG", std::string(3000, 'c'))};
    // Room for the first file and part of the second.
    SetWriteFailureAfterBytesForTesting(50000);
    CopyRun(context, recorder).RunFileList();
    SetWriteFailureAfterBytesForTesting(-1);
    auto outcomes = recorder.Outcomes();
    EXPECT_EQ(outcomes["IMGP0001.JPG"], "OK|OK");
    EXPECT_EQ(outcomes["IMGP0002.JPG"], "失敗|失敗");
    EXPECT_EQ(outcomes["IMGP0003.JPG"], "失敗|失敗");  // still full
    EXPECT_EQ(ReadFile(card + "/a/IMGP0002.JPG"), std::string(100000, 'b'));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(tmp / "jpg/DSLR")) {
        left.push_back(e.path().filename());
    }
    EXPECT_EQ(left, std::vector<std::string>{"IMGP0001.JPG"});
}

TEST_F(CopyRunTest, DryRunChangesNothingAndForeseesCollisions) {
    context.settings.dry_run = true;
    context.settings.remove_after_copy = true;
    context.naming.settings.folder_mode = kFolderModeYearMonthDay;
    Card("100PENTX/IMGP0001.JPG");
    Card("101PENTX/IMGP0001.JPG");  // same name from a second folder
    Card("100PENTX/IMGP0002.PEF");
    Run();
    const std::string day = "/2010-05-01/";
    ASSERT_EQ(recorder.rows.size(), 3u);
    std::map<std::string, std::string> by_dest;
    for (const auto& r : recorder.rows)
        by_dest[r[1]] += r[2] + "|" + r[3] + ";";
    EXPECT_EQ(by_dest[tmp / "jpg/DSLR" + day + "IMGP0001.JPG"],
              "OK|OK;同名のファイル有り|スキップ;");
    EXPECT_EQ(by_dest[tmp / "raw" + day + "IMGP0002.PEF"], "OK|OK;");
    EXPECT_FALSE(fs::exists(tmp / "jpg/DSLR"));
    EXPECT_FALSE(fs::exists(tmp / "raw/2010-05-01"));
    EXPECT_TRUE(fs::exists(card + "/100PENTX/IMGP0002.PEF"));
}

}  // namespace
}  // namespace pelko
