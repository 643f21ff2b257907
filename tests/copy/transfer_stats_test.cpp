#include "copy/transfer_stats.h"

#include <gtest/gtest.h>

namespace pelko {
namespace {

TEST(TransferStats, SizeTexts) {
    // 1000 MB switches to gigabytes; sizes go beyond 32 bits.
    const std::pair<std::int64_t, const char*> cases[] = {{0, "0.0MB"},
                                                          {1024 * 1024, "1.0MB"},
                                                          {1'048'471'552, "999.9MB"},
                                                          {1'048'576'000, "0.977GB"},
                                                          {5'000'000'000'000, "4656.613GB"}};
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(TransferSizeText(bytes), text) << bytes;
    EXPECT_EQ(FormatFixed(2.25, 1), "2.3");  // halves away from zero
}

TEST(TransferStats, SpeedLineJoinsItsPartsWithIdeographicSpaces) {
    ManualClock clock({2010, 5, 20, 10, 0, 0, 0});
    clock.SetTick(5000);
    TransferStats stats(clock);
    stats.StartTransferTimer();
    EXPECT_EQ(stats.TransferText(), kSpeedCalculating);  // nothing yet

    for (int i = 0; i < 1234; ++i)
        stats.AddTransferredFile(690'422);               // ~812.5 MB
    EXPECT_EQ(stats.TransferText(), kSpeedCalculating);  // no tick has passed
    clock.Advance(161'000);
    clock.SetNow({2010, 5, 20, 10, 2, 41, 0});
    EXPECT_EQ(stats.TransferText(), "1,234枚　812.5MB　02:41　5.0MB/sec");

    // Whole hours are not shown.
    clock.SetNow({2010, 5, 20, 11, 2, 41, 0});
    EXPECT_EQ(stats.TransferText().substr(0, 26), "1,234枚　812.5MB　02:41");
}

}  // namespace
}  // namespace pelko
