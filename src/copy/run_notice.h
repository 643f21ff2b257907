#pragma once

// What a run came to, in the few words of a desktop notification: the files copied, skipped and
// failed, and whether files were removed from the card.

#include <string>

#include "copy/result_row.h"

namespace pelko {

struct RunCounts {
    int copied = 0;
    int skipped = 0;  // name taken, older than the cut-off, or of no kind
    int failed = 0;
    int removed = 0;  // deleted from the card
    void Count(const TResultRow& row);
};

std::string RunNoticeSummaryJa(bool aborted);
std::string RunNoticeBodyJa(const RunCounts& counts);

}  // namespace pelko
