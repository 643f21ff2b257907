// The drive check that runs every five seconds: finding the card among the mounted volumes must
// cost the window well under 10 ms.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/card_watcher.h"
#include "support/volumes.h"

namespace {

void BM_FindMediaDrive(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pelko-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "card/DCIM");
    ::setenv("PELKOCOPY_EXTRA_MEDIA", (dir / "card").c_str(), 1);
    const pelko::SystemVolumeSource volumes;
    for (auto _ : state)
        benchmark::DoNotOptimize(pelko::FindMediaDrive(volumes));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FindMediaDrive)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
