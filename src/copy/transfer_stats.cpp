#include "copy/transfer_stats.h"

#include <cmath>
#include <cstdio>

namespace pelko {

namespace {

std::int64_t MillisecondsOf(const DateTime& dt) {
    return static_cast<std::int64_t>(dt.ToTimeT()) * 1000 + dt.millisecond;
}

std::string TwoDigits(std::int64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%02lld", static_cast<long long>(value));
    return buffer;
}

}  // namespace

std::string FormatThousands(std::int64_t value) {
    if (value == 0) return {};
    const bool negative = value < 0;
    // Unsigned so that the most negative value does not overflow.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string FormatFixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded);
    return buffer;
}

std::string TransferSizeText(std::int64_t bytes) {
    const double megabytes = static_cast<double>(bytes) / 1024 / 1024;
    if (megabytes < 1000) return FormatFixed(megabytes, 1) + "MB";
    return FormatFixed(static_cast<double>(bytes) / 1024 / 1024 / 1024, 3) + "GB";
}

void TransferStats::StartTransferTimer() {
    files_done_ = 0;
    bytes_done_ = 0;
    start_time_ = clock_.Now();
    start_tick_ = clock_.TickMs();
}

void TransferStats::AddTransferredFile(std::int64_t size) {
    ++files_done_;
    bytes_done_ += size;
}

std::string TransferStats::TransferText() const {
    const std::uint64_t tick = clock_.TickMs();
    const std::uint64_t elapsed_ms = tick > start_tick_ ? tick - start_tick_ : 0;
    const double seconds = static_cast<double>(elapsed_ms) / 1000;

    std::int64_t wall_ms = MillisecondsOf(clock_.Now()) - MillisecondsOf(start_time_);
    if (wall_ms < 0) wall_ms = 0;
    const std::int64_t wall_seconds = wall_ms / 1000;
    // Whole hours are not shown: the minutes run on from 00 after 59.
    const std::string time_text =
        TwoDigits((wall_seconds / 60) % 60) + ":" + TwoDigits(wall_seconds % 60);

    if (files_done_ <= 0 || seconds <= 0) return std::string(kSpeedCalculating);
    const std::string count_text = FormatThousands(files_done_) + "枚";
    const double speed = static_cast<double>(bytes_done_) / seconds / 1024 / 1024;
    return count_text + "　" + TransferSizeText(bytes_done_) + "　" + time_text + "　" +
           FormatFixed(speed, 1) + "MB/sec";
}

}  // namespace pelko
