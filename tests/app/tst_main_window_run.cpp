#include <QUrl>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/card_fixture.h"
#include "app/card_watcher.h"
#include "app/frm_dc_main.h"
#include "app/main_commands.h"
#include "app/window_fixture.h"

using namespace pelko;
namespace fs = std::filesystem;

// The main window's card detection and its two commands, with a fake volume list and scripted
// dialogs.
class TestMainWindowRun : public QObject {
    Q_OBJECT

    test::WindowFixture f;

    std::string Out() const { return f.Path("out"); }

    // A window as a returning user left it: destinations chosen, year folders, date-time names.
    std::unique_ptr<TFrmDCMain> MakeWindow(const std::string& extra_ini = {},
                                           const CopyRunSeams* seams = nullptr) {
        const std::string ini =
            "[FrmDCMain]\r\nWindowMaxmized=0\r\nAppVer=141\r\nDestRaw=" + Out() +
            "/raw\r\nDestJpg=" + Out() + "/jpg\r\nDestOther=" + Out() +
            "/other\r\nMakeFolder=3\r\nFileName=2\r\n" + extra_ini;
        if (!f.Exists("TESTPC.ini")) test::WriteFile(f.IniPath(), ini);
        TMainContext context = f.Context();
        context.clock = nullptr;  // runs time their batches by the real clock
        context.run_seams = seams;
        auto window = std::make_unique<TFrmDCMain>(context);
        window->show();
        return window;
    }
    // The grid's rows as the tool would print them for `twin` (a copy of `source`) into cli-out.
    QStringList GridLinesAs(const TFrmDCMain& window, const std::string& source,
                            const std::string& twin) const {
        QStringList lines;
        for (int i = 0; i < window.grdListModel->RowCount(); ++i)
            lines << test::RowLine(window.grdListModel->Row(i));
        lines.replaceInStrings(QString::fromStdString(f.Path(source) + "/"),
                               QString::fromStdString(f.Path(twin) + "/"));
        return lines.replaceInStrings(QString::fromStdString(Out()),
                                      QString::fromStdString(f.Path("cli-out")));
    }
    // The tool's arguments for the window's settings, into `out`.
    std::string CliArgs(const std::string& source, const std::string& out = "cli-out") const {
        const std::string to = f.Path(out);
        return source + " --raw " + to + "/raw --jpeg " + to + "/jpg --other " + to +
               "/other --folder-mode 3 --name-mode 2";
    }
    // A generated card in `folder`, the only removable volume.
    void InsertCard(const std::string& folder, int copies = 6) {
        test::MakeCard(f.Path(folder), copies);
        Mount(folder);
    }
    void Mount(const std::string& folder) {
        MountedVolume card;
        card.mount_point = f.Path(folder);
        card.removable = true;
        f.volumes.SetVolumes({card});
    }
    // Presses the copy button and waits for the run to end.
    static bool RunCard(TFrmDCMain& w, int timeout_ms = 20000) {
        w.btnExecuteClick();
        return RunEnded(w, timeout_ms);
    }
    // Waits until the window's run has ended and shown its end (polled: a signal spy's wait
    // starts a thread of Qt's own that ThreadSanitizer cannot see into).
    static bool RunEnded(TFrmDCMain& w, int timeout_ms = 20000) {
        for (int waited = 0; w.Commands().Runs().Running() && waited < timeout_ms; waited += 10)
            QTest::qWait(10);
        return !w.Commands().Runs().Running();
    }
    static bool Busy(const TFrmDCMain& w) {
        return !w.pnlCtrl->isEnabled() && !w.btnExecute->isEnabled() && !w.btnReName->isEnabled() &&
               !w.tmrDriveCheck->isActive();
    }
    static bool Idle(const TFrmDCMain& w) {
        return w.pnlCtrl->isEnabled() && w.btnReName->isEnabled() && w.tmrDriveCheck->isActive();
    }

  private slots:
    void init() {
        f.Reset();
        for (const char* folder : {"out/raw", "out/jpg", "out/other"})
            f.Folder(folder);
    }

