#include "copy/time_remaining.h"

#include <algorithm>

#include "copy/transfer_stats.h"

namespace pelko {

namespace {

// "1,234"; FormatThousands leaves a zero blank, as the speed line wants it, but "0 枚" is meant.
std::string Grouped(std::int64_t value) {
    return value == 0 ? std::string("0") : FormatThousands(value);
}

// Rounded up, so that an estimate never promises less than it will take.
std::int64_t CeilDiv(std::int64_t value, std::int64_t by) {
    return (value + by - 1) / by;
}

}  // namespace

void TimeRemaining::Start(int files, std::int64_t bytes, std::uint64_t now_ms) {
    files_left_ = files;
    bytes_left_ = bytes;
    done_ = 0;
    started_ms_ = now_ms;
    samples_.assign(1, {now_ms, 0});
}

void TimeRemaining::FileDone(std::int64_t bytes, std::uint64_t now_ms) {
    files_left_ = std::max(0, files_left_ - 1);
    bytes = std::clamp<std::int64_t>(bytes, 0, bytes_left_);
    bytes_left_ -= bytes;
    done_ += bytes;
    samples_.push_back({now_ms, done_});
    // Keep one sample older than the window, so the window always has a start.
    while (samples_.size() > 2 && samples_[1].ms + kWindowMs <= now_ms)
        samples_.pop_front();
}

RemainingEstimate TimeRemaining::Estimate(std::uint64_t now_ms) const {
    RemainingEstimate estimate{files_left_, bytes_left_, std::nullopt};
    if (files_left_ == 0 || samples_.empty() || now_ms < started_ms_ + kFirstEstimateMs)
        return estimate;
    // Bytes done since the window's start, over the time since then up to now: a pause since
    // the last file lowers the rate as it goes on.
    const Sample& from = samples_.front();
    const std::int64_t bytes = done_ - from.done;
    const auto ms = static_cast<std::int64_t>(std::max<std::uint64_t>(1, now_ms - from.ms));
    if (bytes <= 0) return estimate;
    estimate.seconds = CeilDiv(bytes_left_ * ms, bytes * 1000);
    return estimate;
}

std::string RemainingTextJa(const RemainingEstimate& estimate) {
    std::string text = "残り " + Grouped(estimate.files_left) + " 枚";
    if (!estimate.seconds) return text;
    const std::int64_t s = *estimate.seconds;
    if (s < 60) return text + "　約 " + std::to_string(std::max<std::int64_t>(s, 1)) + " 秒";
    const std::int64_t minutes = CeilDiv(s, 60);
    if (minutes < 60) return text + "　約 " + std::to_string(minutes) + " 分";
    return text + "　約 " + std::to_string(minutes / 60) + " 時間 " + std::to_string(minutes % 60) +
           " 分";
}

std::string RemainingText(const RemainingEstimate& estimate) {
    std::string text = Grouped(estimate.files_left) + " files left";
    if (!estimate.seconds) return text;
    const std::int64_t s = *estimate.seconds;
    if (s < 60) return text + ", about " + std::to_string(std::max<std::int64_t>(s, 1)) + " s";
    const std::int64_t minutes = CeilDiv(s, 60);
    if (minutes < 60) return text + ", about " + std::to_string(minutes) + " min";
    return text + ", about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) +
           " min";
}

}  // namespace pelko
