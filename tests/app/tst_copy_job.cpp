#include <QtTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/card_fixture.h"
#include "app/copy_job.h"
#include "support/platform.h"

using namespace pelko;
namespace fs = std::filesystem;

namespace {

// What a window would show of a run.
struct Screen {
    std::vector<TResultRow> rows;
    int finished = 0;

    void Watch(TCopyJob& job) {
        QObject::connect(&job, &TCopyJob::runStarting, [this] { rows.clear(); });
        QObject::connect(&job, &TCopyJob::rowAdded,
                         [this](int row) { rows.resize(static_cast<std::size_t>(row) + 1); });
        QObject::connect(&job, &TCopyJob::rowChanged, [this](int row, const TResultRow& cells) {
            rows.at(static_cast<std::size_t>(row)) = cells;
        });
        QObject::connect(&job, &TCopyJob::finished, [this] { ++finished; });
    }
};

// A run that removes what it copied; `reader`, when given, stands in for the EXIF date reads.
CopyRunContext MakeContext(const std::string& out, ExifDateReader reader = nullptr) {
    CopyRunContext context;
    context.settings.remove_after_copy = true;
    context.naming.settings.exif_date = reader != nullptr;
    context.naming.exif_date_reader = std::move(reader);
    context.settings.dest_raw = out + "/raw";
    context.settings.dest_jpg = out + "/jpg";
    context.settings.dest_other = out + "/other";
    context.naming.settings.folder_mode = 3;
    context.naming.settings.file_name_mode = 2;
    context.naming.state.last_copy_cutoff = "2026/01/01 00:00:00";
    context.naming.state.newest_file_date = context.naming.state.last_copy_cutoff;
    context.naming.state.current_shot_date = "2026/12/07";
    return context;
}

// The number of files below a folder.
int CountFiles(const std::string& folder) {
    int n = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::end(it); ++it) {
        if (it->is_regular_file()) ++n;
    }
    return n;
}

}  // namespace

class TestCopyJob : public QObject {
    Q_OBJECT

    test::TempDir home_;

  private slots:
    void initTestCase() { qputenv("PELKOCOPY_HOME", QByteArray::fromStdString(home_.str())); }

    // A run reports every row and leaves the card as it says; the destructor of a job still
    // running stops it and waits for the committed state. (How long the event loop may wait
    // during a slow copy: bench_window gap.)
    void runsAndStopsAtTheEnd() {
        test::TempDir dir;
        test::MakeCard(dir / "card", 8);
        {
            TCopyJob job;
            Screen screen;
            screen.Watch(job);
            QVERIFY(job.Start(MakeContext(dir / "out"), dir / "card/DCIM", RunSourceKind::rsCard));
            QTRY_COMPARE_WITH_TIMEOUT(screen.finished, 1, 60000);
            QVERIFY(!job.Result().run.aborted);
            QCOMPARE(screen.rows.size(), std::size_t{13});
            QCOMPARE(CountFiles(dir / "card/DCIM"), 2);  // the thumbnail and the unlisted file

            // Leaving scope in the middle of a run stops it and waits for the commit.
            test::MakeCard(dir / "card2", 20);
            const auto slow_reader = [](const std::string&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return std::optional<std::string>();
            };
            QVERIFY(job.Start(MakeContext(dir / "out2", slow_reader), dir / "card2/DCIM",
                              RunSourceKind::rsCard));
            QTRY_VERIFY(screen.rows.size() >= 2);
        }
        // Every copied file left the card, every other one stayed: nothing half-done.
        const int copied = CountFiles(dir / "out2");
        QVERIFY(copied < 20);
        QCOMPARE(CountFiles(dir / "card2/DCIM"), 26 - copied);
    }
};

QTEST_MAIN(TestCopyJob)
#include "tst_copy_job.moc"
