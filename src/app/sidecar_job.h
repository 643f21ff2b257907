#pragma once

// TSidecarJob: one piece of the sidecar tidy (the searches, or carrying the list out) on a worker
// thread, so the window stays responsive on a large tree. The work reads the stop flag; what it
// finished with is handed back on the job's own thread.

#include <QObject>
#include <atomic>
#include <functional>
#include <thread>

namespace pelko {

class TSidecarJob : public QObject {
  public:
    using Work = std::function<void(const std::atomic<bool>& stop)>;

    explicit TSidecarJob(QObject* parent = nullptr) : QObject(parent) {}
    ~TSidecarJob() override { Cancel(); }
    TSidecarJob(const TSidecarJob&) = delete;
    TSidecarJob& operator=(const TSidecarJob&) = delete;

    // Runs work on a worker; on_done runs on this object's thread once it has ended. False while
    // a job is running.
    bool Start(Work work, std::function<void()> on_done);
    // Asks the work to stop before its next item; any thread.
    void Abort() { stop_.store(true); }
    bool Running() const { return running_; }
    // Blocks until the work has ended, then runs on_done. Nothing happens when idle.
    void Wait();
    // Stops the work and waits for it without running on_done: for an owner going away.
    void Cancel();

  private:
    void Finish();

    std::thread worker_;
    std::atomic<bool> stop_{false};
    bool running_ = false;
    unsigned generation_ = 0;
    std::function<void()> on_done_;
};

}  // namespace pelko
