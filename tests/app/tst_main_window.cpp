// The main window on real widgets: its layout and title, the lock and samples reaching the
// controls, the keyboard, what a screen reader hears, room for every text at the smallest size,
// its run context against the tool's, and the application folder it is given. The rules
// themselves are tables in tst_main_rules.

#include <QAccessible>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QtTest>

#include "app/card_fixture.h"
#include "app/frm_sel_card.h"
#include "app/main_commands.h"
#include "app/main_lifecycle.h"
#include "app/main_rules.h"
#include "app/qt_dialog_service.h"
#include "app/window_fixture.h"
#include "support/volumes.h"

using namespace pelko;
using pelko::test::WindowFixture;

namespace {

QString AccessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->text(QAccessible::Name) : QString("<none>");
}

// The widgets of the window whose text does not fit the room they have, as "name: text".
QStringList Clipped(const TFrmDCMain& window) {
    QStringList clipped;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window) || widget->objectName().startsWith("qt_")) continue;
        const QFontMetrics metrics = widget->fontMetrics();
        QString text;
        int room = 0;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (qobject_cast<TPathLabel*>(label) != nullptr) continue;  // elides by design
            text = label->text();
            if (label->wordWrap()) {
                if (label->height() < label->heightForWidth(label->width())) clipped << text;
                continue;
            }
            room = label->contentsRect().width() - 2 * label->margin();
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            text = combo->currentText();
            if (combo->isEditable()) {
                room = combo->lineEdit()->width() - 4;
            } else {
                QStyleOptionComboBox option;
                option.initFrom(combo);
                room = combo->style()
                           ->subControlRect(QStyle::CC_ComboBox, &option,
                                            QStyle::SC_ComboBoxEditField, combo)
                           .width();
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text().remove('&');
            if (qobject_cast<QCheckBox*>(button) != nullptr) {
                room = button->width() -
                       (button->sizeHint().width() - metrics.horizontalAdvance(text));
            } else {
                // The text has the button less its frame and icon.
                const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
                room = button->width() - icon - 6;
            }
        } else {
            continue;
        }
        if (metrics.horizontalAdvance(text) > room)
            clipped << widget->objectName() + ": " + text +
                           QString(" %1>%2").arg(metrics.horizontalAdvance(text)).arg(room);
    }
    return clipped;
}

// The rows a run writes, as the tool prints them.
class RowCollector final : public ICopyRunObserver {
  public:
    void RowAdded(int row) override { rows.resize(static_cast<std::size_t>(row) + 1); }
    void RowChanged(int row, const TResultRow& result) override {
        rows.at(static_cast<std::size_t>(row)) = result;
    }
    QStringList Lines() const {
        QStringList lines;
        for (const TResultRow& row : rows)
            lines << test::RowLine(row);
        return lines;
    }
    std::vector<TResultRow> rows;
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    WindowFixture f;

    using Keys = std::vector<std::pair<std::string, std::string>>;

    std::unique_ptr<TFrmDCMain> MakeWindow(Keys keys = {}) {
        keys.insert(keys.end(), {{"WindowMaxmized", "0"}, {"AppVer", "141"}});
        WindowFixture::WriteIni(f.IniPath(), keys);
        auto window = f.MakeWindow();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
        window->activateWindow();
        return window;
    }
  private slots:
    void init() { f.Reset(); }

    // A first start: the destination column takes the grid's spare width. Then the window as
    // the user left it, and the widths as saved.
    void layoutComesBack() {
        auto w = MakeWindow({{"FormWidth", "1280"}, {"FormHeight", "800"}});
        QVERIFY(w);
        const std::vector<int> widths = w->grdList->ColumnWidths();
        QTRY_COMPARE(widths[0] + w->grdList->columnWidth(1) + widths[2] + widths[3],
                     w->grdList->viewport()->width());
        QVERIFY(w->grdList->columnWidth(1) > 300);
        w->setGeometry(40, 50, 1000, 700);
        w->grdList->SetColumnWidths({150, 250, 80, 120});
        w->SetLeftPanelWidth(520);
        const QPoint position = w->pos();
        QVERIFY(w->close());
        w = MakeWindow();
        QVERIFY(w);
        QCOMPARE(w->size(), QSize(1000, 700));
        QCOMPARE(w->pos(), position);
        QCOMPARE(w->grdList->ColumnWidths(), (std::vector<int>{150, 250, 80, 120}));
        QCOMPARE(w->splTop->sizes().value(0), 520);
    }

