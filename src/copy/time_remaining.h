#pragma once

// The estimate of a run's time remaining: files and bytes still to go, and the throughput of the
// last few seconds. The window of time is wide enough that one slow movie or a short pause moves
// the estimate gradually, not wildly; a long pause lets it grow as it should.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace pelko {

struct RemainingEstimate {
    int files_left = 0;
    std::int64_t bytes_left = 0;
    // Nothing until enough has been copied to tell a rate.
    std::optional<std::int64_t> seconds;
};

class TimeRemaining {
  public:
    // The throughput is taken over this much of the recent past...
    static constexpr std::uint64_t kWindowMs = 10000;
    // ...and no estimate is given before this much of the run has passed.
    static constexpr std::uint64_t kFirstEstimateMs = 2000;

    void Start(int files, std::int64_t bytes, std::uint64_t now_ms);
    // A file is done (copied, skipped or failed): `bytes` of the total are no longer to go.
    void FileDone(std::int64_t bytes, std::uint64_t now_ms);
    RemainingEstimate Estimate(std::uint64_t now_ms) const;

  private:
    struct Sample {
        std::uint64_t ms;
        std::int64_t done;  // bytes done by then
    };
    int files_left_ = 0;
    std::int64_t bytes_left_ = 0;
    std::int64_t done_ = 0;
    std::uint64_t started_ms_ = 0;
    std::deque<Sample> samples_;
};

// "残り 1,234 枚　約 3 分" (seconds under a minute, hours and minutes above an hour).
std::string RemainingTextJa(const RemainingEstimate& estimate);
// "1,234 files left, about 3 min" for the command-line tool.
std::string RemainingText(const RemainingEstimate& estimate);

}  // namespace pelko
