#include "app/copy_job.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <iterator>
#include <system_error>

namespace pelko {

namespace {

// One delivery hands over at most this many ordered events or works this long, then lets the
// event loop run before the next.
constexpr std::size_t kDeliverySliceEvents = 4000;
constexpr auto kDeliverySliceTime = std::chrono::milliseconds(20);
constexpr const char* kRunFailed = "処理を続けられませんでした";
// Events reach the window this often while a run goes on: often enough to look live, seldom
// enough that many small files cost the window little.
constexpr int kDeliveryIntervalMs = 100;

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

using Event = RunEventQueue::Event;
using Latest = RunEventQueue::Latest;

// Runs on the worker: queues every event for the job's thread.
class TCopyJob::Relay final : public ICopyRunObserver {
  public:
    explicit Relay(TCopyJob& job) : queue_(job.queue_), job_(job) {}

    void RunStarting() override { queue_.Push({Event::kRunStarting, 0, {}}); }
    void ProgressMaximum(int maximum) override {
        queue_.Push({Event::kProgressMaximum, maximum, {}});
    }
    void ProgressPosition(int position) override {
        queue_.Update([&](Latest& latest) { latest.position = position; });
    }
    void ProgressText(const std::string& text) override {
        queue_.Update([&](Latest& latest) { latest.progress_text = text; });
    }
    void TitleChanged(const std::string& title) override {
        queue_.Update([&](Latest& latest) { latest.title = title; });
    }
    void RowAdded(int row) override { queue_.Push({Event::kRowAdded, row, {}}); }
    void RowChanged(int row, const TResultRow& cells) override {
        queue_.Push({Event::kRowChanged, row, cells});
    }
    void SpeedTextChanged(const std::string& text, bool finished) override {
        queue_.Update([&](Latest& latest) {
            latest.speed = text;
            latest.speed_finished = finished;
        });
    }
    void StatusChanged(const std::string& text) override {
        queue_.Update([&](Latest& latest) { latest.status = text; });
    }
    // The estimate stands beside the status while the run works; the final status replaces it.
    void RemainingChanged(const RemainingEstimate& estimate) override {
        const std::string text = std::string(kStatusWorking) + "　" + RemainingTextJa(estimate);
        queue_.Update([&](Latest& latest) { latest.status = text; });
    }
    // The end of a run is shown at once; everything else waits for the next delivery tick.
    void Finished() {
        queue_.Push({Event::kFinished, 0, {}});
        QMetaObject::invokeMethod(
            &job_, [job = &job_] { job->Deliver(false); }, Qt::QueuedConnection);
    }

  private:
    RunEventQueue& queue_;
    TCopyJob& job_;
};

TCopyJob::TCopyJob(QObject* parent) : QObject(parent) {
    qRegisterMetaType<pelko::TResultRow>();
    delivery_timer_.setInterval(kDeliveryIntervalMs);
    connect(&delivery_timer_, &QTimer::timeout, this, [this] { Deliver(false); });
}

TCopyJob::~TCopyJob() {
    if (worker_.joinable()) {
        Abort();
        worker_.join();
    }
}

bool TCopyJob::Start(CopyRunContext context, std::string source_folder, RunSourceKind kind) {
    if (running_) return false;
    if (worker_.joinable()) worker_.join();
    running_ = true;
    stop_.store(false);
    queue_.Clear();
    context_ = std::move(context);
    context_.abort = &stop_;
    delivery_timer_.start();
    result_ = {};
    const auto run = [this, source = std::move(source_folder), kind] {
        Relay relay(*this);
        try {
            result_ = RunCopyCommand(context_, relay, source, kind);
        } catch (const std::exception& error) {
            // Nothing may cross the thread as an exception; what was committed stays committed.
            result_.message = std::string(kRunFailed) + ": " + error.what();
        } catch (...) {
            result_.message = kRunFailed;
        }
        relay.Finished();
    };
    try {
        worker_ = std::thread(run);
    } catch (const std::system_error&) {
        // No thread to be had: nothing was copied; the window says so and becomes idle again.
        result_.message = kRunFailed;
        Relay(*this).Finished();
    }
    return true;
}

void TCopyJob::Abort() {
    stop_.store(true);
}

void TCopyJob::Deliver(bool all) {
    const auto started = std::chrono::steady_clock::now();
    RunEventQueue::Delivery delivery = queue_.Take(all ? 0 : kDeliverySliceEvents);
    bool finished = false;
    std::size_t i = 0;
    for (; i < delivery.events.size(); ++i) {
        const Event& event = delivery.events[i];
        switch (event.type) {
            case Event::kRunStarting:
                emit runStarting();
                break;
            case Event::kProgressMaximum:
                emit progressMaximum(event.value);
                break;
            case Event::kRowAdded:
                emit rowAdded(event.value);
                break;
            case Event::kRowChanged:
                emit rowChanged(event.value, event.row);
                break;
            case Event::kFinished:
                finished = true;
                break;
        }
        if (!all && std::chrono::steady_clock::now() - started > kDeliverySliceTime) break;
    }
    if (i + 1 < delivery.events.size()) {
        // Time is up: the rest goes back to the front of the queue.
        delivery.more = true;
        queue_.PutBack(
            {std::make_move_iterator(delivery.events.begin() + static_cast<std::ptrdiff_t>(i + 1)),
             std::make_move_iterator(delivery.events.end())});
    }

    const Latest& latest = delivery.latest;
    if (latest.position) emit progressPosition(*latest.position);
    if (latest.progress_text) emit progressText(ToQString(*latest.progress_text));
    if (latest.title) emit titleChanged(ToQString(*latest.title));
    if (latest.speed) emit speedTextChanged(ToQString(*latest.speed), latest.speed_finished);
    if (latest.status) emit statusChanged(ToQString(*latest.status));

    if (finished) {
        Finish();
    } else if (delivery.more && !all) {
        // A backlog is worked off without waiting for the tick, one slice per turn of the loop.
        QMetaObject::invokeMethod(
            this, [this] { Deliver(false); }, Qt::QueuedConnection);
    }
}

void TCopyJob::Finish() {
    delivery_timer_.stop();
    if (worker_.joinable()) worker_.join();
    running_ = false;
    emit finished();
}

void TCopyJob::Wait() {
    if (!running_) return;
    if (worker_.joinable()) worker_.join();
    // Every event is queued now; deliver them here, the finish last. Deliveries already posted
    // find the queue empty.
    Deliver(true);
}

}  // namespace pelko
