#include "app/run_event_queue.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>
#include <utility>

namespace pelko {

void RunEventQueue::Push(Event event) {
    const std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

void RunEventQueue::Update(const std::function<void(Latest&)>& change) {
    const std::lock_guard lock(mutex_);
    change(latest_);
}

void RunEventQueue::PutBack(std::vector<Event> events) {
    const std::lock_guard lock(mutex_);
    events_.insert(events_.begin(), std::make_move_iterator(events.begin()),
                   std::make_move_iterator(events.end()));
}

void RunEventQueue::Clear() {
    const std::lock_guard lock(mutex_);
    events_.clear();
    latest_ = {};
}

RunEventQueue::Delivery RunEventQueue::Take(std::size_t max_events) {
    std::vector<Event> slice;
    Delivery delivery;
    {
        const std::lock_guard lock(mutex_);
        const std::size_t count =
            max_events == 0 ? events_.size() : std::min(events_.size(), max_events);
        const auto end = events_.begin() + static_cast<std::ptrdiff_t>(count);
        slice.assign(std::make_move_iterator(events_.begin()), std::make_move_iterator(end));
        events_.erase(events_.begin(), end);
        delivery.latest = std::exchange(latest_, Latest{});
        delivery.more = !events_.empty();
    }

    // A row changed again later in the same run of this slice shows its last state only.
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
        if (last >= 0) delivery.events.push_back({Event::kRowAdded, last, {}});
    };

    announce_rows(0);
    for (std::size_t i = 0; i < slice.size(); ++i) {
        Event& event = slice[i];
        switch (event.type) {
            case Event::kRunStarting:
                delivery.events.push_back(std::move(event));
                announce_rows(i + 1);
                break;
            case Event::kRowAdded:
                break;
            case Event::kRowChanged:
                if (!superseded[i]) delivery.events.push_back(std::move(event));
                break;
            case Event::kProgressMaximum:
            case Event::kFinished:
                delivery.events.push_back(std::move(event));
                break;
        }
    }
    return delivery;
}

}  // namespace pelko
