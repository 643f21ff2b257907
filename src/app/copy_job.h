#pragma once

// TCopyJob: one copy or folder command on a worker thread. The engine's events come back to the
// thread that owns the job as signals through a RunEventQueue, delivered ten times a second.
// Abort() stops the run before its next file, also while its files are still being listed; the
// destructor aborts and waits until what was copied is committed.

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <string>
#include <thread>

#include "app/run_event_queue.h"
#include "copy/copy_run.h"
#include "copy/result_row.h"

namespace pelko {

class TCopyJob : public QObject {
    Q_OBJECT

  public:
    explicit TCopyJob(QObject* parent = nullptr);
    ~TCopyJob() override;
    TCopyJob(const TCopyJob&) = delete;
    TCopyJob& operator=(const TCopyJob&) = delete;

    // Lists source_folder and runs its files with the context; false while a run is going on.
    bool Start(CopyRunContext context, std::string source_folder, RunSourceKind kind);
    // Stops the run before its next file; any thread.
    void Abort();
    bool Running() const { return running_; }
    // Blocks until the run has ended and committed, then delivers its remaining events and
    // finished(). Nothing happens when no run is going on.
    void Wait();

    // After finished(): the context with the dates and the speed line the run carried on, and
    // what the command ended with.
    const CopyRunContext& Context() const { return context_; }
    const CommandResult& Result() const { return result_; }

  signals:
    void runStarting();
    void progressMaximum(int maximum);
    void progressPosition(int position);
    void progressText(const QString& text);
    void titleChanged(const QString& title);
    // Rows up to `row` exist, blank until changed; several rows may come in one signal.
    void rowAdded(int row);
    void rowChanged(int row, const pelko::TResultRow& cells);
    void speedTextChanged(const QString& text, bool finished);
    void statusChanged(const QString& text);
    // The run is over and every event before it was delivered.
    void finished();

  private:
    class Relay;
    friend class Relay;

    // Hands what the worker queued to the window, a slice at a time so the window stays
    // responsive; `all` empties the queue.
    void Deliver(bool all);
    void Finish();

    std::thread worker_;
    // The run's stop flag: cleared here when a run starts, only read by the engine.
    std::atomic<bool> stop_{false};
    bool running_ = false;
    RunEventQueue queue_;
    QTimer delivery_timer_;

    CopyRunContext context_;
    CommandResult result_;
};

}  // namespace pelko

Q_DECLARE_METATYPE(pelko::TResultRow)