    // The run's progress is the window's title, nowhere else, and leaves with the run.
    void titleFollowsTheRun() {
        InsertCard("card");
        auto w = MakeWindow();
        const QString caption = QString::fromUtf8(TFrmDCMain::kCaption);
        QCOMPARE(w->windowTitle(), caption);
        w->btnExecuteClick();
        QVERIFY(QApplication::overrideCursor() != nullptr);
        emit w->Commands().Runs().Job().titleChanged("PelkoCopy - [ 3 / 11 ]");
        QCOMPARE(w->windowTitle(), QString("PelkoCopy - [ 3 / 11 ]"));
        // Dialogs take nothing of it: no display name is appended to their titles.
        QVERIFY(!QGuiApplication::applicationDisplayName().contains("["));
        QVERIFY(RunEnded(*w));
        QCOMPARE(w->windowTitle(), caption);
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // A window that goes away during a run gives the cursor back.
        w->btnExecuteClick();
        QVERIFY(w->Commands().Runs().Running());
        w.reset();
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // The copy button runs the card: the tool's rows, coloured by outcome; busy while it runs.
    void cardRunThroughTheWindow() {
        InsertCard("a");
        test::MakeCard(f.Path("b"));
        auto w = MakeWindow();
        QVERIFY(w->btnExecute->isEnabled());
        QTest::mouseClick(w->btnExecute, Qt::LeftButton);
        QVERIFY(Busy(*w));
        QVERIFY(RunEnded(*w));
        QVERIFY(Idle(*w));
        QVERIFY(w->btnExecute->isEnabled());

        QCOMPARE(GridLinesAs(*w, "a", "b"), test::CliRows(CliArgs(f.Path("b/DCIM"))));
        QCOMPARE(w->StatusPanel(1)->text(), QString("11 / 11"));
        QCOMPARE(w->pbBar->value(), 11);
        // The file of no kind stayed on the card, and the window says so.
        QCOMPARE(
            w->StatusPanel(2)->text(),
            QString::fromUtf8(
                "　　処理が終了しました　対象外のファイル 1 件はメディアに残しました（.thm 1）"));
        w->close();
    }

    // With Mode a card run counts its shots on the run's thread, tallies its RAW files and shows
    // the card's statistics; a card without its identifier file is asked for and gets one.
    void statisticsModeAfterACardRun() {
        InsertCard("card");
        test::WriteFile(f.Path("CardInfo.ini"),
                        "[CARD1]\r\nNAME=Extreme\r\nCLAS=U3\r\nSIZE=16\r\nFwMB=7629\r\n");
        f.dialogs.QueueCard("CARD1");
        auto w = MakeWindow("Mode=1\r\n");
        QCOMPARE(w->lblK20D->text(), QString::fromUtf8("K-01 : 0.0MB　 0 Shot"));
        QVERIFY(RunCard(*w));
        QTRY_COMPARE(w->lblSampleFileName->text(),
                     QString::fromUtf8("　カード転送合計　　7629MB / 15258MB (50.0%)　　3ファイル"
                                       "　　平均サイズ： 2543.0MB"));
        QCOMPARE(w->lblSampleFolder->text(), QString::fromUtf8("　Extreme U3 16GB"));
        QVERIFY(w->lblSampleFolder->styleSheet().contains("maroon"));
        QCOMPARE(w->lblK20D->text(), QString::fromUtf8("K-01 : 0.0MB　 3 Shot"));
        const auto& asked = f.dialogs.asked();
        // The movie's camera has no column: its statement is shown, once.
        QCOMPARE(static_cast<int>(asked.size()), 2);
        QCOMPARE(asked[0].kind, MsgKind::kError);
        QVERIFY(Q(asked[0].text).startsWith(Q("INSERT INTO 撮影枚数 (\r\n日付, 合計,  \"MOVI\"")));
        QCOMPARE(asked[1].dialog, ScriptedDialogService::Dialog::kSelectCard);
        QCOMPARE(Q(IniFile(f.Path("card/CardInfo.ini")).ReadString("INFO", "CARD-ID", "")),
                 QString("CARD1"));
        // Six shots of one day, each once although three have a RAW file and a JPEG.
        QCOMPARE(Q(IniFile(f.Path("tmp/ImgCount.txt")).ReadString("K01", "2026/11/03", "")),
                 QString("6"));
        TFsDb db;
        db.DataBaseType = TEngine::dbSQLite;
        db.SQLiteFile = f.Path("PelkoData.db");
        QVERIFY(db.OpenDatabase(0));
        db.AddSql("SELECT 合計 AS T, K01 FROM 撮影枚数 WHERE 日付 = '2026/11/03'");
        QVERIFY(db.OpenSql());
        QCOMPARE(DbValueToText(db.FieldValue("T")) + "," + DbValueToText(db.FieldValue("K01")),
                 std::string("6,6"));
        db.CloseDatabase();
        // The data button opens the data files there are.
        test::WriteFile(f.Path("Battery.txt"), "");
        w->btnOpenMDBClick();
        QCOMPARE(f.shell.opened,
                 (std::vector<std::string>{f.Path("Battery.txt"), f.Path("CardInfo.ini"),
                                           f.Path("PelkoData.db")}));
        w->close();
    }

    // Each question of the folder command can end it with nothing changed; a copy leaves the
    // folder as it was, a rename renames in place as the tool's --rename does.
    void folderCommandQuestions_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("pick");
        QTest::addColumn<int>("questions");
        QTest::newRow("choice cancelled") << -1 << false << false << 1;
        QTest::newRow("copy not confirmed") << 0 << false << false << 2;
        QTest::newRow("rename, picker cancelled") << 1 << true << false << 3;
        QTest::newRow("copy, folder picked") << 0 << true << true << 3;
        QTest::newRow("rename, folder picked") << 1 << true << true << 3;
    }
    void folderCommandQuestions() {
        QFETCH(int, kind);
        QFETCH(bool, confirm);
        QFETCH(bool, pick);
        QFETCH(int, questions);
        test::MakeCard(f.Path("folder"));
        test::MakeCard(f.Path("twin"));
        auto w = MakeWindow("DirSelUser=" + f.Path("before") + "\r\n");
        f.dialogs.QueueProcessing(kind);
        f.dialogs.QueueAnswer(confirm ? MsgAnswer::kYes : MsgAnswer::kNo);
        f.dialogs.QueueFolder(pick ? std::optional<std::string>(f.Path("folder")) : std::nullopt);
        w->btnReNameClick();
        if (pick) QVERIFY(RunEnded(*w));
        QVERIFY(Idle(*w));

        const auto& asked = f.dialogs.asked();
        QCOMPARE(static_cast<int>(asked.size()), questions);
        QCOMPARE(asked[0].dialog, ScriptedDialogService::Dialog::kSelectProcessing);
        if (questions >= 2) {
            QCOMPARE(asked[1].buttons, MsgButtons::kYesNo);
            QCOMPARE(Q(asked[1].text), Q(FolderCommandConfirmation(kind == 0)));
        }
        if (questions >= 3) QCOMPARE(Q(asked[2].text), QString::fromStdString(f.Path("before")));
        QCOMPARE(Q(IniFile(f.IniPath()).ReadString("FrmDCMain", "DirSelUser", "")),
                 QString::fromStdString(pick ? f.Path("folder") : f.Path("before")));
        QCOMPARE(w->grdListModel->RowCount(), pick ? 11 : 0);
        if (pick && kind == 1) {
            QCOMPARE(GridLinesAs(*w, "folder", "twin"),
                     test::CliRows(CliArgs(f.Path("twin")) + " --rename"));
        }
        for (int i = 0; pick && kind == 0 && i < w->grdListModel->RowCount(); ++i) {
            const TResultRow& row = w->grdListModel->Row(i);
            QVERIFY(row.kind == TFileKind::fkNone ||
                    (row.copy == TCopyOutcome::coCopied && fs::exists(row.source)));
        }
        w->close();
    }

