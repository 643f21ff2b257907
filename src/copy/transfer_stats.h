#pragma once

// Running statistics of one copy run: files and bytes counted as transferred, and the speed line
// shown after each file.

#include <cstdint>
#include <string>
#include <string_view>

#include "support/date_time.h"
#include "support/platform.h"

namespace pelko {

inline constexpr std::string_view kSpeedCalculating = "計算中・・・";
inline constexpr std::string_view kSpeedTooShort = "測定可能時間以下でした (^^";

class TransferStats {
  public:
    explicit TransferStats(const IClock& clock) : clock_(clock) {}

    void StartTransferTimer();
    void AddTransferredFile(std::int64_t size);
    // "1,234枚　812.5MB　02:41　5.0MB/sec", or "計算中・・・" before anything measurable.
    std::string TransferText() const;

    std::int32_t FilesDone() const { return files_done_; }
    std::int64_t BytesDone() const { return bytes_done_; }

  private:
    const IClock& clock_;
    std::int32_t files_done_ = 0;
    std::int64_t bytes_done_ = 0;
    DateTime start_time_{};
    std::uint64_t start_tick_ = 0;
};

// Digits with "," between thousands ("#,###": empty for 0).
std::string FormatThousands(std::int64_t value);
// Fixed decimals, halves rounded away from zero ("0.0", "0.000").
std::string FormatFixed(double value, int decimals);
// Size of a transfer: "976.6MB" below 1000 MB, else "1.024GB".
std::string TransferSizeText(std::int64_t bytes);

}  // namespace pelko
