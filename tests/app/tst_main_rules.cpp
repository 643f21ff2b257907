// The main window's rules on plain values: the lifecycle over a fake view, the lock and mode
// states, the placement of a stored window, the destination choice and the run's event queue.
// No widget is built here.

#include <QtTest>

#include "app/destinations.h"
#include "app/main_lifecycle.h"
#include "app/main_rules.h"
#include "app/naming_commands.h"
#include "app/run_event_queue.h"
#include "app/window_fixture.h"
#include "exif/exif_block_builder.h"
#include "naming/camera_model.h"

using namespace pelko;
using pelko::test::WindowFixture;

namespace {

// The controls of a window as plain values.
struct FakeView final : IMainView {
    MainWindowSettings shown;
    // The texts in the two history combos; ShowSettings puts the entries in force there.
    std::string typed_folder, typed_format;
    MainWindowLayout layout;
    std::string memo;
    std::optional<bool> mode;
    std::optional<DateTime> cutoff;
    std::vector<std::string> copy_sets;

    void GatherSettings(MainWindowSettings& s) const override {
        const MainWindowSettings read = s;
        s = shown;
        s.mode = read.mode;
        s.mode_sp_user = read.mode_sp_user;
        s.file_kinds = read.file_kinds;
        s.app_ver = read.app_ver;
        s.last_copy_date_time = read.last_copy_date_time;
        s.copy.user_folder = CommitHistoryEntry(s.folder_history, typed_folder);
        s.copy.user_format = CommitHistoryEntry(s.format_history, typed_format);
    }
    void ShowSettings(const MainWindowSettings& s) override {
        shown = s;
        typed_folder = s.copy.user_folder;
        typed_format = s.copy.user_format;
    }
    MainWindowLayout GatherLayout() const override { return layout; }
    void ShowLayout(const MainWindowLayout& l) override { layout = l; }
    std::string Memo() const override { return memo; }
    void ShowMemo(const std::string& text) override { memo = text; }
    void ShowMode(bool on) override { mode = on; }
    void ShowCutoff(const DateTime& c) override { cutoff = c; }
    void ShowCopySets(const std::vector<std::string>& names) override { copy_sets = names; }
};

// A lifecycle over a fake view, created and shown.
struct Window {
    explicit Window(WindowFixture& f) : context(f.Context()), life(view, context) {
        life.Create();
        life.Show();
    }
    FakeView view;
    TMainContext context;
    TMainLifecycle life;
};

using Rows = std::vector<std::string>;

}  // namespace

class TestMainRules : public QObject {
    Q_OBJECT

    WindowFixture f;

  private slots:
    void init() { f.Reset(); }

    void firstStartPreparesTheFolderAndClosesWithEveryKey() {
        test::WriteFile(f.Path("Readme.txt"), "notes\r\n");
        test::WriteFile(f.Path("UFolder.txt"), "%Dyyyy\r\n");
        const char* const old_files[] = {"AddExif.exe", "GetExif.exe", "GetExif.ifo", "xExif.dfc"};
        for (const char* old_file : old_files)
            test::WriteFile(f.Path(old_file), "old");
        test::WriteFile(f.Path("ImgCount.txt"), "2026/12/06,3\r\n");
        {
            Window w(f);
            QVERIFY(f.Exists("Data/UFolder.txt") && !f.Exists("UFolder.txt"));
            for (const char* old_file : old_files)
                QVERIFY2(!f.Exists(old_file), old_file);
            QVERIFY(f.Exists("FmtHelp.txt") && f.Exists("ChangeModelName.txt"));
            QVERIFY(f.Exists("tmp/ImgCount.txt"));
            QCOMPARE(w.view.mode, std::optional<bool>(false));
            QCOMPARE(f.shell.opened, std::vector<std::string>{f.Path("Readme.txt")});
            QVERIFY(w.view.layout.maximized);
            QVERIFY(w.view.layout.grid_widths.empty());  // the grid fills its width itself
            QVERIFY(w.view.shown.copy.dest_raw.empty());
            QCOMPARE(w.life.RunState().last_copy_cutoff, std::string("2026/12/06 19:27:05"));
            QCOMPARE(w.view.cutoff, std::optional<DateTime>(f.clock.Now()));
            QCOMPARE(w.view.shown.folder_history, Rows{"%Dyyyy"});
            QCOMPARE(w.view.shown.format_history, Rows{"%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N"});
            // A second show restores nothing again.
            f.shell.opened.clear();
            QVERIFY(!w.life.Show());
            QVERIFY(f.shell.opened.empty());
            w.view.layout.grid_widths = {200, 500, 70, 100};
            w.life.Close();
        }
        QCOMPARE(f.Key("AppVer"), std::string("141"));
        QCOMPARE(f.Key("WindowMaxmized"), std::string("1"));
        for (const char* key : {"FormTop", "FormLeft", "FormWidth", "FormHeight", "GridW0",
                                "GridW1", "GridW2", "GridW3", "pnlLeft", "DestRaw", "DestJpg",
                                "DestOther", "CopyAfterReMove", "AppAutoRestore", "LastDateExec",
                                "ExecExifDate", "SettingLock", "MakeFolder", "FileName"}) {
            QVERIFY2(f.Key(key) != "<missing>", key);
        }
        // No run saw a newer file: the cut-off is not stored, and the modes are never written.
        QCOMPARE(f.Key("LastCopyDateTime"), std::string("<missing>"));
        QCOMPARE(f.Key("Mode"), std::string("<missing>"));
        QVERIFY(!f.Exists("PelkoCopy.ini") && !f.Exists("Memo.txt"));
        QVERIFY(f.Exists("Data/UFormat.txt"));
    }

