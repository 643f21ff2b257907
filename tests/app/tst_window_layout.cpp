#include <QAccessible>
#include <QDialogButtonBox>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QtTest>

#include "app/card_fixture.h"
#include "app/frm_sel_card.h"
#include "app/main_commands.h"
#include "app/qt_dialog_service.h"
#include "app/window_fixture.h"
#include "support/volumes.h"

using namespace pelko;
using pelko::test::WindowFixture;

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

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

}  // namespace

// What the main window shows and how it is reached: its title during a run, Qt's own texts,
// what a screen reader hears, the keyboard, and room for every text at the smallest size.
class TestWindowLayout : public QObject {
    Q_OBJECT

    WindowFixture f;
    FixedVolumeSource volumes_;

    using Keys = std::vector<std::pair<std::string, std::string>>;

    std::unique_ptr<TFrmDCMain> MakeWindow(Keys keys = {}) {
        keys.insert(keys.end(), {{"WindowMaxmized", "0"}, {"AppVer", "141"}});
        WindowFixture::WriteIni(f.IniPath(), keys);
        TMainContext context;
        context.dialogs = &f.dialogs;
        context.clock = &f.clock;
        context.volumes = &volumes_;
        context.app_folder = f.Home();
        context.temp_folder = f.Path("tmp");
        context.computer_name = test::kComputer;
        auto window = std::make_unique<TFrmDCMain>(context);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
        window->activateWindow();
        return window;
    }
    // A generated card as the only removable volume, and destinations for it.
    Keys InsertCard(int copies) {
        test::MakeCard(f.Path("card"), copies);
        MountedVolume card;
        card.mount_point = f.Path("card");
        card.removable = true;
        volumes_.SetVolumes({card});
        return {{"DestRaw", f.Folder("out/raw")},
                {"DestJpg", f.Folder("out/jpg")},
                {"DestOther", f.Folder("out/other")}};
    }

  private slots:
    void init() {
        f.Reset();
        volumes_.SetVolumes({});
    }

    // The run's progress is the window's title, nowhere else, and leaves with the run.
    void titleFollowsTheRun() {
        const Keys destinations = InsertCard(6);
        auto w = MakeWindow(destinations);
        QVERIFY(w);
        const QString caption = U(TFrmDCMain::kCaption);
        QCOMPARE(w->windowTitle(), caption);
        QSignalSpy finished(&w->Commands().Runs(), &TRunCommands::runFinished);
        w->btnExecuteClick();
        QVERIFY(QApplication::overrideCursor() != nullptr);
        emit w->Commands().Runs().Job().titleChanged("PelkoCopy - [ 3 / 11 ]");
        QCOMPARE(w->windowTitle(), QString("PelkoCopy - [ 3 / 11 ]"));
        // Dialogs take nothing of it: no display name is appended to their titles.
        QVERIFY(!QGuiApplication::applicationDisplayName().contains("["));
        QVERIFY(finished.wait(20000));
        QCOMPARE(w->windowTitle(), caption);
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // A window that goes away during a run gives the cursor back.
        w->btnExecuteClick();
        QVERIFY(w->Commands().Runs().Running());
        w.reset();
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void qtTextsAreJapanese() {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        QVERIFY(!InstallQtTranslations(QString::fromStdString(f.Path("none"))));
        if (!QFile::exists(folder + "/qtbase_ja.qm")) QSKIP("qtbase_ja.qm is not installed");
        QVERIFY(InstallQtTranslations());
        QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&').left(2), U("はい"));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QVERIFY(buttons.button(QDialogButtonBox::Cancel)->text().contains(U("キャンセル")));
    }

    // A screen reader hears what a sighted user reads: labels by their texts, drop-down lists
    // by their captions, each button by what it does.
    void screenReadersHearTheTexts() {
        auto w = MakeWindow({{"MakeFolder", "2"}, {"FileName", "1"}});
        QVERIFY(w);
        w->SetStatusText(2, U("　　コピー処理を中止しました"));
        w->lblProcessTime->setText(U("44枚　0.0MB　00:00　0.8MB/sec"));
        TFrmSelCard sel_card(w.get(), f.Path("CardInfo.ini"));
        const std::pair<QObject*, QString> cases[] = {
            {w->StatusPanel(0), U("処理")},
            {w->StatusPanel(2), U("　　コピー処理を中止しました")},
            {w->StatusPanel(3), w->StatusPanel(3)->text()},
            {w->lblProcessTime, U("44枚　0.0MB　00:00　0.8MB/sec")},
            {w->lblSampleFolder, w->lblSampleFolder->text()},
            {w->lblSampleFileName, w->lblSampleFileName->text()},
            {w->cboMakeFolder, U("コピー先のフォルダ")},
            {w->cboFileName, U("ファイル名")},
            {w->cboUserFolder, U("フォルダ名の書式")},
            {w->cboUserFmt, U("ファイル名の書式")},
            {w->cboCopySet, U("転送設定")},
            {w->btnDelFlder, U("フォルダ名の書式を削除")},
            {w->btnDelFmt, U("ファイル名の書式を削除")},
            {sel_card.findChild<QComboBox*>("cboSD"), U("カードを選択して下さい")},
        };
        for (const auto& [object, name] : cases) {
            QVERIFY2(!name.isEmpty(), qPrintable(object->objectName()));
            QCOMPARE(AccessibleName(object), name);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(w->StatusPanel(1))
                     ->text(QAccessible::Description),
                 U("進捗"));
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
        w->SetStatusText(2, U("　　コピー処理を中止しました"));
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

    // On a first start the destination column takes the grid's spare width; saved widths stand.
    void gridFillsItsWidthUntilWidthsAreSaved() {
        auto w = MakeWindow({{"FormWidth", "1280"}, {"FormHeight", "800"}});
        QVERIFY(w);
        const std::vector<int> widths = w->grdList->ColumnWidths();
        QTRY_COMPARE(widths[0] + w->grdList->columnWidth(1) + widths[2] + widths[3],
                     w->grdList->viewport()->width());
        QVERIFY(w->grdList->columnWidth(1) > 300);
        w->close();
        QCOMPARE(f.Key("GridW0"), std::string("200"));

        w = MakeWindow({{"GridW1", "250"}});
        QVERIFY(w);
        QCOMPARE(w->grdList->ColumnWidths(), (std::vector<int>{200, 250, 70, 100}));
    }
};

QTEST_MAIN(TestWindowLayout)
#include "tst_window_layout.moc"
