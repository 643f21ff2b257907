#include <QApplication>
#include <QHeaderView>
#include <QtTest>
#include <filesystem>

#include "app/frm_scf_seiri.h"
#include "window_fixture.h"

using namespace pelko;

class TestSidecarWindow : public QObject {
    Q_OBJECT

    test::WindowFixture f;

    std::unique_ptr<TFrmSCFSeiri> Make() {
        return std::make_unique<TFrmSCFSeiri>(TSidecarWindowContext{
            &f.dialogs, f.Home(), test::kComputer, f.Path("raw"), {{".pef"}, {".jpg"}}});
    }
    std::string LastText() const { return f.dialogs.asked().back().text; }
    void Press(TFrmSCFSeiri& w, QPushButton* button) {
        button->click();
        QTRY_VERIFY(!w.Busy());
    }

  private slots:
    void init() { f.Reset(); }

    // Defaults from the RAW destination, then both roots, both options and the column widths
    // saved at close and restored at the next show.
    void settingsAreRestored() {
        auto w = Make();
        w->show();
        QCOMPARE(w->lblSideCarDir->Path().toStdString(), f.Path("raw"));
        QCOMPARE(w->lblPicDir->Path().toStdString(), f.Path("raw"));
        QVERIFY(!w->chkUseJPEG->isChecked() && !w->chkDeleteXmp->isChecked());
        QCOMPARE(w->grdList->ColumnWidths(), (std::vector<int>{250, 250, 60, 80}));
        f.dialogs.QueueFolder(f.Folder("s"));
        w->btnSideCar->click();
        f.dialogs.QueueFolder(f.Folder("p"));
        w->btnPic->click();
        w->chkUseJPEG->setChecked(true);
        w->chkDeleteXmp->setChecked(true);
        w->grdList->SetColumnWidths({300, 200, 70, 90});
        QVERIFY(w->close());

        auto again = Make();
        again->show();
        QCOMPARE(again->lblSideCarDir->Path().toStdString(), f.Path("s"));
        QCOMPARE(again->lblPicDir->Path().toStdString(), f.Path("p"));
        QVERIFY(again->chkUseJPEG->isChecked() && again->chkDeleteXmp->isChecked());
        QCOMPARE(again->grdList->ColumnWidths(), (std::vector<int>{300, 200, 70, 90}));
        QCOMPARE(test::WindowFixture::ReadIni(f.IniPath()).Read("FrmSCFSeiri_Position", "Width"),
                 std::optional<std::string>(std::to_string(w->width())));
    }

    // Nothing to do, No to the confirmation, the carry-out, the second press, and a check that
    // finds nothing and closes the window.
    void checkAndCarryOut() {
        test::WriteFile(f.Path("s/X/SILKYPIX_DS/IMGP0001.PEF.spd"), "edits");
        test::WriteFile(f.Path("s/A/IMGP0002.xmp"), "xmp");
        test::WriteFile(f.Path("p/Y/IMGP0001.PEF"), "raw");
        auto w = Make();
        w->show();
        w->lblSideCarDir->SetPath(QString::fromStdString(f.Path("s")));
        w->lblPicDir->SetPath(QString::fromStdString(f.Path("p")));
        Press(*w, w->btnExecute);
        QCOMPARE(LastText(), std::string("処理するファイルがありません"));

        Press(*w, w->btnCheck);
        QCOMPARE(w->Rows().size(), std::size_t{2});
        f.dialogs.QueueAnswer(MsgAnswer::kNo);
        Press(*w, w->btnExecute);
        QCOMPARE(LastText(), std::string("処理を開始しますか？"));
        QVERIFY(w->Rows()[0].outcome == TSidecarOutcome::soNone);
        QVERIFY(QFile::exists(QString::fromStdString(f.Path("s/A/IMGP0002.xmp"))));

        f.dialogs.QueueAnswer(MsgAnswer::kYes);
        Press(*w, w->btnExecute);
        QCOMPARE(LastText(), std::string("処理が完了しました"));
        for (const SidecarRow& row : w->Rows()) {
            QCOMPARE(SidecarCells(row)[3], std::string(row.IsMove() ? "移動OK" : "削除OK"));
        }
        QCOMPARE(test::ReadFile(f.Path("p/Y/SILKYPIX_DS/IMGP0001.PEF.spd")), std::string("edits"));
        Press(*w, w->btnExecute);
        QCOMPARE(LastText(), std::string("整理済みです"));

        Press(*w, w->btnCheck);
        QCOMPARE(LastText(), std::string("アンマッチのサイドカーファイルは有りませんでした"));
        QVERIFY(!w->isVisible());
    }

    // Opened from the main window with its RAW destination; at its minimum size every control
    // shows its whole caption.
    void openedFromMainAndNothingClipped() {
        auto main = f.MakeWindow();
        main->show();
        main->lblDestRaw->SetPath(QString::fromStdString(f.Folder("R")));
        QString shown;
        QTimer::singleShot(0, [&shown] {
            auto* dialog = qobject_cast<TFrmSCFSeiri*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            shown = dialog->lblPicDir->Path();
            dialog->close();
        });
        main->btnSideCarSeiri->click();
        QCOMPARE(shown.toStdString(), f.Path("R"));
        main->close();

        auto w = Make();
        w->show();
        w->resize(w->minimumSize());
        QCOMPARE(w->size(), QSize(TFrmSCFSeiri::kMinWidth, TFrmSCFSeiri::kMinHeight));
        QApplication::processEvents();
        for (QWidget* c : w->findChildren<QWidget*>()) {
            const bool caption = qobject_cast<QLabel*>(c) && c->objectName().endsWith("Caption");
            if (!c->isVisible() || (!caption && !qobject_cast<QAbstractButton*>(c))) continue;
            QVERIFY2(c->width() >= c->sizeHint().width(), qPrintable(c->objectName()));
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
        }
        if (const QByteArray dir = qgetenv("PELKO_SCREENSHOT_DIR"); !dir.isEmpty()) {
            w->grab().save(QString::fromUtf8(dir) + "/sidecar-min.png");
        }
    }
};

QTEST_MAIN(TestSidecarWindow)
#include "tst_sidecar_window.moc"
