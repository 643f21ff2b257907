// The main window's wiring on real widgets: layout restored on the controls, the lock and the
// samples applied, the destination buttons, the keyboard, accessible names, the run context
// against the tool's and the application folder it is given. The rules themselves are tested as
// tables in tst_main_rules.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QTimer>
#include <QtTest>

#include "app/card_fixture.h"
#include "app/main_commands.h"
#include "app/main_lifecycle.h"
#include "app/main_rules.h"
#include "app/qt_dialog_service.h"
#include "app/window_fixture.h"
#include "copy/copy_run.h"
#include "naming/camera_model.h"

using pelko::TFrmDCMain;
using pelko::test::WindowFixture;

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

void ShowAndWait(TFrmDCMain& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
}

// The rows a run writes, as the tool prints them.
class RowCollector final : public pelko::ICopyRunObserver {
  public:
    void RowAdded(int row) override { rows.resize(static_cast<std::size_t>(row) + 1); }
    void RowChanged(int row, const pelko::TResultRow& result) override {
        rows.at(static_cast<std::size_t>(row)) = result;
    }
    QStringList Lines() const {
        QStringList lines;
        for (const pelko::TResultRow& row : rows)
            lines << pelko::test::RowLine(row);
        return lines;
    }
    std::vector<pelko::TResultRow> rows;
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private:
    WindowFixture f;

  private slots:
    void init() { f.Reset(); }

