#pragma once

// TCopyJob: one copy or folder command on a worker thread. The engine's events come back to the
// thread that owns the job as signals, in order, delivered a few dozen times a second: rows
// appended in one delivery come as one signal, a row changed twice shows its last state, and
// values that only the latest one matters of (progress, title, speed line, status) come once,
// so a run of many small files costs the window little. Abort() stops the run before its
// next file; the destructor aborts and waits until what was copied is committed.

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
    bool AbortRequested() const { return stop_.load(); }
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

    // Events that count in order.
    struct Event {
        enum Type { kRunStarting, kProgressMaximum, kRowAdded, kRowChanged, kFinished } type;
        int value = 0;
        TResultRow row;
    };
    // Latest values; only the last one of each counts.
    struct Latest {
        std::optional<int> position;
        std::optional<std::string> progress_text, title, status, speed;
        bool speed_finished = false;
    };

    void Push(Event event);
    void Update(const std::function<void(Latest&)>& change);
    // Delivers what the worker queued, a slice at a time so the window stays responsive.
    void Deliver(bool all);
    void Finish();

    std::thread worker_;
    std::atomic<bool> stop_{false};
    bool running_ = false;

    std::mutex mutex_;
    std::deque<Event> events_;  // guarded by mutex_
    Latest latest_;             // guarded by mutex_
    QTimer delivery_timer_;

    CopyRunContext context_;
    CommandResult result_;
};

}  // namespace pelko

Q_DECLARE_METATYPE(pelko::TResultRow)
