#include <sys/time.h>

#include <QApplication>
#include <QtTest>

#include "app/destinations.h"
#include "app/main_lifecycle.h"
#include "app/window_fixture.h"

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

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private:
    WindowFixture f;

  private slots:
    void init() { f.Reset(); }

    void firstStartWithoutIni() {
        pelko::test::WriteFile(f.Path("Readme.txt"), "notes\r\n");
        pelko::test::WriteFile(f.Path("UFolder.txt"), "%Dyyyy\r\n");
        const char* const old_files[] = {"AddExif.exe", "GetExif.exe", "GetExif.ifo", "xExif.dfc"};
        for (const char* old_file : old_files)
            pelko::test::WriteFile(f.Path(old_file), "old");
        pelko::test::WriteFile(f.Path("ImgCount.txt"), "2026/12/06,3\r\n");
        {
            auto window = f.MakeWindow();
            // Creation prepared the folder before the first show.
            QVERIFY(QFileInfo(QString::fromStdString(f.Path("Data"))).isDir());
            QVERIFY(f.Exists("Data/UFolder.txt"));
            QVERIFY(!f.Exists("UFolder.txt"));
            for (const char* old_file : old_files)
                QVERIFY2(!f.Exists(old_file), old_file);
            QVERIFY(f.Exists("FmtHelp.txt"));
            QVERIFY(f.Exists("ChangeModelName.txt"));
            QVERIFY(f.Exists("tmp/ImgCount.txt"));

            ShowAndWait(*window);
            QVERIFY(window->isMaximized());
            QCOMPARE(f.shell.opened, std::vector<std::string>{f.Path("Readme.txt")});
            QVERIFY(window->lblDestRaw->Path().isEmpty());
            QCOMPARE(window->Lifecycle().LastCopyCutoff(), std::string("2026/12/06 19:27:05"));
            QCOMPARE(window->dtpLCDate->date(), QDate(2026, 12, 6));
            QCOMPARE(window->dtpLCTime->time(), QTime(19, 27, 5));
            QCOMPARE(window->cboUserFolder->Lines(), QStringList{"%Dyyyy"});
            QCOMPARE(window->cboUserFmt->Lines(), QStringList{"%WK5QT %Dyyyymmdd-hhnnss(aaa)-%N"});
            QTRY_COMPARE(QApplication::focusWidget(), window->memBikou);
            // A second show restores nothing again.
            window->hide();
            f.shell.opened.clear();
            window->show();
            QVERIFY(f.shell.opened.empty());
            QVERIFY(window->close());
        }
        QCOMPARE(f.Key("AppVer"), std::string("141"));
        QCOMPARE(f.Key("WindowMaxmized"), std::string("1"));
        // The panel gave way while the window was narrow; the user's width is what is kept.
        QCOMPARE(f.Key("pnlLeft"), std::string("840"));
        for (const char* key : {"FormTop", "FormLeft", "FormWidth", "FormHeight", "GridW0",
                                "GridW1", "GridW2", "GridW3", "pnlLeft", "DestRaw", "DestJpg",
                                "DestOther", "CopyAfterReMove", "AppAutoRestore", "LastDateExec",
                                "ExecExifDate", "SettingLock", "MakeFolder", "FileName"}) {
            QVERIFY2(f.Key(key) != "<missing>", key);
        }
        // No run saw a newer file: the cut-off is not stored, and the modes are never written.
        QCOMPARE(f.Key("LastCopyDateTime"), std::string("<missing>"));
        QCOMPARE(f.Key("Mode"), std::string("<missing>"));
        QVERIFY(!f.Exists("PelkoCopy.ini"));
        QVERIFY(f.Exists("Data/UFormat.txt"));
    }

    void keysWrittenAtCloseReadBack() {
        const std::string raw = f.Folder("RAW"), jpg = f.Folder("JPG"), other = f.Folder("Other");
        QPoint position;
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            window->showNormal();
            window->setGeometry(40, 50, 1000, 700);
            window->grdList->SetColumnWidths({150, 250, 80, 120});
            window->lblDestRaw->SetPath(QString::fromStdString(raw));
            window->lblDestJpg->SetPath(QString::fromStdString(jpg));
            window->lblDestOther->SetPath(QString::fromStdString(other));
            window->chkReMove->setChecked(true);
            window->chkExecExifDate->setChecked(true);
            window->cboMakeFolder->setCurrentIndex(2);
            window->cboFileName->setCurrentIndex(1);
            window->SetLeftPanelWidth(520);
            position = window->pos();
            QVERIFY(window->close());
        }
        QDir(QString::fromStdString(other)).removeRecursively();

        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QVERIFY(!window->isMaximized());
        QCOMPARE(window->size(), QSize(1000, 700));
        QCOMPARE(window->pos(), position);
        QCOMPARE(window->grdList->ColumnWidths(), (std::vector<int>{150, 250, 80, 120}));
        QCOMPARE(window->splTop->sizes().value(0), 520);
        QCOMPARE(window->lblDestRaw->Path(), QString::fromStdString(raw));
        QCOMPARE(window->lblDestJpg->Path(), QString::fromStdString(jpg));
        // A destination that no longer exists shows empty.
        QVERIFY(window->lblDestOther->Path().isEmpty());
        QVERIFY(window->chkReMove->isChecked());
        QVERIFY(window->chkExecExifDate->isChecked());
        QVERIFY(!window->chkLastDateExec->isChecked());
        QVERIFY(!window->chkAutoRestore->isChecked());
        QCOMPARE(window->cboMakeFolder->currentIndex(), 2);
        QCOMPARE(window->cboFileName->currentIndex(), 1);
        // No Readme at a later start.
        QVERIFY(f.shell.opened.empty());
    }

    void cutoffStoredOnlyWhenARunSawANewerFile_data() {
        QTest::addColumn<QDateTime>("picked");
        QTest::addColumn<QString>("newest");
        QTest::addColumn<QString>("stored");
        const QString before = "2026/01/02 03:04:05";
        QTest::newRow("pickers earlier")
            << QDateTime(QDate(2020, 1, 1), QTime(0, 0, 1)) << "" << before;
        QTest::newRow("pickers later")
            << QDateTime(QDate(2030, 5, 6), QTime(7, 8, 9)) << "" << before;
        QTest::newRow("run saw a newer file")
            << QDateTime(QDate(2020, 1, 1), QTime(0, 0, 1)) << "2026/11/30 10:00:00"
            << "2026/11/30 10:00:00";
    }
    void cutoffStoredOnlyWhenARunSawANewerFile() {
        QFETCH(QDateTime, picked);
        QFETCH(QString, newest);
        QFETCH(QString, stored);
        WindowFixture::WriteIni(f.IniPath(),
                                {{"LastCopyDateTime", "2026/01/02 03:04:05"}, {"AppVer", "141"}});
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            QCOMPARE(window->Lifecycle().LastCopyCutoff(), std::string("2026/01/02 03:04:05"));
            window->dtpLCDate->setDate(picked.date());
            window->dtpLCTime->setTime(picked.time());
            QCOMPARE(QString::fromStdString(window->Lifecycle().LastCopyCutoff()),
                     picked.toString("yyyy/MM/dd HH:mm:ss"));
            if (!newest.isEmpty()) window->Lifecycle().SetNewestFileDate(newest.toStdString());
            QVERIFY(window->close());
        }
        QCOMPARE(QString::fromStdString(f.Key("LastCopyDateTime")), stored);
    }

    void unreadableCutoffFallsBackToNow() {
        WindowFixture::WriteIni(f.IniPath(), {{"LastCopyDateTime", "2026/02/30 99:00:00"}});
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QCOMPARE(window->Lifecycle().LastCopyCutoff(), std::string("2026/12/06 19:27:05"));
        QCOMPARE(window->dtpLCDate->date(), QDate(2026, 12, 6));
    }

    void damagedSettingsAreToldAndLeftEmpty() {
        WindowFixture::WriteIni(f.IniPath(), {{"DestRaw", "photos/raw"},
                                              {"DestJpg", f.Folder("JPG")},
                                              {"MakeFolder", "9"},
                                              {"FileName", "-1"},
                                              {"AppVer", "141"}});
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QVERIFY(window->lblDestRaw->Path().isEmpty());
        QCOMPARE(window->lblDestJpg->Path(), QString::fromStdString(f.Path("JPG")));
        QCOMPARE(window->cboMakeFolder->currentIndex(), 0);
        QCOMPARE(window->cboFileName->currentIndex(), 0);
        QCOMPARE(f.dialogs.asked().size(), std::size_t{1});
        QVERIFY(f.dialogs.asked()[0].text.find("DestRaw") != std::string::npos);
        QVERIFY(f.dialogs.asked()[0].text.find("DestJpg") == std::string::npos);
    }

    void closedUnshownSavesNothing() {
        WindowFixture::WriteIni(f.IniPath(), {{"DestRaw", f.Folder("RAW")}});
        {
            auto window = f.MakeWindow();
            QVERIFY(window->close());
        }
        QCOMPARE(f.Key("DestRaw"), f.Path("RAW"));
        QCOMPARE(f.Key("AppVer"), std::string("<missing>"));
    }

    void storedPositionOffTheScreenIsBroughtBack() {
        WindowFixture::WriteIni(
            f.IniPath(), {{"FormLeft", "50000"}, {"FormTop", "-300"}, {"WindowMaxmized", "0"}});
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(screen.contains(window->pos()));
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

    void lockRestoredAndApplied() {
        // Controls that the lock disables, and buttons that it hides, out of step with the box.
        const auto locked_state = [](TFrmDCMain& w) {
            QStringList wrong;
            for (QWidget* c :
                 QList<QWidget*>{w.cboCopySet, w.cboMakeFolder, w.cboUserFolder, w.cboFileName,
                                 w.cboUserFmt, w.chkReMove, w.chkAutoRestore, w.chkExecExifDate,
                                 w.chkLastDateExec, w.dtpLCDate, w.dtpLCTime}) {
                if (c->isEnabled() == w.chkLock->isChecked()) wrong << c->objectName();
            }
            for (QWidget* b : QList<QWidget*>{w.btnOverwriteCopySet, w.btnAddCopySet,
                                              w.btnDelCopySet, w.btnDestRaw, w.btnDestJpeg,
                                              w.btnDestOther, w.btnDelFlder, w.btnDelFmt}) {
                if (b->isHidden() != w.chkLock->isChecked()) wrong << b->objectName();
            }
            return wrong;
        };
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            // Modes whose user combos and delete buttons are in use.
            window->cboMakeFolder->setCurrentIndex(2);
            window->cboFileName->setCurrentIndex(1);
            QCOMPARE(locked_state(*window), QStringList());
            window->chkLock->click();
            QVERIFY(window->chkLock->isChecked());
            QCOMPARE(locked_state(*window), QStringList());
            QVERIFY(window->close());
        }
        QCOMPARE(f.Key("SettingLock"), std::string("1"));
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QVERIFY(window->chkLock->isChecked());
        QCOMPARE(locked_state(*window), QStringList());
        window->chkLock->click();
        QCOMPARE(locked_state(*window), QStringList());
        // Without a user format the format combo and its delete button stay hidden, unlocked.
        window->cboFileName->setCurrentIndex(0);
        QVERIFY(window->btnDelFmt->isHidden());
        QVERIFY(window->cboUserFmt->isHidden());
    }

    void samplesFollowTheModes() {
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        QVERIFY(window->cboUserFolder->isHidden());
        window->cboMakeFolder->setCurrentIndex(2);
        window->cboUserFolder->setEditText("%Dyymmdd");
        QCOMPARE(window->lblSampleFolder->text(), U("フォルダ名生成のサンプル　：　261206"));
        window->cboMakeFolder->setCurrentIndex(1);
        QVERIFY(!window->cboUserFolder->isHidden());
        window->cboFileName->setCurrentIndex(1);
        window->cboUserFmt->setEditText("%P-Num%N");
        QCOMPARE(window->lblSampleFileName->text(),
                 U("ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　IMGP-Num0123.JPG"));
    }

    void destinationChoiceFillsOnlyEmptyOnes_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("RAW, JPEG set, Other empty")
            << "btnDestRaw" << QStringList{"", "J", ""} << true << QStringList{"N", "J", "N"};
        QTest::newRow("RAW into all empty")
            << "btnDestRaw" << QStringList{"", "", ""} << true << QStringList{"N", "N", "N"};
        QTest::newRow("JPEG replaces its own, fills RAW")
            << "btnDestJpeg" << QStringList{"", "J", "O"} << true << QStringList{"N", "N", "O"};
        QTest::newRow("Other with both set")
            << "btnDestOther" << QStringList{"R", "J", ""} << true << QStringList{"R", "J", "N"};
        QTest::newRow("cancelled")
            << "btnDestRaw" << QStringList{"", "J", ""} << false << QStringList{"", "J", ""};
    }
    void destinationChoiceFillsOnlyEmptyOnes() {
        QFETCH(QString, button);
        QFETCH(QStringList, before);
        QFETCH(bool, confirm);
        QFETCH(QStringList, after);
        const auto folder = [this](const QString& key) {
            return key.isEmpty() ? QString() : QString::fromStdString(f.Folder(key.toStdString()));
        };
        auto window = f.MakeWindow();
        ShowAndWait(*window);
        const std::array<pelko::TPathLabel*, 3> labels{window->lblDestRaw, window->lblDestJpg,
                                                       window->lblDestOther};
        for (int i = 0; i < 3; ++i)
            labels[i]->SetPath(folder(before[i]));
        f.dialogs.QueueFolder(confirm ? std::optional<std::string>(f.Folder("N")) : std::nullopt);
        auto* pressed = window->findChild<QAbstractButton*>(button);
        QVERIFY(pressed);
        QTest::mouseClick(pressed, Qt::LeftButton);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(labels[i]->Path(), folder(after[i]));
        QCOMPARE(f.dialogs.asked().size(), std::size_t{1});
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

    void modeShowsStatisticsAndWritesSharedKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("statistics");
        QTest::addColumn<bool>("shared_file");
        QTest::newRow("neither") << "" << false << false;
        QTest::newRow("Mode") << "Mode" << true << true;
        QTest::newRow("ModeSpUser") << "ModeSpUser" << false << true;
    }
    void modeShowsStatisticsAndWritesSharedKeys() {
        QFETCH(QString, key);
        QFETCH(bool, statistics);
        QFETCH(bool, shared_file);
        if (!key.isEmpty()) WindowFixture::WriteIni(f.IniPath(), {{key.toStdString(), "1"}});
        pelko::test::WriteFile(f.Path("Memo.txt"), "line 1\r\nline 2\r\n");
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            for (QWidget* control :
                 {static_cast<QWidget*>(window->lblK5), static_cast<QWidget*>(window->lblK20D),
                  static_cast<QWidget*>(window->lblAkCap),
                  static_cast<QWidget*>(window->btnOpenMDB)}) {
                QVERIFY2(control->isVisible() == statistics, qPrintable(control->objectName()));
            }
            const std::string prefix = f.Path(statistics ? "Data/TESTPC_" : "Data/U");
            QCOMPARE(window->Lifecycle().ListPaths().user_folder, prefix + "Folder.txt");
            QCOMPARE(window->Lifecycle().ListPaths().copy_set_ini, prefix + "CopySet.ini");
            QCOMPARE(window->memBikou->toPlainText().startsWith("line 1\nline 2"), shared_file);
            window->Lifecycle().ShotCounts.k5qt = 1234;
            window->memBikou->setPlainText("note");
            QVERIFY(window->close());
        }
        const pelko::IniDocument shared_ini = WindowFixture::ReadIni(f.Path("PelkoCopy.ini"));
        const auto shared = [&](const char* name) {
            return shared_ini.Read("FrmDCMain", name).value_or("<missing>");
        };
        QCOMPARE(f.Exists("PelkoCopy.ini"), shared_file);
        if (shared_file) {
            QCOMPARE(shared("K5QT Count"), std::string("1234"));
            QCOMPARE(shared("K-01 Count"), std::string("0"));
            QVERIFY(shared("TESTPC_Top") != "<missing>");
            QVERIFY(shared("TESTPC_Height") != "<missing>");
            QCOMPARE(pelko::test::ReadFile(f.Path("Memo.txt")), std::string("note\r\n"));
        }
        // The switches are read, never written.
        QCOMPARE(f.Key(key.isEmpty() ? "Mode" : key.toStdString()),
                 std::string(key.isEmpty() ? "<missing>" : "1"));
    }

    void closeCopiesShotCountsBackAndCleansOldFiles() {
        const std::string old_folder = f.Folder("Old");
        const std::string old_file = old_folder + "/IMGP0001.JPG";
        const std::string new_file = old_folder + "/IMGP0002.JPG";
        pelko::test::WriteFile(old_file, "x");
        pelko::test::WriteFile(new_file, "x");
        // A year and a day before the fixture's clock, and the day before it.
        const struct timeval old_time[2] = {{1762400000, 0}, {1762400000, 0}};
        QCOMPARE(::utimes(old_file.c_str(), old_time), 0);
        const struct timeval recent[2] = {{1796500000, 0}, {1796500000, 0}};
        QCOMPARE(::utimes(new_file.c_str(), recent), 0);
        WindowFixture::WriteIni(f.IniPath(), {{"AutoDelFolder", old_folder}, {"AutoDelDay", "14"}});
        {
            auto window = f.MakeWindow();
            ShowAndWait(*window);
            pelko::test::WriteFile(f.Path("tmp/ImgCount.txt"), "counted\r\n");
            QTest::mouseClick(window->btnClose, Qt::LeftButton);
            QVERIFY(!window->isVisible());
        }
        QVERIFY(!QFile::exists(QString::fromStdString(old_file)));
        QVERIFY(QFile::exists(QString::fromStdString(new_file)));
        QCOMPARE(pelko::test::ReadFile(f.Path("ImgCount.txt")), std::string("counted\r\n"));
        QCOMPARE(f.Key("AutoDelDay"), std::string("14"));  // read, never written
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