    void settingsAndLayoutComeBackAsSaved() {
        const std::string raw = f.Folder("RAW"), jpg = f.Folder("JPG"), other = f.Folder("Other");
        MainWindowSettings saved;
        const MainWindowLayout layout{{50, 40, 1000, 700}, false, 520, {150, 250, 80, 120}};
        {
            Window w(f);
            CopySettings& c = w.view.shown.copy;
            c = {raw, jpg, other, 2, "", 1, "", true};
            w.view.shown.exif_date = true;
            w.view.shown.setting_lock = true;
            // A typed format counts as saved: trimmed, at the top of its history.
            w.view.typed_format = "  %P-%N  ";
            w.view.typed_folder = "%Dyymmdd";
            w.view.layout = layout;
            saved = w.life.Settings();
            QCOMPARE(saved.copy.user_format, std::string("%P-%N"));
            w.life.Close();
        }
        QDir(QString::fromStdString(other)).removeRecursively();
        QCOMPARE(test::ReadFile(f.Path("Data/UFormat.txt")),
                 std::string("%P-%N\r\n%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N\r\n"));

        Window w(f);
        QCOMPARE(w.view.layout, layout);
        saved.copy.dest_other.clear();  // gone: shown empty
        QCOMPARE(w.life.Settings().copy, saved.copy);
        QCOMPARE(w.view.shown.folder_history, saved.folder_history);
        QVERIFY(w.view.shown.exif_date && w.view.shown.setting_lock && !w.view.shown.skip_older);
        QVERIFY(f.shell.opened.empty());  // no Readme at a later start
    }

