#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include "app/frm_kind.h"
#include "app/frm_sel_card.h"
#include "common/test_util.h"

using namespace pelko;

class TestCardDialogs : public QObject {
    Q_OBJECT

  private slots:
    void cardListLeavesOutTallies() {
        test::TempDir dir;
        const std::string ini = dir / "CardInfo.ini";
        test::WriteFile(ini,
                        "[K5]\r\nIMGP=120\r\n[SD001]\r\nNAME=SanDisk\r\nCLAS=Class10\r\nSIZE=32\r\n"
                        "[K20D]\r\nIMGP=4\r\n[k-01]\r\nIMGP=9\r\n[SD002]\r\nSIZE=8\r\n");
        const std::vector<CardListItem> items = ReadCardList(ini);
        QCOMPARE(items.size(), std::size_t{2});
        QCOMPARE(QString::fromStdString(items[0].text), QString("SanDisk Class10 32GB"));
        QCOMPARE(QString::fromStdString(items[0].id), QString("SD001"));
        // Missing keys take their defaults.
        QCOMPARE(QString::fromStdString(items[1].text), QString("UnKnown  8GB"));

        QWidget main;
        main.setGeometry(100, 50, 800, 600);
        TFrmSelCard dialog(&main, ini);
        dialog.show();
        auto* list = dialog.findChild<QComboBox*>("cboSD");
        QCOMPARE(list->count(), 2);
        QCOMPARE(QString::fromStdString(dialog.SelectedCard()), QString("SD001"));
        list->setCurrentIndex(1);
        QCOMPARE(QString::fromStdString(dialog.SelectedCard()), QString("SD002"));
        QCOMPARE(dialog.pos(),
                 TFrmSelCard::Placement(main.frameGeometry(), dialog.frameGeometry().size()));
        dialog.close();

        // Each show lists the file anew; without cards the answer is empty.
        test::WriteFile(ini, "[K5]\r\nIMGP=1\r\n");
        dialog.show();
        QCOMPARE(list->count(), 0);
        QVERIFY(dialog.SelectedCard().empty());
        QVERIFY(ReadCardList(dir / "missing.ini").empty());
    }

    void cardDialogPlacement() {
        QCOMPARE(TFrmSelCard::Placement(QRect(100, 50, 800, 600), QSize(301, 101)),
                 QPoint(100 + 499 / 2, 50 + 499 / 4));
        QCOMPARE(TFrmSelCard::Placement(QRect(0, 0, 200, 100), QSize(300, 200)), QPoint(-50, -25));
    }

    void kindFollowsTheButtonPressed() {
        QWidget main;
        TFrmKind dialog(&main);
        const auto press = [&](const char* button) {
            dialog.show();
            QCOMPARE(dialog.focusWidget(), dialog.findChild<QPushButton*>("btnCopy"));
            if (*button == '\0') {
                dialog.reject();
            } else {
                QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
            }
            QVERIFY(!dialog.isVisible());
        };
        // Each show starts afresh: a result from the show before does not carry over.
        for (const auto& [button, result] : {std::pair{"btnReName", kKindRename},
                                             {"btnCopy", kKindCopy},
                                             {"btnCancel", kKindCancel},
                                             {"btnReName", kKindRename},
                                             {"", kKindCancel}}) {
            press(button);
            QCOMPARE(dialog.Result(), result);
        }
    }
};

QTEST_MAIN(TestCardDialogs)
#include "tst_card_dialogs.moc"
