#include "cli/stop_signals.h"

#include <csignal>

namespace pelko::cli {

namespace {

std::atomic<bool> g_stop{false};
volatile std::sig_atomic_t g_signal = 0;

extern "C" void OnStopSignal(int signal_number) {
    g_signal = signal_number;
    g_stop.store(true);
}

}  // namespace

ScopedStopSignals::ScopedStopSignals() {
    // Cleared before the handlers can set them: the flag is this command's.
    g_stop.store(false);
    g_signal = 0;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls, so that a signal never makes a write of the output fail.
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &previous_int_);
    ::sigaction(SIGTERM, &action, &previous_term_);
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &action, &previous_pipe_);
}

ScopedStopSignals::~ScopedStopSignals() {
    ::sigaction(SIGINT, &previous_int_, nullptr);
    ::sigaction(SIGTERM, &previous_term_, nullptr);
    ::sigaction(SIGPIPE, &previous_pipe_, nullptr);
}

std::atomic<bool>& ScopedStopSignals::Flag() {
    return g_stop;
}

int ScopedStopSignals::Signal() const {
    return g_signal;
}

}  // namespace pelko::cli
