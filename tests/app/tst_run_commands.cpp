#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <thread>

#include "app/card_fixture.h"
#include "app/run_commands.h"
#include "support/dialog_service.h"
#include "support/setting.h"

using namespace pelko;
namespace fs = std::filesystem;

namespace {

// A stand-in for the main window: the controls the commands drive, and a grid of rows.
struct Window {
    QWidget window;
    QWidget* panel = new QWidget(&window);
    QPushButton* execute = new QPushButton(&window);
    QPushButton* rename = new QPushButton(&window);
    QTimer* timer = new QTimer(&window);
    QProgressBar* progress = new QProgressBar(&window);
    QLabel* panel1 = new QLabel(&window);
    QLabel* panel2 = new QLabel(&window);
    QLabel* speed = new QLabel(&window);
    std::vector<TResultRow> rows;
    std::string card;
    std::string out;
    int checks = 0, commits = 0;
    CopyRunContext taken;
    std::function<void(CopyRunContext&)> tune;

    TRunCommands::Controls Controls() {
        TRunCommands::Controls c;
        c.window = &window;
        c.settings_panel = panel;
        c.execute = execute;
        c.rename = rename;
        c.drive_check = timer;
        c.progress = progress;
        c.progress_text = panel1;
        c.status = panel2;
        c.speed = speed;
        c.reset_grid = [this] { rows.clear(); };
        c.add_row = [this](int row) { rows.resize(static_cast<std::size_t>(row) + 1); };
        c.set_row = [this](int row, const TResultRow& r) { rows.at(std::size_t(row)) = r; };
        c.card_folder = [this] { return card; };
        c.make_context = [this] {
            CopyRunContext context;
            context.settings.dest_raw = out + "/raw";
            context.settings.dest_jpg = out + "/jpg";
            context.settings.dest_other = out + "/other";
            context.naming.settings.folder_mode = 3;
            context.naming.settings.file_name_mode = 2;
            context.naming.state.last_copy_cutoff = "2026/01/01 00:00:00";
            context.naming.state.newest_file_date = "2026/01/01 00:00:00";
            if (tune) tune(context);
            return context;
        };
        c.take_context = [this](const CopyRunContext& context) { taken = context; };
        c.commit_formats = [this] { ++commits; };
        c.check_drives = [this] { ++checks; };
        return c;
    }
    bool Idle() const {
        return panel->isEnabled() && execute->isEnabled() && rename->isEnabled() &&
               timer->isActive();
    }
    bool Busy() const {
        return !panel->isEnabled() && !execute->isEnabled() && !rename->isEnabled() &&
               !timer->isActive();
    }
    QStringList Lines() const {
        QStringList lines;
        for (const TResultRow& row : rows)
            lines << test::RowLine(row);
        return lines;
    }
};

void SlowPictures(CopyRunContext& context, int ms) {
    context.naming.settings.exif_date = true;
    context.naming.exif_date_reader = [ms](const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return std::optional<std::string>();
    };
}

}  // namespace

class TestRunCommands : public QObject {
    Q_OBJECT

    test::TempDir home_;
    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<TSetting> settings_;
    ScriptedDialogService dialogs_;

