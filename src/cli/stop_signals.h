#pragma once

// Ctrl+C and SIGTERM (logout, a service stopped, timeout) stop a command before its next file or
// row, as Esc does in the window: the command's work reads the stop flag. A reader of the output
// that went away must not kill a command halfway, so SIGPIPE is ignored and the failed write
// stops it instead.

#include <signal.h>

#include <atomic>

namespace pelko::cli {

// While one lives the handlers are in place; the flag and the signal start cleared, and the
// handlers before are restored at the end. One at a time.
class ScopedStopSignals {
  public:
    ScopedStopSignals();
    ~ScopedStopSignals();
    ScopedStopSignals(const ScopedStopSignals&) = delete;
    ScopedStopSignals& operator=(const ScopedStopSignals&) = delete;

    // Set by a signal, or by the command itself (output that cannot be written).
    std::atomic<bool>& Flag();
    // The signal that stopped the command; 0 when none did.
    int Signal() const;

  private:
    struct sigaction previous_int_ = {};
    struct sigaction previous_term_ = {};
    struct sigaction previous_pipe_ = {};
};

}  // namespace pelko::cli
