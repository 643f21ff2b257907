#include "app/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace pelko {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int quit_pipe[2] = {-1, -1};

// Only what is safe in a signal handler: one write, errno kept.
void OnQuitSignal(int signal_number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal_number);
    [[maybe_unused]] const ssize_t written = ::write(quit_pipe[1], &byte, 1);
    errno = saved;
}

void SetHandler(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal_number : kSignals)
        ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

TQuitSignals::TQuitSignals(QObject* parent) : QObject(parent) {
    if (quit_pipe[0] >= 0 || ::pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(quit_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        int last = 0;
        while (::read(quit_pipe[0], &byte, 1) == 1)
            last = byte;
        if (last != 0) emit quitRequested(last);
    });
    SetHandler(OnQuitSignal);
}

TQuitSignals::~TQuitSignals() {
    if (!notifier_) return;
    SetHandler(SIG_DFL);
    notifier_.reset();
    for (int& fd : quit_pipe) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace pelko