    // A destination on the source would leave the pictures where they are: the run does not
    // start and the message says which destination (the checks themselves are the destination
    // check's table).
    void refusedDestinations() {
        test::MakeCard(f.Path("folder"));
        auto w = MakeWindow();
        w->lblDestJpg->SetPath(QString::fromStdString(f.Path("folder/100PENTX/jpg")));
        f.dialogs.QueueProcessing(0);
        f.dialogs.QueueAnswer(MsgAnswer::kYes);
        f.dialogs.QueueFolder(f.Path("folder"));
        w->btnReNameClick();
        QVERIFY(Idle(*w));
        QCOMPARE(f.dialogs.asked().back().kind, MsgKind::kError);
        QVERIFY(Q(f.dialogs.asked().back().text).startsWith(Q("JPEG コピー先がメディアの中")));
        QCOMPARE(w->grdListModel->RowCount(), 0);
        QVERIFY(fs::is_empty(Out() + "/raw"));
    }

    // A path the program was given: a card's mount point, its file:// URI or its DCIM folder is
    // the card, though no removable volume shows it; another folder goes to the folder command;
    // a missing one is told and the window goes on.
    void givenPaths() {
        test::MakeCard(f.Path("stick"));
        const std::string dcim = f.Path("stick/DCIM");
        const QString uri = QUrl::fromLocalFile(QString::fromStdString(f.Path("stick"))).toString();
        for (const std::string& given : {f.Path("stick"), uri.toStdString(), dcim}) {
            auto w = MakeWindow();
            w->Commands().OpenGivenPath(LocalPathOf(given));
            QCOMPARE(w->lblSourcePath->Path(), QString::fromStdString(dcim));
            QVERIFY(w->btnExecute->isEnabled());
        }
        auto w = MakeWindow();
        w->Commands().OpenGivenPath(f.Path("gone"));
        w->Commands().OpenGivenPath(Out());
        const auto& asked = f.dialogs.asked();
        QCOMPARE(asked.size(), std::size_t{2});
        QVERIFY(Q(asked[0].text).startsWith(Q("指定されたフォルダが見つかりません")));
        QCOMPARE(asked[1].dialog, ScriptedDialogService::Dialog::kSelectProcessing);
        QVERIFY(w->isVisible());
    }

