// What the statistics mode adds to a card run: 1,000 shots counted in ImgCount.txt alone
// (ModeSpUser) and also in the day's row of PelkoData.db (Mode). The database lives in the
// application folder, on disk; ImgCount.txt in the per-user temporary folder, often a tmpfs.
//   build/bench/bench_statistics [APP_FOLDER [TEMP_FOLDER]]   (default: fresh folders in /tmp)

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "copy/card_statistics.h"
#include "support/platform.h"

namespace {

constexpr int kShots = 1000;

double CountShots(const std::string& app, const std::string& temp, bool mode) {
    std::filesystem::remove_all(app);
    std::filesystem::remove_all(temp);
    std::filesystem::create_directories(app);
    std::filesystem::create_directories(temp);
    const pelko::SystemClock clock;
    pelko::ICardStatisticsView view;
    pelko::TShotCounts counts;
    pelko::TCardStatistics statistics({app, temp}, mode, clock, view, counts);
    if (mode) statistics.OpenDatabase();
    statistics.LoadCameraTally();
    const auto start = std::chrono::steady_clock::now();
    char name[32];
    for (int i = 1; i <= kShots; ++i) {
        std::snprintf(name, sizeof name, "IMGP%04d.JPG", i);
        statistics.CountShot(name, i % 2 == 0 ? "2026/11/03" : "2026/11/04");
    }
    statistics.SaveShotCounts();  // at the end of the run
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    statistics.CloseDatabase();
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string base = "/tmp/bench_statistics-" + std::to_string(::getpid());
    const std::string app = argc > 1 ? argv[1] : base + "/app";
    const std::string temp = argc > 2 ? argv[2] : base + "/temp";
    for (const bool mode : {false, true}) {
        const double seconds = CountShots(app, temp, mode);
        std::printf("%d shots, %-26s %8.1f ms  (%.3f ms a shot)\n", kShots,
                    mode ? "ImgCount.txt and database:" : "ImgCount.txt only:", seconds * 1000,
                    seconds * 1000 / kShots);
    }
    if (argc <= 1) std::filesystem::remove_all(base);
    return 0;
}
