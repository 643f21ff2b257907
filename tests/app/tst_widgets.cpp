#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

#include "ui/result_grid.h"
#include "ui/sort_combo.h"

using namespace pelko;

namespace {

TResultRow Row(TCopyOutcome copy, TDeleteOutcome removal) {
    return {"/card/DCIM/IMGP0001.JPG", "/photos/IMGP0001.JPG", TFileKind::fkJpeg, copy, removal};
}

}  // namespace

class TestWidgets : public QObject {
    Q_OBJECT

  private slots:
    void sortComboCommitsWhenTheEditEnds() {
        QWidget window;
        auto* combo = new TSortCombo(&window);
        auto* other = new QLineEdit(&window);
        combo->move(0, 0);
        other->move(0, 40);
        combo->SetLines({"a"});
        combo->SetRejectedChars("\\/:*?\"<>|");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        combo->setFocus();
        QTRY_VERIFY(combo->hasFocus());
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), "x/y:z");
        QCOMPARE(combo->currentText(), QString("xyz"));
        other->setFocus();
        QTRY_COMPARE(combo->Lines(), (QStringList{"xyz", "a"}));
        // The commit rule itself is the settings value's; the combo keeps at most a hundred lines.
        QStringList many;
        for (int i = 0; i < 150; ++i)
            many << QString::number(i);
        combo->SetLines(many);
        QCOMPARE(combo->count(), 100);
    }

    // A row's colours follow its outcomes, not its texts: a failed removal marks the whole row,
    // and a row of no kind stays plain.
    void gridColoursCellsByOutcome() {
        const TResultStyles styles = TResultStyles::Defaults();
        const std::tuple<TCopyOutcome, TDeleteOutcome, int, QColor> cases[] = {
            {TCopyOutcome::coCopied, TDeleteOutcome::doNotAsked, 2,
             styles.CopyStyle(TCopyOutcome::coCopied).background},
            {TCopyOutcome::coNameTaken, TDeleteOutcome::doSkipped, 0,
             styles.CopyStyle(TCopyOutcome::coNameTaken).background},
            {TCopyOutcome::coFailed, TDeleteOutcome::doSkipped, 2,
             styles.CopyStyle(TCopyOutcome::coFailed).background},
            {TCopyOutcome::coCopied, TDeleteOutcome::doFailed, 0,
             styles.RemovalStyle(TDeleteOutcome::doFailed).background},
            {TCopyOutcome::coCopied, TDeleteOutcome::doDeleted, 3,
             styles.RemovalStyle(TDeleteOutcome::doDeleted).background},
            {TCopyOutcome::coNone, TDeleteOutcome::doNone, 2, QColor()},
        };
        for (const auto& [copy, removal, column, background] : cases) {
            TResultGridModel model;
            model.AppendRow(Row(copy, removal));
            const QVariant shown = model.data(model.index(0, column), Qt::BackgroundRole);
            QCOMPARE(shown.isValid() ? shown.value<QColor>() : QColor(), background);
        }
    }

    // The grid holds 100,000 rows and follows the last one (how fast: bench_window grid).
    void gridHoldsAHundredThousandRows() {
        TResultGridModel model;
        TGridView view;
        view.setModel(&model);
        view.resize(800, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < 100; ++i) {
            model.AppendRows(std::vector<TResultRow>(
                1000, Row(i % 7 == 0 ? TCopyOutcome::coFailed : TCopyOutcome::coCopied,
                          TDeleteOutcome::doNotAsked)));
            QCoreApplication::processEvents();
        }
        QCOMPARE(model.rowCount(), 100000);
        QScrollBar* bar = view.verticalScrollBar();
        QTRY_COMPARE(bar->value(), bar->maximum());

        // Rows arriving while the user looks further up leave the view where it is; back at the
        // end, it follows again, also when the view gets shorter (the speed line appearing).
        auto arrive = [&] {
            model.AppendRows(std::vector<TResultRow>(
                50, Row(TCopyOutcome::coCopied, TDeleteOutcome::doNotAsked)));
            QCoreApplication::processEvents();
        };
        bar->setValue(0);
        arrive();
        QCOMPARE(bar->value(), 0);
        bar->setValue(bar->maximum());
        arrive();
        view.resize(800, 300);
        QTRY_COMPARE(bar->value(), bar->maximum());
        QCOMPARE(view.rowAt(view.viewport()->height() - 1), model.rowCount() - 1);

        view.SetColumnWidths({120, 0, 90});  // short list, one damaged width
        const std::vector<int> widths = view.ColumnWidths();
        QCOMPARE(widths.size(), std::size_t{4});
        QCOMPARE(widths[0], 120);
        QVERIFY(widths[1] >= 20);
        QCOMPARE(widths[2], 90);

        // A stretched column fills the width left, and keeps it until the user sizes a column.
        view.SetStretchColumn(1);
        const auto filled = [&] {
            int sum = 0;
            for (int width : view.ColumnWidths())
                sum += width;
            return sum == view.viewport()->width();
        };
        QVERIFY(filled());
        view.resize(1000, 300);
        QTRY_VERIFY(filled());
        // Rows that bring the vertical scroll bar take its width from the stretched column, also
        // after the window asked for the stretch again (as its restore does).
        model.Clear();
        QTRY_VERIFY(!view.verticalScrollBar()->isVisible() && filled());
        view.SetStretchColumn(1);
        model.AppendRows(
            std::vector<TResultRow>(100, Row(TCopyOutcome::coCopied, TDeleteOutcome::doNotAsked)));
        QTRY_VERIFY(view.verticalScrollBar()->isVisible());
        QTRY_VERIFY(filled());
        view.horizontalHeader()->resizeSection(0, 200);  // as the user's mouse does
        const int kept = view.columnWidth(1);
        view.resize(900, 300);
        QCoreApplication::processEvents();
        QCOMPARE(view.columnWidth(1), kept);
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
