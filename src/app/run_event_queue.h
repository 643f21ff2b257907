#pragma once

// The events of a run on their way from the engine's thread to the window's. Events that count
// in order (a run starting, the progress maximum, rows, the end) stay in order; each delivery
// announces the rows appended in it together, before the changes that fill them, and shows a row
// changed several times in its last state only; values of which only the latest counts (progress
// position and texts, title, speed line, status) come once per delivery. So a run of many small
// files costs the window little.

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "copy/result_row.h"

namespace pelko {

class RunEventQueue {
  public:
    struct Event {
        enum Type { kRunStarting, kProgressMaximum, kRowAdded, kRowChanged, kFinished } type;
        int value = 0;  // the maximum, or the row
        TResultRow row;
    };
    struct Latest {
        std::optional<int> position;
        std::optional<std::string> progress_text, title, status, speed;
        bool speed_finished = false;
    };
    struct Delivery {
        // In order; kRowAdded carries the last row appended so far, rows up to it exist.
        std::vector<Event> events;
        Latest latest;
        // Events are left for the next delivery.
        bool more = false;
    };

    // Any thread.
    void Push(Event event);
    void Update(const std::function<void(Latest&)>& change);
    // Up to `max_events` queued events (every one for 0) and the latest values.
    Delivery Take(std::size_t max_events);
    // Events of a delivery that could not be handed on in time go back to the front.
    void PutBack(std::vector<Event> events);
    void Clear();

  private:
    std::mutex mutex_;
    std::deque<Event> events_;
    Latest latest_;
};

}  // namespace pelko
