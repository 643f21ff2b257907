#include "copy/run_notice.h"

namespace pelko {

void RunCounts::Count(const TResultRow& row) {
    if (row.removal == TDeleteOutcome::doDeleted) ++removed;
    if (row.Failed()) {
        ++failed;
    } else if (row.copy == TCopyOutcome::coCopied) {
        ++copied;
    } else {
        ++skipped;
    }
}

std::string RunNoticeSummaryJa(bool aborted) {
    return aborted ? "コピー処理を中止しました" : "コピー処理が終了しました";
}

std::string RunNoticeBodyJa(const RunCounts& counts) {
    std::string body = "コピー " + std::to_string(counts.copied) + " 件、スキップ " +
                       std::to_string(counts.skipped) + " 件、失敗 " +
                       std::to_string(counts.failed) + " 件\n";
    return body + (counts.removed > 0
                       ? "メディアから " + std::to_string(counts.removed) + " 件を削除しました"
                       : std::string("メディアからは削除していません"));
}

}  // namespace pelko
