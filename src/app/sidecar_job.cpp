#include "app/sidecar_job.h"

#include <QMetaObject>
#include <system_error>

namespace pelko {

void TSidecarJob::Cancel() {
    on_done_ = nullptr;
    Abort();
    if (worker_.joinable()) worker_.join();
    running_ = false;
}

bool TSidecarJob::Start(Work work, std::function<void()> on_done) {
    if (running_) return false;
    if (worker_.joinable()) worker_.join();
    running_ = true;
    stop_.store(false);
    on_done_ = std::move(on_done);
    const unsigned generation = ++generation_;
    const auto run = [this, generation, work = std::move(work)] {
        // Nothing may cross the thread as an exception; the window shows what was done.
        try {
            work(stop_);
        } catch (...) {
        }
        // A job that Wait() already finished, or one started after it, is not this one.
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == generation_) Finish();
            },
            Qt::QueuedConnection);
    };
    try {
        worker_ = std::thread(run);
    } catch (const std::system_error&) {
        Finish();
    }
    return true;
}

void TSidecarJob::Wait() {
    if (running_) Finish();
}

void TSidecarJob::Finish() {
    if (!running_) return;
    if (worker_.joinable()) worker_.join();
    running_ = false;
    const std::function<void()> done = std::move(on_done_);
    on_done_ = nullptr;
    if (done) done();
}

}  // namespace pelko
