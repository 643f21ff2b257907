#include "copy/copy_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <tuple>

#include <gtest/gtest.h>

#include "copy/card_tree.h"
#include "support/file_ops.h"
#include "support/platform.h"

namespace pelko::test {
namespace {

// Records what the window would show.
class Recorder : public ICopyRunObserver {
  public:
    void RunStarting() override { rows.clear(); }
    void ProgressPosition(int position) override { progress = position; }
    void ProgressText(const std::string& text) override { progress_text = text; }
    void TitleChanged(const std::string& text) override { title = text; }
    void RowAdded(int) override { rows.emplace_back(); }
    void RowChanged(int row, const TResultRow& result) override {
        rows.at(static_cast<std::size_t>(row)) = result;
        if (on_row) on_row(row, result);
    }
    void SpeedTextChanged(const std::string& text, bool) override { speed_texts.push_back(text); }
    void StatusChanged(const std::string& text) override { status = text; }

    // Rows as "copy|delete" texts, by the source's file name.
    std::map<std::string, std::string> Outcomes() const {
        std::map<std::string, std::string> out;
        for (const auto& r : rows) {
            const auto cells = GridCells(r);
            out[NameOf(cells[0])] = cells[2] + "|" + cells[3];
        }
        return out;
    }

    std::vector<TResultRow> rows;
    std::vector<std::string> speed_texts;
    std::function<void(int, const TResultRow&)> on_row;
    std::string progress_text, title, status;
    int progress = -1;
};

class StatisticsLog : public ICardStatistics {
  public:
    void LoadCameraTally() override { calls += "load; "; }
    void TallyRawFile(const std::string& path, std::int64_t size) override {
        calls += "tally " + NameOf(path) + " " + std::to_string(size) + "; ";
    }
    void CountShot(const std::string& path, const std::string& shot_date) override {
        calls += "count " + NameOf(path) + " " + shot_date + "; ";
    }
    void SaveCameraTally() override { calls += "save; "; }
    void UpdateCardInfo(const std::string&) override { calls += "card; "; }
    std::string calls;
};

class CopyRunTest : public ::testing::Test {
  protected:
    CopyRunTest() {
        context.settings = {tmp / "raw", tmp / "jpg", tmp / "other"};
        context.clock = &clock;
        context.naming.state.last_copy_cutoff = "2000/01/01 00:00:00";
        context.naming.state.newest_file_date = "2000/01/01 00:00:00";
        seams.file_faults = &faults;
        context.seams = &seams;
    }
    // A card file dated 2010/05/01 12:00:<second>.
    std::string Card(const std::string& relative, const std::string& bytes = "data",
                     int second = 0) {
        return DatedFile(card + "/" + relative, bytes, {2010, 5, 1, 12, 0, second, 0});
    }
    CommandResult Run(RunSourceKind kind = RunSourceKind::rsCard) {
        return RunCopyCommand(context, recorder, card, kind);
    }

