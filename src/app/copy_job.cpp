#include "app/copy_job.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <system_error>
#include <unordered_set>

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

// Runs on the worker: queues every event for the job's thread.
class TCopyJob::Relay final : public ICopyRunObserver {
  public:
    explicit Relay(TCopyJob& job) : job_(job) {}

    void RunStarting() override { job_.Push({Event::kRunStarting, 0, {}}); }
    void ProgressMaximum(int maximum) override {
        job_.Push({Event::kProgressMaximum, maximum, {}});
    }
    void ProgressPosition(int position) override {
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
    {
        const std::lock_guard lock(mutex_);
        events_.clear();
        latest_ = {};
    }
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
        Push({Event::kFinished, 0, {}});
    };
    try {
        worker_ = std::thread(run);
    } catch (const std::system_error&) {
        // No thread to be had: nothing was copied; the window says so and becomes idle again.
        result_.message = kRunFailed;
        Push({Event::kFinished, 0, {}});
    }
    return true;
}

void TCopyJob::Abort() {
    stop_.store(true);
}

void TCopyJob::Push(Event event) {
    const bool finished = event.type == Event::kFinished;
    {
        const std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    // The end of a run is shown at once; everything else waits for the next delivery tick.
    if (finished) {
        QMetaObject::invokeMethod(
            this, [this] { Deliver(false); }, Qt::QueuedConnection);
    }
}

void TCopyJob::Update(const std::function<void(Latest&)>& change) {
    const std::lock_guard lock(mutex_);
    change(latest_);
}

void TCopyJob::Deliver(bool all) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<Event> slice;
    Latest latest;
    {
        const std::lock_guard lock(mutex_);
        const std::size_t count =
            all ? events_.size() : std::min(events_.size(), kDeliverySliceEvents);
        slice.assign(std::make_move_iterator(events_.begin()),
                     std::make_move_iterator(events_.begin() + static_cast<std::ptrdiff_t>(count)));
        events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(count));
        latest = std::exchange(latest_, Latest{});
    }

    // A row changed twice in one delivery shows its last state only.
    std::vector<bool> superseded(slice.size(), false);
    std::unordered_set<int> changed_later;
    for (std::size_t i = slice.size(); i-- > 0;) {
        if (slice[i].type == Event::kRunStarting) changed_later.clear();
        if (slice[i].type == Event::kRowChanged && !changed_later.insert(slice[i].value).second) {
            superseded[i] = true;
        }
    }
    // The rows a run appends are announced together, before the changes that fill them.
    const auto announce_rows = [&](std::size_t from) {
        int last = -1;
        for (std::size_t i = from; i < slice.size() && slice[i].type != Event::kRunStarting; ++i) {
            if (slice[i].type == Event::kRowAdded) last = std::max(last, slice[i].value);
        }
        if (last >= 0) emit rowAdded(last);
    };

    bool finished = false;
    announce_rows(0);
    std::size_t i = 0;
    for (; i < slice.size(); ++i) {
        const Event& event = slice[i];
        switch (event.type) {
            case Event::kRunStarting:
                emit runStarting();
                announce_rows(i + 1);
                break;
            case Event::kProgressMaximum:
                emit progressMaximum(event.value);
                break;
            case Event::kRowAdded:
                break;
            case Event::kRowChanged:
                if (!superseded[i]) emit rowChanged(event.value, event.row);
                break;
            case Event::kFinished:
                finished = true;
                break;
        }
        if (!all && std::chrono::steady_clock::now() - started > kDeliverySliceTime) break;
    }
    bool more = false;
    {
        const std::lock_guard lock(mutex_);
        if (i + 1 < slice.size()) {
            // Time is up: the rest goes back to the front of the queue.
            events_.insert(
                events_.begin(),
                std::make_move_iterator(slice.begin() + static_cast<std::ptrdiff_t>(i + 1)),
                std::make_move_iterator(slice.end()));
        }
        more = !events_.empty();
    }

    if (latest.position) emit progressPosition(*latest.position);
    if (latest.progress_text) emit progressText(ToQString(*latest.progress_text));
    if (latest.title) emit titleChanged(ToQString(*latest.title));
    if (latest.speed) emit speedTextChanged(ToQString(*latest.speed), latest.speed_finished);
    if (latest.status) emit statusChanged(ToQString(*latest.status));

    if (finished) {
        Finish();
    } else if (more && !all) {
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