    void qtTextsAreJapanese() {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        QVERIFY(!InstallQtTranslations(QString::fromStdString(f.Path("none"))));
        if (!QFile::exists(folder + "/qtbase_ja.qm")) QSKIP("qtbase_ja.qm is not installed");
        QVERIFY(InstallQtTranslations());
        QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&').left(2), Q("はい"));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QVERIFY(buttons.button(QDialogButtonBox::Cancel)->text().contains(Q("キャンセル")));
    }

    void lockModesAndSamplesReachTheControls() {
        auto window = MakeWindow();
        QVERIFY(window);
        auto& w = *window;
        const auto shown = [&w] {
            MainControlStates states;
            states.settings_enabled = w.cboMakeFolder->isEnabled();
            states.change_buttons_visible = !w.btnDestRaw->isHidden();
            states.user_folder_visible = !w.cboUserFolder->isHidden();
            states.delete_folder_visible = !w.btnDelFlder->isHidden();
            states.user_format_visible = !w.cboUserFmt->isHidden();
            states.delete_format_visible = !w.btnDelFmt->isHidden();
            return states;
        };
        QVERIFY(shown() == ControlStatesFor(w.Lifecycle().Settings()));
        w.cboMakeFolder->setCurrentIndex(2);
        w.cboUserFolder->setEditText("%Dyymmdd");
        QCOMPARE(w.lblSampleFolder->text(), Q("フォルダ名生成のサンプル　：　261206"));
        w.cboFileName->setCurrentIndex(1);
        w.cboUserFmt->setEditText("%P-Num%N");
        QCOMPARE(w.lblSampleFileName->text(),
                 Q("ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　IMGP-Num0123.JPG"));
        w.chkLock->click();
        QVERIFY(shown() == ControlStatesFor(w.Lifecycle().Settings()));
        QVERIFY(!w.cboCopySet->isEnabled() && !w.dtpLCTime->isEnabled() && w.btnDelFmt->isHidden());
        w.chkLock->click();
        QVERIFY(shown() == ControlStatesFor(w.Lifecycle().Settings()));
        // Mode 1 shows the description, never an evaluated sample.
        w.cboMakeFolder->setCurrentIndex(1);
        QCOMPARE(w.lblSampleFolder->text(), w.cboMakeFolder->Description(1));
    }