    // The copy-set commands, the history delete buttons, the help and the model check, each
    // with the answers a user gives; what the dialogs said, in order.
    void namingCommandsFollowTheirRules() {
        const std::string card = f.Folder("card");
        test::ExifBlockBuilder exif(false);
        exif.Ascii(0, 0x0110, "PENTAX K20D");
        test::WriteFile(card + "/IMGP0123.JPG", exif.Jpeg());
        Window w(f);
        TNamingCommands naming(w.view, w.life, w.context);
        QCOMPARE(w.view.copy_sets, Rows{"Default"});  // a first start
        w.view.shown.copy.dest_raw = "/trip";
        f.dialogs.QueueInput("Trip");
        naming.AddCopySet();
        f.dialogs.QueueInput(" Trip ");  // known: saved again, the order kept
        naming.AddCopySet();
        for (const char* typed : {"   ", "a\tb", "a] ;c"}) {
            f.dialogs.QueueInput(typed);
            naming.AddCopySet();
        }
        QCOMPARE(w.view.copy_sets, (Rows{"Trip", "Default"}));
        naming.ApplyCopySet("Default");
        QCOMPARE(w.view.copy_sets, (Rows{"Default", "Trip"}));
        QVERIFY(w.view.shown.copy.dest_raw.empty());
        f.dialogs.QueueAnswer(MsgAnswer::kYes);
        naming.DeleteCopySet();  // the next set is applied at once
        QCOMPARE(w.view.copy_sets, Rows{"Trip"});
        QCOMPARE(w.view.shown.copy.dest_raw, std::string("/trip"));
        naming.DeleteCopySet();  // the last set stays, nothing asked
        naming.DeleteHistoryEntry(false);
        QCOMPARE(w.view.shown.format_history, Rows{std::string(kFormatHistoryFallback)});
        naming.OpenFormatHelp();
        QCOMPARE(f.shell.opened.back(), f.Path("FmtHelp.txt"));
        f.dialogs.QueueFile(card + "/IMGP0123.JPG");
        f.dialogs.QueueAnswer(MsgAnswer::kYes);
        f.dialogs.QueueInput(" K2 ");
        naming.CheckModelName();
        QCOMPARE(GetModelName(card + "/IMGP0123.JPG", {f.Home()}), std::string("K2"));
        Rows said;
        for (const auto& asked : f.dialogs.asked())
            said.push_back(asked.text.substr(0, asked.text.find("\r\n")));
        QCOMPARE(said,
                 (Rows{"設定名を入力して下さい", "保存しました", "設定名を入力して下さい", "Trip",
                       "設定名を入力して下さい", "保存をキャンセルしました",
                       "設定名を入力して下さい", "設定名に制御文字は使えません",
                       "設定名を入力して下さい", "この設定名は使えません。別の名前を入力して下さい",
                       "表示の設定を削除しますか？", "", "■転送後ファイル名のサンプル",
                       "PENTAX K20D　の別名を入力して下さい", "K2　の別名で保存しました"}));
        w.life.Close();
        QCOMPARE(test::ReadFile(f.Path("Data/UCopySet.txt")), std::string("Trip\r\n"));
    }

    // Picked, newest a run saw ("" none), stored at close.
    void cutoffStoredOnlyWhenARunSawANewerFile() {
        const std::string before = "2026/01/02 03:04:05";
        const std::array<std::string, 3> rows[] = {
            {"2020/01/01 00:00:01", "", before},
            {"2030/05/06 07:08:09", "", before},
            {"2020/01/01 00:00:01", "2026/11/30 10:00:00", "2026/11/30 10:00:00"},
        };
        for (const auto& [picked, newest, stored] : rows) {
            WindowFixture::WriteIni(f.IniPath(), {{"LastCopyDateTime", before}, {"AppVer", "141"}});
            Window w(f);
            QCOMPARE(w.life.RunState().last_copy_cutoff, before);
            w.life.PickersChanged(*ParseDateTimeText(picked));
            QCOMPARE(w.life.RunState().last_copy_cutoff, picked);
            NamingState state = w.life.RunState();
            if (!newest.empty()) state.newest_file_date = newest;
            w.life.TakeRunState(state);
            w.life.Close();
            QCOMPARE(f.Key("LastCopyDateTime"), stored);
        }
    }

    void damagedSettingsAreToldAndLeftEmpty() {
        WindowFixture::WriteIni(f.IniPath(), {{"DestRaw", "photos/raw"},
                                              {"DestJpg", f.Folder("JPG")},
                                              {"MakeFolder", "9"},
                                              {"FileName", "-1"},
                                              {"LastCopyDateTime", "2026/02/30 99:00:00"},
                                              {"AppVer", "141"}});
        Window w(f);
        QVERIFY(w.view.shown.copy.dest_raw.empty());
        QCOMPARE(w.view.shown.copy.dest_jpg, f.Path("JPG"));
        QCOMPARE(w.view.shown.copy.folder_mode, 0);
        QCOMPARE(w.view.shown.copy.file_name_mode, 0);
        // An unreadable cut-off is now.
        QCOMPARE(w.life.RunState().last_copy_cutoff, std::string("2026/12/06 19:27:05"));
        QCOMPARE(f.dialogs.asked().size(), std::size_t{1});
        QVERIFY(f.dialogs.asked()[0].text.find("DestRaw") != std::string::npos);
        QVERIFY(f.dialogs.asked()[0].text.find("DestJpg") == std::string::npos);
    }

