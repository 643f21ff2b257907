#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/card_watcher.h"
#include "common/test_util.h"
#include "support/volumes.h"

using namespace pelko;

namespace {

MountedVolume Removable(const std::string& mount_point, bool removable = true) {
    MountedVolume volume;
    volume.mount_point = mount_point;
    volume.removable = removable;
    return volume;
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

class TestCardWatcher : public QObject {
    Q_OBJECT

  private slots:
    // The strongest missing item is reported; the copy command waits for all four.
    void statusPrecedence() {
        const struct {
            bool card, raw, jpeg, other;
            std::string_view hint;
        } cases[] = {
            {true, true, true, true, kHintEscAborts},
            {false, true, true, true, kHintInsertCard},
            {false, false, false, false, kHintInsertCard},
            {true, false, false, true, kHintNoRawFolder},
            {true, true, false, false, kHintNoJpegFolder},
            {true, true, true, false, kHintNoOtherFolder},
        };
        for (const auto& c : cases) {
            const std::optional<std::string> found =
                c.card ? std::optional<std::string>("/media/u/CARD/DCIM") : std::nullopt;
            const DriveCheck check = EvaluateDriveCheck(found, {c.raw, c.jpeg, c.other});
            QCOMPARE(Q(check.hint), Q(c.hint));
            QCOMPARE(check.ready, c.card && c.raw && c.jpeg && c.other);
            QCOMPARE(check.source_path, found.value_or(""));
        }
    }

    void findsTheFirstReadyRemovableCard() {
        test::TempDir dir;
        test::WriteFile(dir / "a-fixed/DCIM/100PENTX/IMGP0001.JPG", "x");
        test::WriteFile(dir / "b-empty/readme.txt", "x");
        test::WriteFile(dir / "c-file/DCIM", "not a folder");
        test::WriteFile(dir / "d-lower/dcim/100PENTX/IMGP0002.JPG", "x");
        test::WriteFile(dir / "e-upper/DCIM/100PENTX/IMGP0003.JPG", "x");
        FixedVolumeSource volumes({Removable(dir / "a-fixed", false), Removable(dir / "b-empty"),
                                   Removable(dir / "c-file"), Removable(dir / "gone"),
                                   Removable(dir / "d-lower"), Removable(dir / "e-upper")});
        // Lower case is found and shown as it is spelt on the card.
        QCOMPARE(FindMediaDrive(volumes).value_or("none"), dir / "d-lower/dcim");
        volumes.SetVolumes({Removable(dir / "e-upper"), Removable(dir / "d-lower")});
        QCOMPARE(FindMediaDrive(volumes).value_or("none"), dir / "e-upper/DCIM");
        volumes.SetVolumes({Removable(dir / "a-fixed", false), Removable(dir / "b-empty")});
        QVERIFY(!FindMediaDrive(volumes).has_value());
    }

    // The controls follow a check: source path, copy command, hint, bar colour, restore.
    void checkUpdatesTheWindow() {
        test::TempDir dir;
        test::WriteFile(dir / "card/DCIM/x.jpg", "x");
        for (const char* folder : {"raw", "jpg", "other"})
            std::filesystem::create_directories(dir / folder);
        FixedVolumeSource volumes;
        QWidget window;
        auto* source = new QLabel(&window);
        auto* execute = new QPushButton(&window);
        auto* eject = new QPushButton(&window);
        auto* restore = new QCheckBox(&window);
        auto* bar = new QWidget(&window);
        auto* hint = new QLabel(bar);
        std::array<std::string, 3> dests = {dir / "raw", dir / "jpg", dir / "other"};
        TCardWatcher watcher(volumes, {&window,
                                       [&](const std::string& path) {
                                           source->setText(QString::fromStdString(path));
                                       },
                                       execute, eject, restore, bar, hint, [&] { return dests; }});
        const QColor normal = QApplication::palette().color(QPalette::Button);

        window.showMinimized();
        restore->setChecked(true);
        watcher.Check();  // no card: stays down, yellow
        QVERIFY(window.isMinimized());
        QVERIFY(!execute->isEnabled() && !eject->isEnabled());
        QCOMPARE(hint->text(), Q(kHintInsertCard));
        QCOMPARE(bar->palette().color(QPalette::Window), QColor(Qt::yellow));
        QVERIFY(source->text().isEmpty());

        volumes.SetVolumes({Removable(dir / "card")});
        restore->setChecked(false);
        watcher.Check();  // card, but the user did not ask for the restore
        QVERIFY(window.isMinimized());
        QVERIFY(execute->isEnabled() && eject->isEnabled());
        QCOMPARE(source->text(), QString::fromStdString(dir / "card/DCIM"));
        QCOMPARE(hint->text(), Q(kHintEscAborts));
        QCOMPARE(bar->palette().color(QPalette::Window), normal);

        restore->setChecked(true);
        watcher.Check();
        QVERIFY(!window.isMinimized());

        dests[1] = dir / "missing";
        watcher.Check();
        QVERIFY(!execute->isEnabled());
        QCOMPARE(hint->text(), Q(kHintNoJpegFolder));
        QCOMPARE(bar->palette().color(QPalette::Window), QColor(Qt::yellow));
        QVERIFY(eject->isEnabled());  // a card without destinations can still be taken out

        // Ejected: said until a card is found again.
        watcher.MarkEjected();
        volumes.SetVolumes({});
        watcher.Check();
        QCOMPARE(hint->text(), Q(kHintEjected));
        QVERIFY(!eject->isEnabled());
        volumes.SetVolumes({Removable(dir / "card")});
        watcher.Check();
        volumes.SetVolumes({});
        watcher.Check();
        QCOMPARE(hint->text(), Q(kHintInsertCard));
    }
};

QTEST_MAIN(TestCardWatcher)
#include "tst_card_watcher.moc"