    // A run that ends while the window is minimised is told by the desktop with its counts, and
    // a click brings the window back; the card is then ejected once nothing holds it.
    void runEndNoticeAndEject() {
        InsertCard("card");
        auto w = MakeWindow("CopyAfterReMove=1\r\n");
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->showMinimized();
        QVERIFY(RunCard(*w));
        QCOMPARE(f.notifier.sent,
                 std::vector<std::string>{
                     "コピー処理が終了しました\nコピー 10 件、スキップ 1 件、失敗 0 "
                     "件\nメディアから 10 件を削除しました"});
        f.notifier.clicked();
        QTRY_VERIFY(!w->isMinimized());
        // Watched: nothing is sent.
        InsertCard("card");
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(RunCard(*w));
        QCOMPARE(f.notifier.sent.size(), std::size_t{1});

        f.ejector.answers = {{EjectOutcome::kBusy, "target is busy"},
                             {EjectOutcome::kRefused, "not authorized"}};
        for (const char* said : {"メディアを使用中のプログラムがあるため取り出せません。\r\ntarget "
                                 "is busy",
                                 "メディアを取り出せませんでした。\r\nnot authorized"}) {
            QVERIFY(w->btnEject->isEnabled());
            QTest::mouseClick(w->btnEject, Qt::LeftButton);
            QCOMPARE(Q(f.dialogs.asked().back().text), Q(said));
            QCOMPARE(w->StatusPanel(3)->text(), Q(kHintEscAborts));
        }
        f.volumes.SetVolumes({});  // as the unmount takes the volume away
        QTest::mouseClick(w->btnEject, Qt::LeftButton);
        QCOMPARE(f.ejector.asked, std::vector<std::string>(3, f.Path("card")));
        QCOMPARE(w->StatusPanel(3)->text(), Q(kHintEjected));
        QVERIFY(!w->btnEject->isEnabled());
    }

