#include "copy/time_remaining.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

// A run of 100 files of 1 MB at 10 files a second, with a scripted clock: what the estimate says
// after each event. A slow file and a pause move it gradually; nothing is promised in the first
// seconds.
TEST(TimeRemaining, SteadySlowFileAndPause) {
    constexpr std::int64_t kMB = 1 << 20;
    struct Step {
        const char* what;
        int files;          // files done at 100 ms each before the check
        std::uint64_t gap;  // then this long without a file
        std::int64_t big;   // then one file of this many bytes done (0: none)
        const char* said;
    };
    const Step steps[] = {
        {"too early to tell", 10, 0, 0, "残り 90 枚"},
        {"steady: 10 MB/s, 119 MB to go", 20, 0, 0, "残り 70 枚　約 12 秒"},
        {"a 50 MB movie taking 10 s halves the rate", 0, 10000, 50 * kMB, "残り 69 枚　約 14 秒"},
        {"the movie still in the window", 30, 0, 0, "残り 39 枚　約 7 秒"},
        {"a pause lowers the rate as it lasts", 0, 30000, 0, "残り 39 枚　約 21 秒"},
    };
    TimeRemaining estimate;
    estimate.Start(100, 149 * kMB, 0);
    std::uint64_t now = 0;
    for (const Step& step : steps) {
        for (int i = 0; i < step.files; ++i)
            estimate.FileDone(kMB, now += 100);
        now += step.gap;
        if (step.big > 0) estimate.FileDone(step.big, now);
        EXPECT_EQ(RemainingTextJa(estimate.Estimate(now)), step.said) << step.what;
    }
    while (estimate.Estimate(now).files_left > 0)
        estimate.FileDone(kMB, now += 100);
    EXPECT_EQ(RemainingText(estimate.Estimate(now)), "0 files left");
    // Large counts and long runs read as people write them.
    EXPECT_EQ(RemainingTextJa({1234, 0, 3 * 3600 + 61}), "残り 1,234 枚　約 3 時間 2 分");
    EXPECT_EQ(RemainingText({1234567, 0, 150}), "1,234,567 files left, about 3 min");
}

}  // namespace
}  // namespace pelko
