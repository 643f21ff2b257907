// Naming speed: a card of 10,000 files must be named in a blink, so one evaluation of a typical
// user format has to stay around a microsecond or less.

#include <benchmark/benchmark.h>

#include <string>

#include "naming/date_format.h"
#include "naming/user_format.h"

namespace {

constexpr pelko::DateTime kShot{2009, 4, 10, 12, 45, 10, 0};

void BM_EvaluateUserFormat(benchmark::State& state) {
    const std::string format = "%Dyyyymmdd-hhnnss-%N-%P";
    for (auto _ : state) {
        std::string name = pelko::EvaluateUserFormat("IMGP0123.JPG", ".JPG", format, kShot);
        benchmark::DoNotOptimize(name);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateUserFormat);

void BM_EvaluateUserFormatJapanese(benchmark::State& state) {
    const std::string format = "%W学芸会 %Dgee'年'mm'月'dd'日' hh'時'nn'分'ss'秒' %N%R('IMGP','K')";
    for (auto _ : state) {
        std::string name = pelko::EvaluateUserFormat("IMGP0123.JPG", ".JPG", format, kShot);
        benchmark::DoNotOptimize(name);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateUserFormatJapanese);

void BM_DatePattern(benchmark::State& state) {
    std::string out;
    for (auto _ : state) {
        out.clear();
        pelko::AppendDatePattern(out, "yyyy-mm-dd hh:nn:ss (aaaa)", kShot);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DatePattern);

}  // namespace

BENCHMARK_MAIN();