    // A card with nothing to copy says so, and the window is idle again.
    void emptyCardSaysSo() {
        fs::create_directories(f.Path("card/DCIM/100PENTX"));
        test::WriteFile(f.Path("card/DCIM/PHOT0001.JPG"), "x");
        Mount("card");
        auto w = MakeWindow();
        QVERIFY(RunCard(*w));
        QCOMPARE(f.dialogs.asked().size(), std::size_t{1});
        QCOMPARE(Q(f.dialogs.asked()[0].text),
                 QString::fromUtf8("メディアへファイルが存在しませんでした"));
        QVERIFY(Idle(*w));
        QVERIFY(w->btnExecute->isEnabled());
        w->close();
    }

    // Esc stops a run through the window; closing during a run asks and commits first.
    // Esc counts from the moment the command is accepted: pressed while the card is still being
    // listed, nothing is copied or deleted.
    void escDuringTheListing() {
        InsertCard("card", 20);
        std::atomic<bool> listing{false}, pressed{false};
        CopyRunSeams seams;
        seams.folder_listed = [&](const std::string&) {
            listing = true;
            for (int i = 0; i < 500 && !pressed; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        };
        auto w = MakeWindow("CopyAfterReMove=1\r\n", &seams);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->btnExecuteClick();
        QTRY_VERIFY(listing);
        QTest::keyClick(w.get(), Qt::Key_Escape);
        pressed = true;
        QVERIFY(RunEnded(*w));
        QCOMPARE(w->StatusPanel(2)->text(), QString::fromUtf8("　　コピー処理を中止しました"));
        QCOMPARE(w->grdListModel->RowCount(), 0);
        QVERIFY(fs::is_empty(Out() + "/jpg") && fs::is_empty(Out() + "/raw"));
        QVERIFY(fs::exists(f.Path("card/DCIM/100PENTX/IMGP0002.JPG")));
    }

    void escAndCloseDuringARun() {
        InsertCard("card", 400);
        auto w = MakeWindow("CopyAfterReMove=1\r\n");
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // Each removal batch waits for its flush, so the run is still going when Esc comes.
        w->btnExecuteClick();
        QTest::keyClick(w.get(), Qt::Key_Escape);
        QVERIFY(RunEnded(*w));
        QCOMPARE(w->StatusPanel(2)->text(), QString::fromUtf8("　　コピー処理を中止しました"));
        const int stopped_at = w->grdListModel->RowCount();
        QVERIFY(stopped_at < 405);
        for (int i = 0; i < stopped_at; ++i) {
            const TResultRow& row = w->grdListModel->Row(i);
            QVERIFY(row.Final());
            if (row.kind != TFileKind::fkNone) {
                QCOMPARE(Q(GridCells(row)[2] + " | " + GridCells(row)[3]), QString("OK | OK"));
            }
        }

        // Closing: No keeps the run and the window; a quit signal (a logout, which nobody may be
        // there to answer) stops the run without the question, commits, then saves.
        w->btnExecuteClick();
        f.dialogs.QueueAnswer(MsgAnswer::kNo);
        QVERIFY(!w->close());
        QVERIFY(w->Commands().Runs().Running());
        const std::size_t questions = f.dialogs.asked().size();
        w->CloseForSignal();
        QVERIFY(!w->isVisible());
        QCOMPARE(f.dialogs.asked().size(), questions);
        QVERIFY(!w->Commands().Runs().Running());
        for (int i = 0; i < w->grdListModel->RowCount(); ++i)
            QVERIFY(w->grdListModel->Row(i).Final());
    }
};

QTEST_MAIN(TestMainWindowRun)
#include "tst_main_window_run.moc"