  private slots:
    void initTestCase() { qputenv("PELKOCOPY_HOME", QByteArray::fromStdString(home_.str())); }
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        settings_ = std::make_unique<TSetting>("FrmDCMain", FormBounds{});
        settings_->IniFileKind = TIniFileKind::fnComputerName;
        settings_->SetPlaces({dir_->str(), "pc", "user", dir_->str()});
        settings_->SetIniFileName("");
        dialogs_ = ScriptedDialogService();
    }

    // The card run: rows as the tool's, the window busy during the run and idle afterwards.
    void cardRun() {
        test::MakeCard(*dir_ / "a");
        test::MakeCard(*dir_ / "b");
        Window w;
        w.card = *dir_ / "a/DCIM";
        w.out = *dir_ / "a-out";
        w.tune = [](CopyRunContext& c) { SlowPictures(c, 20); };
        w.timer->start(5000);
        TRunCommands commands(dialogs_, *settings_, w.Controls());
        QSignalSpy finished(&commands, &TRunCommands::runFinished);
        commands.ExecuteCard();
        QVERIFY(commands.Running());
        QVERIFY(w.Busy());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QVERIFY(finished.wait(20000));
        QVERIFY(w.Idle());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(w.checks, 1);
        QCOMPARE(w.commits, 1);
        QVERIFY(dialogs_.asked().empty());

        QStringList lines = w.Lines();
        lines.replaceInStrings(QString::fromStdString(*dir_ / "a"),
                               QString::fromStdString(*dir_ / "b"));
        QCOMPARE(lines, test::CliRows(*dir_ / "b/DCIM" + " --raw " + *dir_ / "b-out/raw" +
                                      " --jpeg " + *dir_ / "b-out/jpg" + " --other " +
                                      *dir_ / "b-out/other --folder-mode 3 --name-mode 2"));
        QCOMPARE(w.panel2->text(), QString::fromUtf8("　　処理が終了しました"));
        QCOMPARE(w.panel1->text(), QString("11 / 11"));
        QCOMPARE(w.progress->value(), 11);
        QCOMPARE(w.progress->maximum(), 11);
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("PelkoCopy"));
        QVERIFY(w.speed->text().contains("MB/sec") || w.speed->text().contains("(^^"));
        QCOMPARE(w.speed->palette().color(QPalette::Window), QColor(255, 202, 255));
        // The dates the run saw come back to the window.
        QCOMPARE(QString::fromStdString(w.taken.naming.state.newest_file_date),
                 QString("2026/11/04 08:00:00"));
    }

    void emptyCardSaysSo() {
        fs::create_directories(*dir_ / "card/DCIM/100PENTX");
        test::WriteFile(*dir_ / "card/DCIM/PHOT0001.JPG", "x");
        Window w;
        w.card = *dir_ / "card/DCIM";
        w.out = *dir_ / "out";
        TRunCommands commands(dialogs_, *settings_, w.Controls());
        QSignalSpy finished(&commands, &TRunCommands::runFinished);
        commands.ExecuteCard();
        QVERIFY(finished.wait(10000));
        QCOMPARE(dialogs_.asked().size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(dialogs_.asked()[0].text),
                 QString::fromUtf8("メディアへファイルが存在しませんでした"));
        QCOMPARE(dialogs_.asked()[0].buttons, MsgButtons::kOk);
        QVERIFY(w.Idle());
    }

    // Each question of the folder command can end it with nothing changed.
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
        test::MakeCard(*dir_ / "folder");
        settings_->WriteString("DirSelUser", *dir_ / "before");
        Window w;
        w.out = *dir_ / "out";
        w.timer->start(5000);
        TRunCommands commands(dialogs_, *settings_, w.Controls());
        QSignalSpy finished(&commands, &TRunCommands::runFinished);
        dialogs_.QueueProcessing(kind);
        dialogs_.QueueAnswer(confirm ? MsgAnswer::kYes : MsgAnswer::kNo);
        dialogs_.QueueFolder(pick ? std::optional<std::string>(*dir_ / "folder") : std::nullopt);
        commands.ExecuteFolder();
        if (pick) QVERIFY(finished.wait(20000));
        QVERIFY(w.Idle());

        const auto& asked = dialogs_.asked();
        QCOMPARE(static_cast<int>(asked.size()), questions);
        QCOMPARE(asked[0].dialog, ScriptedDialogService::Dialog::kSelectProcessing);
        if (questions >= 2) {
            QCOMPARE(asked[1].buttons, MsgButtons::kYesNo);
            QCOMPARE(asked[1].text, FolderCommandConfirmation(kind == 0));
        }
        if (questions >= 3) {
            QCOMPARE(asked[2].title, FolderCommandPickerTitle(kind == 0));
            QCOMPARE(asked[2].text, *dir_ / "before");
        }
        QCOMPARE(settings_->ReadString("DirSelUser", ""),
                 pick ? *dir_ / "folder" : *dir_ / "before");
        QCOMPARE(static_cast<int>(w.rows.size()), pick ? 11 : 0);
        if (pick) {
            // Copies leave the folder as it was; new names stay in their folders.
            const TResultRow& row = *std::find_if(w.rows.begin(), w.rows.end(), [](const auto& r) {
                return r.kind == TFileKind::fkJpeg;
            });
            QCOMPARE(row.copy, TCopyOutcome::coCopied);
            QCOMPARE(fs::exists(row.source), kind == 0);
            QCOMPARE(QString::fromStdString(row.dest).startsWith(QString::fromStdString(w.out)),
                     kind == 0);
        }
    }

    // Esc stops the run before its next file.
    void escStopsTheRun() {
        test::MakeCard(*dir_ / "card", 30);
        Window w;
        w.card = *dir_ / "card/DCIM";
        w.out = *dir_ / "out";
        w.tune = [](CopyRunContext& c) { SlowPictures(c, 40); };
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        TRunCommands commands(dialogs_, *settings_, w.Controls());
        QSignalSpy finished(&commands, &TRunCommands::runFinished);
        commands.ExecuteCard();
        QTRY_VERIFY(w.rows.size() >= 3);
        QTest::keyClick(&w.window, Qt::Key_Escape);
        QVERIFY(finished.wait(20000));
        QVERIFY(commands.Job().Result().run.aborted);
        QVERIFY(w.rows.size() < 35);
        QCOMPARE(w.panel2->text(), QString::fromUtf8("　　コピー処理を中止しました"));
        QCOMPARE(w.panel1->text(), QString("%1 / 35").arg(w.rows.size()));
        QVERIFY(w.Idle());
    }

    // Closing during a run asks; No keeps it going, Yes stops it and waits for the commit.
    void closeDuringARun() {
        test::MakeCard(*dir_ / "card", 30);
        Window w;
        w.card = *dir_ / "card/DCIM";
        w.out = *dir_ / "out";
        w.tune = [](CopyRunContext& c) {
            SlowPictures(c, 40);
            c.settings.remove_after_copy = true;
        };
        TRunCommands commands(dialogs_, *settings_, w.Controls());
        QVERIFY(commands.CanClose());  // idle: no question
        QVERIFY(dialogs_.asked().empty());
        commands.ExecuteCard();
        QTRY_VERIFY(w.rows.size() >= 2);
        dialogs_.QueueAnswer(MsgAnswer::kNo);
        QVERIFY(!commands.CanClose());
        QVERIFY(commands.Running());
        dialogs_.QueueAnswer(MsgAnswer::kYes);
        QVERIFY(commands.CanClose());
        QVERIFY(!commands.Running());
        QCOMPARE(dialogs_.asked().size(), std::size_t{2});
        QCOMPARE(dialogs_.asked()[1].buttons, MsgButtons::kYesNo);
        // Every row is final: copied and deleted, or not begun.
        int copied = 0;
        for (const TResultRow& row : w.rows) {
            QVERIFY(row.Final());
            if (row.copy == TCopyOutcome::coCopied) {
                ++copied;
                QCOMPARE(row.removal, TDeleteOutcome::doDeleted);
            }
        }
        QVERIFY(copied > 0 && copied < 35);
        QVERIFY(w.Idle());
    }
};

QTEST_MAIN(TestRunCommands)
#include "tst_run_commands.moc"