    TempDir tmp;
    const std::string card = tmp / "card/DCIM";
    ManualClock clock{{2010, 5, 20, 9, 0, 0, 0}};
    FileFaults faults;
    CopyRunSeams seams;
    CopyRunContext context;
    Recorder recorder;
};

TEST_F(CopyRunTest, KindsChooseTheirDestinationsAndPhotFilesAreLeftOut) {
    Card("100PENTX/PHOT0001.JPG");
    Card("100PENTX/PHOTO.MOV");
    EXPECT_EQ(Run(RunSourceKind::rsCard).message, kNoFilesOnCard);
    EXPECT_TRUE(recorder.rows.empty());
    EXPECT_EQ(Run(RunSourceKind::rsFolder).message, kNoFilesInFolder);

    // Card file -> destination folder below tmp; none for a file of no kind, whose row stays
    // blank (the extension lists are the file-kind table's). Without Mode compact-camera pictures
    // go below DSLR too.
    const std::pair<std::string, std::string> files[] = {
        {"IMGP0001.JPG", "jpg/DSLR"}, {"IMGP0002.PEF", "raw"}, {"DSC00003.srf", "raw"},
        {"IMGP0004.MOV", "other"},    {"IMGP0005.THM", ""},    {"IMGP0006", ""},
        {"DSCN0007.JPG", "jpg/DSLR"}};
    for (const auto& [name, dest] : files)
        Card("100PENTX/" + name, name);
    const CommandResult result = Run();
    EXPECT_EQ(result.message, "");
    EXPECT_EQ(result.run.status, kStatusFinished);
    ASSERT_EQ(recorder.rows.size(), 7u);
    EXPECT_EQ(Tree(tmp / "jpg").size() + Tree(tmp / "raw").size() + Tree(tmp / "other").size(), 5u);
    auto outcomes = recorder.Outcomes();
    for (const auto& [name, dest] : files) {
        if (dest.empty()) continue;
        EXPECT_EQ(ReadFile(tmp / dest + "/" + name), name);
        EXPECT_EQ(outcomes[name], "OK|----") << name;
    }
    EXPECT_EQ(recorder.progress, 7);
    EXPECT_EQ(recorder.title, "PelkoCopy");
    EXPECT_EQ(context.speed_text, kSpeedTooShort);  // the clock never ticks
}

TEST_F(CopyRunTest, ModeSendsCompactCamerasToTheirFolderAndDrivesTheStatistics) {
    StatisticsLog log;
    context.statistics = &log;
    context.settings.mode = true;
    context.naming.settings.skip_older = true;
    context.naming.state.last_copy_cutoff = "2010/05/01 12:00:00";
    context.file_list = {Card("100PENTX/CIMG0001.JPG", "c"), Card("100PENTX/IMGP0002.PEF", "raw!"),
                         DatedFile(card + "/100PENTX/IMGP0003.PEF", "old", {2009, 1, 1}),
                         Card("100PENTX/IMGP0004.THM", "t")};
    CopyRun(context, recorder).RunFileList();
    EXPECT_EQ(ReadFile(tmp / "jpg/コンデジ/CIMG0001.JPG"), "c");
    // An older RAW file is tallied although the cut-off skips it.
    EXPECT_EQ(log.calls,
              "load; count CIMG0001.JPG 2010/05/01; tally IMGP0002.PEF 4; count IMGP0002.PEF "
              "2010/05/01; tally IMGP0003.PEF 3; count IMGP0003.PEF 2010/05/01; save; ");

    // Only a card run updates the card statistics.
    Run(RunSourceKind::rsFolder);
    EXPECT_TRUE(log.calls.ends_with("save; "));
    Run(RunSourceKind::rsCard);
    EXPECT_TRUE(log.calls.ends_with("card; "));
}

TEST_F(CopyRunTest, CutOffLetsAnEqualDateThroughAndCountsOlderFilesWithTheirFullSize) {
    context.naming.settings.skip_older = true;
    context.naming.state.last_copy_cutoff = "2010/05/01 12:00:10";
    // A sparse file over 2 GiB: its size is read, its data never copied.
    const std::string big = Card("a/IMGP0001.MOV", "", 0);
    ASSERT_EQ(::truncate(big.c_str(), 2'500'000'000), 0);
    SetMTime(big, 2010, 5, 1, 12, 0, 0);
    context.file_list = {big, Card("a/IMGP0002.JPG", "older", 9),
                         Card("a/IMGP0003.JPG", "equal", 10)};
    CopyRun engine(context, recorder);
    recorder.on_row = [&](int, const TResultRow&) { clock.Advance(1000); };
    engine.RunFileList();
    // Which file the cut-off skips is the naming table's; here what the older rows count.
    EXPECT_EQ(recorder.Outcomes()["IMGP0002.JPG"], "----|----");
    EXPECT_EQ(Tree(tmp / "jpg/DSLR").size(), 1u);
    EXPECT_EQ(engine.Stats().FilesDone(), 3);
    EXPECT_EQ(engine.Stats().BytesDone(), 2'500'000'010);
    // Only a copied file updates the speed line, which counts the older rows too.
    EXPECT_EQ(recorder.speed_texts[0].rfind("3枚　2.328GB　", 0), 0u) << recorder.speed_texts[0];
}

// A stop (Esc in the window, SIGINT in the tool) given before the run, while the card is listed
// or during a copy is kept: the file being copied completes, no later file is touched, and the
// run reports itself stopped, not an empty card.
TEST_F(CopyRunTest, AStopEndsTheRunBeforeTheNextFile) {
    for (int folder = 100; folder < 104; ++folder) {
        for (int i = 1; i <= 5; ++i)
            Card(std::to_string(folder) + "PENTX/IMGP" + std::to_string(folder * 10 + i) + ".JPG");
    }
    std::atomic<bool> stop{false};
    context.abort = &stop;
    struct Case {
        const char* what;
        int at_folder;  // 0: before the run
        int at_row;
        std::size_t rows;
        std::string title;
    };
    const Case cases[] = {{"before the run", 0, -1, 0, ""},
                          {"listing the first folder", 1, -1, 0, ""},
                          {"listing the third folder", 3, -1, 0, ""},
                          {"copying the second file", -1, 1, 2, "PelkoCopy - [ 2 / 20 ]"},
                          {"copying the tenth file", -1, 9, 10, "PelkoCopy - [ 10 / 20 ]"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(tmp / "jpg");
        int listed = 0;
        stop = c.at_folder == 0;
        seams.folder_listed = [&](const std::string&) {
            if (++listed == c.at_folder) stop = true;
        };
        recorder.on_row = [&](int row, const TResultRow& r) {
            if (row == c.at_row && !r.Final()) stop = true;
        };
        recorder.status.clear();
        const CommandResult result = Run();
        EXPECT_TRUE(result.run.aborted);
        EXPECT_EQ(result.run.rows, static_cast<int>(c.rows));
        EXPECT_EQ(result.message, "");
        EXPECT_EQ(result.run.status, kStatusAborted);
        EXPECT_EQ(recorder.status, kStatusAborted);
        EXPECT_EQ(Tree(tmp / "jpg/DSLR").size(), c.rows);
        EXPECT_TRUE(stop);  // the engine never clears it
        EXPECT_TRUE(c.at_folder < 0 || listed == std::max(c.at_folder, 1)) << listed;  // no more
        EXPECT_TRUE(c.title.empty() || recorder.title == c.title) << recorder.title;
    }
    EXPECT_EQ(recorder.progress_text, "10 / 20");
    EXPECT_EQ(recorder.progress, 9);
    EXPECT_EQ(Tree(card).size(), 20u);
}

// The listing reads each folder through the descriptor it holds: a sub-folder renamed away
// before it was opened is an unreadable folder (never an empty card), one renamed after is still
// listed and copied.
TEST_F(CopyRunTest, AFolderLostWhileListingIsUnreadable) {
    for (const bool listed_one : {false, true}) {
        SCOPED_TRACE(listed_one);
        fs::remove_all(tmp / "card");
        fs::remove_all(tmp / "jpg");
        Card("100PENTX/IMGP0001.JPG");
        Card("101PENTX/IMGP0002.JPG");
        std::string lost;
        seams.folder_listed = [&](const std::string& path) {
            if (path == card || !lost.empty()) return;
            lost =
                listed_one ? path : card + (NameOf(path) == "100PENTX" ? "/101PENTX" : "/100PENTX");
            fs::rename(lost, tmp / "away");
        };
        const CommandResult result = Run();
        EXPECT_EQ(result.message, "");
        EXPECT_EQ(result.unreadable_folders,
                  listed_one ? std::vector<std::string>{} : std::vector<std::string>{lost});
        EXPECT_EQ(Tree(tmp / "jpg/DSLR").size(), listed_one ? 2u : 1u);
        fs::remove_all(tmp / "away");
    }
}

TEST_F(CopyRunTest, RenameInPlace) {
    context.copy_to_destinations = false;
    context.settings.remove_after_copy = true;  // plays no part
    Card("a/IMGP0001.JPG", "1");
    Card("a/IMGP0002.PEF", "2");
    Card("b/IMGP0003.MOV", "3");
    // File-name mode 0 keeps every name, which is already taken: by the file itself.
    Run(RunSourceKind::rsFolder);
    EXPECT_EQ(recorder.rows.size(), 3u);
    for (const auto& [name, outcome] : recorder.Outcomes())
        EXPECT_EQ(outcome, "同名のファイル有り|スキップ") << name;

    // A folder swapped for a link after the listing: nothing outside the card is renamed.
    WriteFile(tmp / "outside/IMGP0003.MOV", "outside");
    recorder.on_row = [&](int, const TResultRow& r) {
        if (r.Final() || NameOf(r.source) != "IMGP0003.MOV") return;
        fs::rename(card + "/b", tmp / "b.moved");
        fs::create_directory_symlink(tmp / "outside", card + "/b");
    };
    context.naming.settings.file_name_mode = kFileNameModeDateTimeNumber;
    Run(RunSourceKind::rsFolder);
    const std::map<std::string, std::string> outcomes = {
        {"IMGP0001.JPG", "OK|----"}, {"IMGP0002.PEF", "OK|----"}, {"IMGP0003.MOV", "失敗|----"}};
    EXPECT_EQ(recorder.Outcomes(), outcomes);
    const std::map<std::string, std::string> renamed = {{"a/20100501-120000-0001.JPG", "1"},
                                                        {"a/20100501-120000-0002.PEF", "2"}};
    EXPECT_EQ(Tree(card), renamed);
    EXPECT_EQ(ReadFile(tmp / "outside/IMGP0003.MOV"), "outside");
    EXPECT_EQ(ReadFile(tmp / "b.moved/IMGP0003.MOV"), "3");
    EXPECT_FALSE(fs::exists(tmp / "jpg"));  // destinations untouched
}

// A copy that cannot be made (a vanished card file, a name taken, a full disk) keeps its card
// file and says so in its row, with "----" beside it since no deletion was tried; nothing partial
// is left and no file is overwritten. A destination root that goes (a disk unplugged) or is
// replaced by another folder after a file is never made again: the rows after it fail, and so
// does a copy still waiting for its batch.
TEST_F(CopyRunTest, FilesThatCannotBeCopiedStayOnTheCard) {
    std::string jpg;  // a root of its own for each case
    const auto bytes = [](int i) {
        return std::string(i == 2 ? 100000u : 4000u - i, static_cast<char>('a' + i));
    };
    const auto taken = [&] { WriteFile(jpg + "/DSLR/IMGP0001.JPG", "already there"); };
    const auto full = [&] { faults.write_budget = 50000; };  // room for one file and a part
    const auto root_gone = [&] {
        seams.file_done = [&](int row) {
            if (row == 1) fs::remove_all(jpg);
        };
    };
    const auto root_replaced = [&] {
        seams.file_done = [&](int row) {
            if (row != 1) return;
            fs::rename(jpg, jpg + ".old");
            fs::create_directory(jpg);
        };
    };
    const std::string F = "失敗|----", T = "同名のファイル有り|";
    struct Case {
        const char* what;
        bool remove;
        std::function<void()> setup;
        std::vector<std::string> outcomes;  // of IMGP0000 (listed, then vanished) to IMGP0003
        std::string copied, on_card;        // the numbers of the files in DSLR and on the card
    };
    const Case cases[] = {
        {"a name taken", false, taken, {F, T + "----", "OK|----", "OK|----"}, "23", "123"},
        {"a name taken, removal", true, taken, {F, T + "スキップ", "OK|OK", "OK|OK"}, "23", "1"},
        {"a full disk", false, full, {F, "OK|----", F, F}, "1", "123"},
        {"a full disk, removal", true, full, {F, "OK|OK", F, F}, "1", "23"},
        {"the root removed", false, root_gone, {F, "OK|----", F, F}, "", "123"},
        {"the root removed, removal", true, root_gone, {F, F, F, F}, "", "123"},
        {"the root replaced, removal", true, root_replaced, {F, F, F, F}, "", "123"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Folders of its own: the engine holds the folders of a run to the ones it saw.
        const std::string folder = c.what;
        context.settings.dest_jpg = jpg = tmp / folder;
        faults.write_budget = -1;
        seams.file_done = nullptr;
        context.settings.remove_after_copy = c.remove;
        context.file_list = {card + "/" + folder + "/IMGP0000.JPG"};
        for (int i = 1; i <= 3; ++i)
            context.file_list.push_back(
                Card(folder + "/IMGP000" + std::to_string(i) + ".JPG", bytes(i)));
        c.setup();
        recorder.rows.clear();
        const RunResult result = CopyRun(context, recorder).RunFileList();
        std::map<std::string, std::string> outcomes, copies, left;
        for (int i = 0; i < 4; ++i) {
            const std::string name = "IMGP000" + std::to_string(i) + ".JPG";
            outcomes[name] = c.outcomes[i];
            const char digit = static_cast<char>('0' + i);
            if (c.copied.find(digit) != std::string::npos) copies["DSLR/" + name] = bytes(i);
            if (c.on_card.find(digit) != std::string::npos) left[name] = bytes(i);
        }
        if (c.outcomes[1].starts_with(T)) copies["DSLR/IMGP0001.JPG"] = "already there";
        EXPECT_EQ(recorder.Outcomes(), outcomes);
        EXPECT_EQ(result.failed, std::count_if(c.outcomes.begin(), c.outcomes.end(),
                                               [](const auto& o) { return o.find("失敗") == 0; }));
        EXPECT_EQ(Tree(jpg), copies);
        EXPECT_EQ(Tree(card + "/" + folder), left);
        EXPECT_EQ(fs::exists(jpg), std::string(c.what).find("removed") == std::string::npos);
    }
}

// With removal, copies are committed in batches: a file that changed or a name taken before its
// batch commits fails alone, an abort commits what was copied, and a card file goes only with a
// copy that is in place.
TEST_F(CopyRunTest, BatchedRemovalDeletesOnlyCommittedCopies) {
    context.settings.remove_after_copy = true;
    for (int i = 0; i < 8; ++i)
        context.file_list.push_back(
            Card("a/IMGP000" + std::to_string(i) + ".JPG", "card " + std::to_string(i)));
    const std::string dslr = tmp / "jpg/DSLR/";
    CopyRun engine(context, recorder);
    recorder.on_row = [&](int row, const TResultRow& result) {
        const std::string name = NameOf(result.source);
        if (result.removal == TDeleteOutcome::doDeleted) {
            EXPECT_EQ(ReadFile(dslr + name), "card " + name.substr(7, 1));
            EXPECT_FALSE(fs::exists(result.source)) << name;
        }
        if (result.Final()) return;
        if (row == 2) {  // rows 0 and 1 are staged, not committed
            WriteFile(context.file_list[0], "card X");
            WriteFile(dslr + "IMGP0001.JPG", "intruder");
        }
        if (row == 3) clock.Advance(1000);  // the batch is old enough once row 3 joins it
        if (row == 5) engine.RequestAbort();
    };
    const RunResult result = engine.RunFileList();
    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(result.failed, 1);
    const std::map<std::string, std::string> outcomes = {
        {"IMGP0000.JPG", "失敗|----"}, {"IMGP0001.JPG", "同名のファイル有り|スキップ"},
        {"IMGP0002.JPG", "OK|OK"},     {"IMGP0003.JPG", "OK|OK"},
        {"IMGP0004.JPG", "OK|OK"},     {"IMGP0005.JPG", "OK|OK"}};
    EXPECT_EQ(recorder.Outcomes(), outcomes);
    const std::map<std::string, std::string> card_left = {{"IMGP0000.JPG", "card X"},
                                                          {"IMGP0001.JPG", "card 1"},
                                                          {"IMGP0006.JPG", "card 6"},
                                                          {"IMGP0007.JPG", "card 7"}};
    EXPECT_EQ(Tree(card + "/a"), card_left);
    EXPECT_EQ(Tree(dslr).size(), 5u);  // 1 to 5, no temporary file
    EXPECT_EQ(engine.Stats().FilesDone(), 4);
}

// A card file that changes between the read-back of its copy and its deletion stays on the card,
// and so does whatever its path leads to afterwards; the copy stays.
TEST_F(CopyRunTest, RemovalDeletesOnlyTheFileThatWasVerified) {
    context.settings.remove_after_copy = true;
    const std::string outside = tmp / "outside";
    // What happens to the card file (or its folder), and what the card folder holds afterwards.
    const std::tuple<const char*, std::function<void(const std::string&)>, std::string> rows[] = {
        {"append", [](const std::string& file) { std::ofstream(file, std::ios::app) << "+more"; },
         "picture+more"},
        {"rewrite in place",
         [](const std::string& file) {
             // Same inode and size, new bytes and a new time.
             const int fd = ::open(file.c_str(), O_WRONLY);
             ASSERT_EQ(::pwrite(fd, "PICTURE", 7, 0), 7);
             const struct timespec later[2] = {{0, UTIME_OMIT}, {1900000000, 0}};
             ::futimens(fd, later);
             ::close(fd);
         },
         "PICTURE"},
        {"rename over",
         [&](const std::string& file) {
             WriteFile(file + ".new", "another picture");
             fs::rename(file + ".new", file);
         },
         "another picture"},
        {"folder swapped for a link",
         [&](const std::string& file) {
             fs::rename(FolderOf(file), FolderOf(file) + ".moved");
             fs::create_directory_symlink(outside, FolderOf(file));
         },
         "picture"}};
    int i = 0;
    for (const auto& [what, change, left] : rows) {
        const std::string name = "IMGP000" + std::to_string(++i) + ".JPG";
        const std::string file = Card(std::to_string(i) + "/" + name, "picture");
        WriteFile(outside + "/" + name, "outside");
        faults.before_commit = [&] { change(file); };
        context.file_list = {file};
        const RunResult result = CopyRun(context, recorder).RunFileList();
        EXPECT_EQ(recorder.Outcomes()[name], "OK|失敗") << what;
        EXPECT_EQ(result.failed, 1) << what;
        EXPECT_EQ(ReadFile(tmp / "jpg/DSLR/" + name), "picture") << what;
        const bool moved = fs::exists(FolderOf(file) + ".moved");
        EXPECT_EQ(ReadFile(moved ? FolderOf(file) + ".moved/" + name : file), left) << what;
        EXPECT_EQ(ReadFile(outside + "/" + name), "outside") << what;
    }
}

// A dry run predicts the rows of the run: names the run finds taken on the disk by its own earlier
// copies, not yet committed (date-time names of one second), and names the file system cannot
// hold.
TEST_F(CopyRunTest, DryRunPredictsTheRun) {
    context.settings.remove_after_copy = true;
    // Name mode, user format, and the second file's row: name, copy and deletion.
    const std::tuple<int, std::string, std::string> rows[] = {
        {kFileNameModeDateTime, "", "20100501-120000-0002.JPG|OK|OK"},
        {kFileNameModeUserFormat, "%W" + std::string(300, 'a') + "%N",
         std::string(300, 'a') + "0002.JPG|失敗|----"},
        // A name that would pass for a copy's temporary, which a later run would sweep.
        {kFileNameModeUserFormat, "%W.pelkocopy-tmp-99999-%F",
         "_.pelkocopy-tmp-99999-IMGP0002.JPG|OK|OK"}};
    for (const auto& [mode, format, second] : rows) {
        context.naming.settings.file_name_mode = mode;
        context.naming.settings.user_format = format;
        const std::string folder = std::to_string(mode) + format.substr(0, 5);
        context.file_list = {Card(folder + "/IMGP0001.JPG"), Card(folder + "/IMGP0002.JPG"),
                             Card(folder + "/IMGP0003.JPG")};
        std::vector<std::array<std::string, 4>> preview, run;
        const auto before = Tree(tmp / "jpg");
        for (const bool dry : {true, false}) {
            context.settings.dry_run = dry;
            CopyRun(context, recorder).RunFileList();
            for (const TResultRow& row : recorder.rows)
                (dry ? preview : run).push_back(GridCells(row));
            recorder.rows.clear();
            if (dry) {
                EXPECT_EQ(Tree(tmp / "jpg"), before) << mode;  // nothing created
            }
        }
        EXPECT_EQ(preview, run) << mode;
        ASSERT_EQ(run.size(), 3u);
        EXPECT_EQ(NameOf(run[1][1]) + "|" + run[1][2] + "|" + run[1][3], second) << mode;
    }
}

}  // namespace
}  // namespace pelko::test