    // A screen reader hears what a sighted user reads: labels by their texts, drop-down lists
    // by their captions, each button by what it does.
    void screenReadersHearTheTexts() {
        auto w = MakeWindow({{"MakeFolder", "2"}, {"FileName", "1"}});
        QVERIFY(w);
        w->SetStatusText(2, Q("　　コピー処理を中止しました"));
        w->lblProcessTime->setText(Q("44枚　0.0MB　00:00　0.8MB/sec"));
        TFrmSelCard sel_card(w.get(), f.Path("CardInfo.ini"));
        const std::pair<QObject*, QString> cases[] = {
            {w->StatusPanel(0), Q("処理")},
            {w->StatusPanel(2), Q("　　コピー処理を中止しました")},
            {w->StatusPanel(3), w->StatusPanel(3)->text()},
            {w->lblProcessTime, Q("44枚　0.0MB　00:00　0.8MB/sec")},
            {w->lblSampleFolder, w->lblSampleFolder->text()},
            {w->lblSampleFileName, w->lblSampleFileName->text()},
            {w->cboMakeFolder, Q("コピー先のフォルダ")},
            {w->cboFileName, Q("ファイル名")},
            {w->cboUserFolder, Q("フォルダ名の書式")},
            {w->cboUserFmt, Q("ファイル名の書式")},
            {w->cboCopySet, Q("転送設定")},
            {w->btnDelFlder, Q("フォルダ名の書式を削除")},
            {w->btnDelFmt, Q("ファイル名の書式を削除")},
            {sel_card.findChild<QComboBox*>("cboSD"), Q("カードを選択して下さい")},
        };
        for (const auto& [object, name] : cases) {
            QVERIFY2(!name.isEmpty(), qPrintable(object->objectName()));
            QCOMPARE(AccessibleName(object), name);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(w->StatusPanel(1))
                     ->text(QAccessible::Description),
                 Q("進捗"));
        // No control a user can reach goes without a name (a label's name is its text).
        QStringList unnamed;
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (child->focusPolicy() != Qt::NoFocus && qobject_cast<QLabel*>(child) == nullptr &&
                !child->objectName().isEmpty() && !child->objectName().startsWith("qt_") &&
                AccessibleName(child).isEmpty()) {
                unnamed << child->objectName();
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(' ')));
    }

    // Enter presses a focused button (moving on is for fields); Tab leaves the grid; every
    // control is on the Tab path in reading order.
    void keyboardReachesEverything() {
        auto w = MakeWindow({{"MakeFolder", "2"}, {"FileName", "1"}});
        QVERIFY(w);
        w->btnClose->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w->btnClose);
        QTest::keyClick(w->btnClose, Qt::Key_Return);
        QTRY_VERIFY(!w->isVisible());
        w = MakeWindow({{"MakeFolder", "2"}, {"FileName", "1"}});

        // Enter in a field moves on (Shift+Enter back) without ticking; in the notes it is a line.
        QWidget* next = w->chkExecExifDate;
        w->chkReMove->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w->chkReMove);
        QTest::keyClick(w->chkReMove, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), next);
        QTest::keyClick(next, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), w->chkReMove);
        QVERIFY(!w->chkReMove->isChecked());
        w->memBikou->setFocus();
        QTest::keyClick(w->memBikou, Qt::Key_Return);
        QCOMPARE(w->memBikou->toPlainText(), QString("\n"));

        w->grdList->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w->grdList);
        QTest::keyClick(w->grdList, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w->memBikou);
        w->grdList->setFocus();
        QTest::keyClick(w->grdList, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), w->btnClose);

        const QList<QWidget*> order = {
            w->btnDestRaw,      w->btnDestJpeg,     w->btnDestOther,      w->cboMakeFolder,
            w->cboUserFolder,   w->btnDelFlder,     w->cboFileName,       w->cboUserFmt,
            w->btnDelFmt,       w->cboCopySet,      w->btnAddCopySet,     w->btnOverwriteCopySet,
            w->btnDelCopySet,   w->dtpLCDate,       w->dtpLCTime,         w->chkReMove,
            w->chkExecExifDate, w->chkLastDateExec, w->chkAutoRestore,    w->chkLock,
            w->btnExecute,      w->btnReName,       w->btnCheckModelName, w->btnFmtHelp,
            w->btnSideCarSeiri, w->btnClose,        w->grdList,           w->memBikou,
        };
        w->btnExecute->setEnabled(true);  // as with a card and its destinations
        QList<QWidget*> reached;
        QWidget* at = order.front();
        at->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), at);
        for (int i = 0; i < order.size() * 2 && reached.size() < order.size(); ++i) {
            QWidget* focused = QApplication::focusWidget();
            if (order.contains(focused) && !reached.contains(focused)) reached << focused;
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QStringList names;
        for (QWidget* widget : reached)
            names << widget->objectName();
        QVERIFY2(reached == order, qPrintable(names.join(' ')));
    }

    // At the smallest size every caption, mode, format, check box and button reads whole, in
    // every pair of folder and file-name modes.
    void nothingClippedAtTheMinimumSize() {
        auto w = MakeWindow({{"FormWidth", "820"}, {"FormHeight", "480"}});
        QVERIFY(w);
        w->SetStatusText(2, Q("　　コピー処理を中止しました"));
        QCOMPARE(w->size(), QSize(TFrmDCMain::kMinWidth, TFrmDCMain::kMinHeight));
        QStringList clipped;
        for (int folder = 0; folder < w->cboMakeFolder->count(); ++folder) {
            for (int name = 0; name < w->cboFileName->count(); ++name) {
                w->cboMakeFolder->setCurrentIndex(folder);
                w->cboFileName->setCurrentIndex(name);
                QApplication::processEvents();
                for (int i = 0; i < 5; ++i)
                    QApplication::processEvents();
                for (const QString& text : Clipped(*w))
                    clipped << QString("%1/%2 %3").arg(folder).arg(name).arg(text);
            }
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
    }

    // The window's run context and the tool's, from the same stored settings, name the same
    // files alike; a typed format counts as it will be saved.
    void windowAndToolNameFilesAlike() {
        const std::string card = f.Folder("card");
        test::MakeCard(card);
        // The tool reads the settings file of this computer.
        TMainContext context = f.Context();
        context.computer_name = ComputerName();
        const std::string ini = f.Path(context.computer_name + ".ini");
        WindowFixture::WriteIni(ini, {{"DestRaw", f.Folder("RAW")},
                                      {"DestJpg", f.Folder("JPG")},
                                      {"DestOther", f.Folder("MOV")},
                                      {"MakeFolder", "2"},
                                      {"FileName", "1"},
                                      {"LastDateExec", "1"},
                                      {"LastCopyDateTime", "2026/11/03 10:00:02"},
                                      {"AppVer", "141"}});
        test::WriteFile(ini, test::ReadFile(ini) + "[FileKinds]\r\nOther=.thm\r\n");
        test::WriteFile(f.Path("Data/UCopySet.txt"), "Default\r\nTrip\r\n");
        test::WriteFile(f.Path("Data/UCopySet.ini"),
                        "[Trip]\r\nDestRow=" + f.Folder("T") + "\r\nDestJpg=" + f.Path("T") +
                            "\r\nDestOth=" + f.Path("T") +
                            "\r\nMakeFolderIdx=4\r\nFileNameIdx=3\r\n");
        const auto dry_rows = [&card](TFrmDCMain& window) {
            CopyRunContext run = window.Commands().MakeContext();
            run.settings.dry_run = true;
            RowCollector rows;
            RunCopyCommand(run, rows, card + "/DCIM", RunSourceKind::rsCard);
            return rows.Lines();
        };
        QStringList window_rows;
        {
            TFrmDCMain window(context);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.cboUserFolder->setEditText("  %Dyyyy-mm  ");
            window.cboUserFmt->setEditText(Q("  %C_%F-x  "));
            window_rows = dry_rows(window);
            QVERIFY(window.close());
        }
        QCOMPARE(window_rows, test::CliRows("--settings --dry-run " + card + "/DCIM"));
        {
            // A copy set picked in the window, and the same set named to the tool.
            TFrmDCMain window(context);
            window.show();
            window.cboCopySet->setCurrentIndex(1);
            emit window.cboCopySet->activated(1);
            QCOMPARE(window.cboCopySet->currentText(), QString("Trip"));
            QCOMPARE(dry_rows(window),
                     test::CliRows("--copy-set Trip --dry-run " + card + "/DCIM"));
            QVERIFY(window.close());
        }
        const QString rows = window_rows.join('\n');
        QVERIFY(rows.contains(QString::fromStdString("/2026-11/不明_IMGP0004-x.JPG")));
        // The stored cut-off skips the two files dated at or before it.
        QCOMPARE(rows.count(Q("最終取得日時以前のファイル")), 2);
        // The settings file's own extensions: the thumbnail goes with the movies.
        QVERIFY(rows.contains(QRegularExpression("/MOV/[0-9-]+/不明_IMGP0001-x.THM")));
    }

    // The destination and naming buttons reach their commands (whose rules are tst_main_rules'
    // tables).
    void buttonsAreWired() {
        auto w = MakeWindow({{"FileName", "1"}});
        QVERIFY(w);
        f.dialogs.QueueFolder(f.Folder("N"));
        QTest::mouseClick(w->btnDestJpeg, Qt::LeftButton);
        QCOMPARE(w->lblDestJpg->Path(), QString::fromStdString(f.Path("N")));
        QCOMPARE(w->cboCopySet->currentText(), QString("Default"));
        f.dialogs.QueueInput("Trip");
        QTest::mouseClick(w->btnAddCopySet, Qt::LeftButton);
        QCOMPARE(w->cboCopySet->Lines(), (QStringList{"Trip", "Default"}));
        QTest::mouseClick(w->btnDelFmt, Qt::LeftButton);
        QCOMPARE(w->cboUserFmt->currentText(), QString(kFormatHistoryFallback.data()));
        QTest::mouseClick(w->btnFmtHelp, Qt::LeftButton);
        QCOMPARE(f.shell.opened, std::vector<std::string>{f.Path("FmtHelp.txt")});
        QTest::mouseClick(w->btnCheckModelName, Qt::LeftButton);  // the file choice cancelled
        QCOMPARE(f.dialogs.asked().back().dialog, ScriptedDialogService::Dialog::kOpenFile);
    }

    // Every file of the application folder is taken from the folder the window was given, whatever
    // the environment says.
    void theGivenApplicationFolderIsUsed() {
        QTemporaryDir elsewhere;
        qputenv("PELKOCOPY_HOME", elsewhere.path().toUtf8());
        test::WriteFile(f.Path("ChangeModelName.txt"), "[Camera]\r\n不明=Body\r\n");
        test::WriteFile(f.Path("CardInfo.ini"), "[SD01]\r\nNAME=SanDisk\r\nSIZE=32\r\n");
        auto window = MakeWindow();
        QVERIFY(window);
        window->cboFileName->setCurrentIndex(1);
        window->cboUserFmt->setEditText("%C-%N");
        QCOMPARE(window->lblSampleFileName->text(),
                 Q("ファイル名生成のサンプル　(例 IMGP0123.JPG)　→　Body-0123.JPG"));

        TQtDialogService dialogs(window.get(), f.Home());
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
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