    void layoutComesBackOnTheWidgets() {
        QPoint position;
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            QVERIFY(window->isMaximized());
            window->showNormal();
            window->setGeometry(40, 50, 1000, 700);
            window->grdList->SetColumnWidths({150, 250, 80, 120});
            window->SetLeftPanelWidth(520);
            position = window->pos();
            QVERIFY(window->close());
        }
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QVERIFY(!window->isMaximized());
        QCOMPARE(window->size(), QSize(1000, 700));
        QCOMPARE(window->pos(), position);
        QCOMPARE(window->grdList->ColumnWidths(), (std::vector<int>{150, 250, 80, 120}));
        QCOMPARE(window->splTop->sizes().value(0), 520);
    }

    void raiseRestoresAMinimisedWindow() {
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized());
        window->RestoreAndRaise();
        QTRY_VERIFY(!window->isMinimized());
        QVERIFY(window->isVisible());
    }

    void lockModesAndSamplesReachTheControls() {
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        auto& w = *window;
        const auto shown = [&w] {
            pelko::MainControlStates states;
            states.settings_enabled = w.cboMakeFolder->isEnabled();
            states.change_buttons_visible = !w.btnDestRaw->isHidden();
            states.user_folder_visible = !w.cboUserFolder->isHidden();
            states.delete_folder_visible = !w.btnDelFlder->isHidden();
            states.user_format_visible = !w.cboUserFmt->isHidden();
            states.delete_format_visible = !w.btnDelFmt->isHidden();
            return states;
        };
        QVERIFY(shown() == pelko::ControlStatesFor(w.Lifecycle().Settings()));
        w.cboMakeFolder->setCurrentIndex(2);
        w.cboUserFolder->setEditText("%Dyymmdd");
        QCOMPARE(w.lblSampleFolder->text(), U("フォルダ名生成のサンプル　：　261206"));
        w.cboFileName->setCurrentIndex(1);
        w.cboUserFmt->setEditText("%P-Num%N");
        QCOMPARE(w.lblSampleFileName->text(),
                 U("ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　IMGP-Num0123.JPG"));
        w.chkLock->click();
        QVERIFY(shown() == pelko::ControlStatesFor(w.Lifecycle().Settings()));
        QVERIFY(!w.cboCopySet->isEnabled() && !w.dtpLCTime->isEnabled() && w.btnDelFmt->isHidden());
        w.chkLock->click();
        QVERIFY(shown() == pelko::ControlStatesFor(w.Lifecycle().Settings()));
        // Mode 1 shows the description, never an evaluated sample.
        w.cboMakeFolder->setCurrentIndex(1);
        QCOMPARE(w.lblSampleFolder->text(), w.cboMakeFolder->Description(1));
    }

    void destinationButtonFillsTheEmptyOnes() {
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        window->lblDestJpg->SetPath(QString::fromStdString(f.Folder("J")));
        f.dialogs.QueueFolder(f.Folder("N"));
        QTest::mouseClick(window->btnDestRaw, Qt::LeftButton);
        QCOMPARE(window->lblDestRaw->Path(), QString::fromStdString(f.Path("N")));
        QCOMPARE(window->lblDestJpg->Path(), QString::fromStdString(f.Path("J")));
        QCOMPARE(window->lblDestOther->Path(), QString::fromStdString(f.Path("N")));
    }

    void enterMovesFocusExceptInTheMemo() {
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        window->activateWindow();
        QWidget* start = window->chkReMove;
        start->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), start);
        QTest::keyClick(start, Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        QVERIFY(next != start);
        start->setFocus();
        QTest::keyClick(start, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), next);
        QTest::keyClick(next, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), start);
        QVERIFY(!window->chkReMove->isChecked());  // Enter moved on; it did not tick

        window->memBikou->setFocus();
        QTest::keyClicks(window->memBikou, "a");
        QTest::keyClick(window->memBikou, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), window->memBikou);
        QCOMPARE(window->memBikou->toPlainText(), QString("a\n"));
    }

    void closeCommitsTypedFormats() {
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            window->cboUserFmt->setEditText("  %P-%N  ");
            QTest::mouseClick(window->btnClose, Qt::LeftButton);
        }
        QCOMPARE(pelko::test::ReadFile(f.Path("Data/UFormat.txt")),
                 std::string("%P-%N\r\n%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N\r\n"));
    }

    // The window's run context and the tool's, from the same stored settings, name the same
    // files alike; a typed format counts as it will be saved.
    void windowAndToolNameFilesAlike() {
        const std::string card = f.Folder("card");
        pelko::test::MakeCard(card);
        // The tool reads the settings file of this computer.
        pelko::TMainContext context = f.Context();
        context.computer_name = pelko::ComputerName();
        const std::string ini = f.Path(context.computer_name + ".ini");
        WindowFixture::WriteIni(ini, {{"DestRaw", f.Folder("RAW")},
                                      {"DestJpg", f.Folder("JPG")},
                                      {"DestOther", f.Folder("MOV")},
                                      {"MakeFolder", "2"},
                                      {"FileName", "1"},
                                      {"LastDateExec", "1"},
                                      {"LastCopyDateTime", "2026/11/03 10:00:02"},
                                      {"AppVer", "141"}});
        QStringList window_rows;
        {
            TFrmDCMain window(context);
            ShowAndWait(window);
            window.cboUserFolder->setEditText("  %Dyyyy-mm  ");
            window.cboUserFmt->setEditText(U("  %C_%F-x  "));
            pelko::CopyRunContext run = window.Commands().MakeContext();
            run.settings.dry_run = true;
            RowCollector rows;
            pelko::RunCopyCommand(run, rows, card + "/DCIM", pelko::RunSourceKind::rsCard);
            window_rows = rows.Lines();
            QVERIFY(window.close());
        }
        const QStringList tool_rows =
            pelko::test::CliRows("--settings --dry-run " + card + "/DCIM");
        QCOMPARE(window_rows, tool_rows);
        QVERIFY(window_rows.join('\n').contains(
            QString::fromStdString("/2026-11/不明_IMGP0004-x.JPG")));
    }

    // Every file of the application folder is taken from the folder the window was given, whatever
    // the environment says.
    void theGivenApplicationFolderIsUsed() {
        QTemporaryDir elsewhere;
        qputenv("PELKOCOPY_HOME", elsewhere.path().toUtf8());
        pelko::test::WriteFile(f.Path("ChangeModelName.txt"), "[Camera]\r\n不明=Body\r\n");
        pelko::test::WriteFile(f.Path("CardInfo.ini"), "[SD01]\r\nNAME=SanDisk\r\nSIZE=32\r\n");
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        window->cboFileName->setCurrentIndex(1);
        window->cboUserFmt->setEditText("%C-%N");
        QCOMPARE(window->lblSampleFileName->text(),
                 U("ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　Body-0123.JPG"));

        pelko::TQtDialogService dialogs(window.get(), f.Home());
        QString listed;
        QTimer::singleShot(0, [&listed] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            if (auto* cards = dialog->findChild<QComboBox*>("cboSD")) listed = cards->currentText();
            dialog->accept();
        });
        QCOMPARE(dialogs.SelectCard(), std::string("SD01"));
        QCOMPARE(listed, QString("SanDisk  32GB"));
        QVERIFY(window->close());
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QVERIFY(f.Exists("FmtHelp.txt"));
    }

    void everyControlHasAnAccessibleName() {
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QStringList unnamed;
        for (QWidget* child : window->findChildren<QWidget*>()) {
            const bool control =
                child->focusPolicy() != Qt::NoFocus || qobject_cast<QLabel*>(child) != nullptr;
            if (!control || child->objectName().isEmpty() ||
                child->objectName().startsWith("qt_")) {
                continue;
            }
            if (child->accessibleName().isEmpty() && qobject_cast<QLabel*>(child) == nullptr) {
                unnamed << child->objectName();
            }
        }
        QCOMPARE(unnamed, QStringList());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