    void closedUnshownSavesNothing() {
        WindowFixture::WriteIni(f.IniPath(), {{"DestRaw", f.Folder("RAW")}});
        {
            FakeView view;
            const TMainContext context = f.Context();
            TMainLifecycle life(view, context);
            life.Create();
            life.Close();
        }
        QCOMPARE(f.Key("DestRaw"), f.Path("RAW"));
        QCOMPARE(f.Key("AppVer"), std::string("<missing>"));
    }

    // The switch set (none, "Mode", "ModeSpUser"): statistics shown, shared file written.
    void modesShowStatisticsAndWriteSharedKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("statistics");
        QTest::addColumn<bool>("shared_file");
        QTest::newRow("neither") << "" << false << false;
        QTest::newRow("Mode") << "Mode" << true << true;
        QTest::newRow("ModeSpUser") << "ModeSpUser" << false << true;
    }
    void modesShowStatisticsAndWriteSharedKeys() {
        QFETCH(QString, key);
        QFETCH(bool, statistics);
        QFETCH(bool, shared_file);
        if (!key.isEmpty()) WindowFixture::WriteIni(f.IniPath(), {{key.toStdString(), "1"}});
        test::WriteFile(f.Path("Memo.txt"), "line 1\r\nline 2\r\n");
        {
            Window w(f);
            QCOMPARE(w.view.mode, std::optional<bool>(statistics));
            const std::string prefix = f.Path(statistics ? "Data/TESTPC_" : "Data/U");
            QCOMPARE(w.life.ListPaths().user_folder, prefix + "Folder.txt");
            QCOMPARE(w.life.ListPaths().copy_set_ini, prefix + "CopySet.ini");
            // The notes are kept in every mode: a user's text must not vanish at restart.
            QCOMPARE(w.view.memo, std::string("line 1\nline 2"));
            w.life.ShotCounts.k5qt = 1234;
            w.view.memo = "note";
            w.life.Close();
        }
        QCOMPARE(test::ReadFile(f.Path("Memo.txt")), std::string("note\r\n"));
        const IniDocument shared_ini = WindowFixture::ReadIni(f.Path("PelkoCopy.ini"));
        const auto shared = [&](const char* name) {
            return shared_ini.Read("FrmDCMain", name).value_or("<missing>");
        };
        QCOMPARE(f.Exists("PelkoCopy.ini"), shared_file);
        if (shared_file) {
            QCOMPARE(shared("K5QT Count"), std::string("1234"));
            QCOMPARE(shared("K-01 Count"), std::string("0"));
            QCOMPARE(shared("TESTPC_Top"), std::string("100"));
            QCOMPARE(shared("TESTPC_Height"), std::string("300"));
        }
        // The switches are read, never written.
        QCOMPARE(f.Key(key.isEmpty() ? "Mode" : key.toStdString()),
                 std::string(key.isEmpty() ? "<missing>" : "1"));
    }

    void closeCopiesShotCountsBackAndCleansOldFiles() {
        const std::string old_folder = f.Folder("Old");
        const std::string old_file = old_folder + "/IMGP0001.JPG";
        const std::string new_file = old_folder + "/IMGP0002.JPG";
        test::WriteFile(old_file, "x");
        test::WriteFile(new_file, "x");
        // A year and a day before the fixture's clock, and the day before it.
        test::SetMTime(old_file, 2025, 12, 5, 12, 0, 0);
        test::SetMTime(new_file, 2026, 12, 5, 12, 0, 0);
        WindowFixture::WriteIni(f.IniPath(), {{"AutoDelFolder", old_folder}, {"AutoDelDay", "14"}});
        {
            Window w(f);
            test::WriteFile(f.Path("tmp/ImgCount.txt"), "counted\r\n");
            w.life.Close();
        }
        QVERIFY(!QFile::exists(QString::fromStdString(old_file)));
        QVERIFY(QFile::exists(QString::fromStdString(new_file)));
        QCOMPARE(test::ReadFile(f.Path("ImgCount.txt")), std::string("counted\r\n"));
        QCOMPARE(f.Key("AutoDelDay"), std::string("14"));  // read, never written
    }

    void lockAndModesDecideTheControls() {
        struct Row {
            bool locked;
            int folder_mode, name_mode;
            MainControlStates expected;
        };
        const Row rows[] = {
            {false, 0, 0, {true, true, false, false, false, false}},
            {false, 1, 1, {true, true, true, true, true, true}},
            {false, 2, 3, {true, true, true, true, false, false}},
            {false, 5, 1, {true, true, false, false, true, true}},
            // Locked: the combos in use stay shown but disabled; their buttons are hidden.
            {true, 2, 1, {false, false, true, false, true, false}},
            {true, 0, 0, {false, false, false, false, false, false}},
        };
        for (const Row& row : rows) {
            MainWindowSettings settings;
            settings.setting_lock = row.locked;
            settings.copy.folder_mode = row.folder_mode;
            settings.copy.file_name_mode = row.name_mode;
            QVERIFY2(ControlStatesFor(settings) == row.expected,
                     qPrintable(QString("lock %1 modes %2/%3")
                                    .arg(row.locked)
                                    .arg(row.folder_mode)
                                    .arg(row.name_mode)));
        }
    }

    void storedWindowStaysReachable() {
        struct Row {
            FormBounds stored;
            FormBounds expected;
        };
        const ScreenSize screen{1280, 800};
        const Row rows[] = {
            {{100, 100, 900, 600}, {100, 100, 900, 600}},
            {{-300, 50000, 900, 600}, {0, 1180, 900, 600}},
            {{5000, -20, 100, 100}, {673, 0, 820, 480}},  // minimum size, strip above the bar
        };
        for (const Row& row : rows)
            QVERIFY(ReachableBounds(row.stored, screen, 820, 480) == row.expected);
        // Without a known screen only the minimum size applies.
        QVERIFY(ReachableBounds({-5, -5, 10, 10}, {}, 820, 480) == (FormBounds{-5, -5, 820, 480}));
    }

    void destinationChoiceFillsOnlyEmptyOnes() {
        using F = std::array<std::string, 3>;
        // chosen, before, after ("N" is the folder chosen).
        const std::tuple<int, F, F> rows[] = {
            {0, {"", "J", ""}, {"N", "J", "N"}},  {0, {"", "", ""}, {"N", "N", "N"}},
            {1, {"", "J", "O"}, {"N", "N", "O"}}, {2, {"R", "J", ""}, {"R", "J", "N"}},
            {3, {"", "J", ""}, {"", "J", ""}},  // no such button
        };
        for (auto [chosen, folders, after] : rows) {
            ChooseDestination(folders, chosen, "N");
            QCOMPARE(folders, after);
        }
    }

    // Events written as "s" run starting, "m9" maximum 9, "+4" row 4 appended, "c4a" row 4
    // changed to "a", "f" finished.
    void runEventsKeepOrderAndCoalesce() {
        using E = RunEventQueue::Event;
        const QString codes = "sm+cf";  // in the order of the event types
        const auto parse = [&](const QString& code) {
            E event{static_cast<E::Type>(codes.indexOf(code[0])), code.mid(1, 1).toInt(), {}};
            if (event.type == E::kRowChanged) event.row.source = code.mid(2).toStdString();
            return event;
        };
        const auto print = [&](const E& event) {
            return QString(codes[event.type]) +
                   (event.type == E::kRunStarting || event.type == E::kFinished
                        ? QString()
                        : QString::number(event.value)) +
                   QString::fromStdString(event.row.source);
        };
        struct Row {
            const char* pushed;
            std::size_t slice;
            const char* delivered;  // "..." when more is left
        };
        const Row rows[] = {
            // Rows announced together, before the changes that fill them.
            {"+0 c0a +1 c1b", 0, "+1 c0a c1b"},
            // A row changed twice shows its last state.
            {"+0 c0working c0done", 0, "+0 c0done"},
            // A new run starts the grid again: its rows are announced after the start.
            {"+0 c0old s m9 +0 c0new f", 0, "+0 c0old s +0 m9 c0new f"},
            {"+0 c0a f", 2, "+0 c0a ..."},
        };
        for (const Row& r : rows) {
            RunEventQueue queue;
            for (const QString& code : QString(r.pushed).split(' '))
                queue.Push(parse(code));
            const RunEventQueue::Delivery delivery = queue.Take(r.slice);
            QStringList got;
            for (const E& event : delivery.events)
                got << print(event);
            if (delivery.more) got << "...";
            QCOMPARE(got.join(' '), QString(r.delivered));
        }
    }
};

QTEST_GUILESS_MAIN(TestMainRules)
#include "tst_main_rules.moc"
