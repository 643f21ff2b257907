#include "app/copy_job.h"

#include <QMetaObject>
#include <chrono>
#include <exception>
#include <functional>

namespace pelko {

namespace {

// One delivery hands over at most this many ordered events or works this long, then lets the
// event loop run before the next.
constexpr std::size_t kDeliverySliceEvents = 4000;
constexpr auto kDeliverySliceTime = std::chrono::milliseconds(20);

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// Runs on the worker: queues every event for the job's thread. A stop asked for while the files
// were still being listed is asked again once the engine has cleared its flag for the run.
class TCopyJob::Relay final : public ICopyRunObserver {
  public:
    explicit Relay(TCopyJob& job) : job_(job) {}

    void RunStarting() override { job_.Push({Event::kRunStarting, 0, {}}); }
    void ProgressMaximum(int maximum) override {
        job_.Push({Event::kProgressMaximum, maximum, {}});
    }
    void ProgressPosition(int position) override {
        KeepStopping();
        job_.Update([&](Latest& latest) { latest.position = position; });
    }
    void ProgressText(const std::string& text) override {
        job_.Update([&](Latest& latest) { latest.progress_text = text; });
    }
    void TitleChanged(const std::string& title) override {
        job_.Update([&](Latest& latest) { latest.title = title; });
    }
    void RowAdded(int row) override { job_.Push({Event::kRowAdded, row, {}}); }
    void RowChanged(int row, const TResultRow& cells) override {
        job_.Push({Event::kRowChanged, row, cells});
    }
    void SpeedTextChanged(const std::string& text, bool finished) override {
        job_.Update([&](Latest& latest) {
            latest.speed = text;
            latest.speed_finished = finished;
        });
    }
    void StatusChanged(const std::string& text) override {
        job_.Update([&](Latest& latest) { latest.status = text; });
    }

  private:
    void KeepStopping() {
        if (job_.stop_.load()) job_.engine_abort_.store(true);
    }

    TCopyJob& job_;
};

TCopyJob::TCopyJob(QObject* parent) : QObject(parent) {
    qRegisterMetaType<pelko::TResultRow>();
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
    engine_abort_.store(false);
    {
        const std::lock_guard lock(mutex_);
        events_.clear();
        latest_ = {};
    }
    context_ = std::move(context);
    context_.abort = &engine_abort_;
    result_ = {};
    worker_ = std::thread([this, source = std::move(source_folder), kind] {
        Relay relay(*this);
        try {
            result_ = RunCopyCommand(context_, relay, source, kind);
        } catch (const std::exception& error) {
            // Nothing may cross the thread as an exception; what was committed stays committed.
            result_.message = std::string("処理を続けられませんでした: ") + error.what();
        } catch (...) {
            result_.message = "処理を続けられませんでした";
        }
        Push({Event::kFinished, 0, {}});
    });
    return true;
}

void TCopyJob::Abort() {
    stop_.store(true);
    engine_abort_.store(true);
}

void TCopyJob::Push(Event event) {
    bool post = false;
    {
        const std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        post = !delivery_posted_;
        delivery_posted_ = true;
    }
    if (post)
        QMetaObject::invokeMethod(
            this, [this] { Deliver(false); }, Qt::QueuedConnection);
}

void TCopyJob::Update(const std::function<void(Latest&)>& change) {
    bool post = false;
    {
        const std::lock_guard lock(mutex_);
        change(latest_);
        post = !delivery_posted_;
        delivery_posted_ = true;
    }
    if (post)
        QMetaObject::invokeMethod(
            this, [this] { Deliver(false); }, Qt::QueuedConnection);
}

void TCopyJob::Deliver(bool all) {
    const auto started = std::chrono::steady_clock::now();
    std::deque<Event> slice;
    Latest latest;
    bool more = false;
    {
        const std::lock_guard lock(mutex_);
        if (all || events_.size() <= kDeliverySliceEvents) {
            slice.swap(events_);
        } else {
            const auto end = events_.begin() + static_cast<std::ptrdiff_t>(kDeliverySliceEvents);
            slice.assign(std::make_move_iterator(events_.begin()), std::make_move_iterator(end));
            events_.erase(events_.begin(), end);
        }
        latest = std::exchange(latest_, Latest{});
        more = !events_.empty();
        // Whatever the worker queues from now on needs a delivery of its own.
        delivery_posted_ = more;
    }

    bool finished = false;
    while (!slice.empty()) {
        Event& event = slice.front();
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
        slice.pop_front();
        if (!all && !slice.empty() &&
            std::chrono::steady_clock::now() - started > kDeliverySliceTime) {
            // Time is up: the rest goes back to the front of the queue for the next delivery.
            const std::lock_guard lock(mutex_);
            events_.insert(events_.begin(), std::make_move_iterator(slice.begin()),
                           std::make_move_iterator(slice.end()));
            slice.clear();
            more = true;
            delivery_posted_ = true;
        }
    }

    if (latest.position) emit progressPosition(*latest.position);
    if (latest.progress_text) emit progressText(ToQString(*latest.progress_text));
    if (latest.title) emit titleChanged(ToQString(*latest.title));
    if (latest.speed) emit speedTextChanged(ToQString(*latest.speed), latest.speed_finished);
    if (latest.status) emit statusChanged(ToQString(*latest.status));

    if (finished) {
        Finish();
    } else if (more && !all) {
        QMetaObject::invokeMethod(
            this, [this] { Deliver(false); }, Qt::QueuedConnection);
    }
}

void TCopyJob::Finish() {
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
