
#include <atomic>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/row_text.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "copy/file_kind.h"
#include "sidecar/sidecar_list.h"
#include "support/file_ops.h"

namespace pelko::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kNothingFound = "アンマッチのサイドカーファイルは有りませんでした";
constexpr const char* kDone = "処理が完了しました";

int Usage(std::ostream& err, const std::string& message) {
    return BadUsage(err, "sidecar", message);
}

const char* ReasonKey(TSidecarReason reason) {
    switch (reason) {
        case TSidecarReason::srElsewhere:
            return "picture_elsewhere";
        case TSidecarReason::srNoPicture:
            return "no_picture";
        case TSidecarReason::srXmpOption:
            break;
    }
    return "xmp_option";
}

const char* OutcomeKey(TSidecarOutcome outcome) {
    switch (outcome) {
        case TSidecarOutcome::soNone:
            return "";
        case TSidecarOutcome::soMoved:
            return "moved";
        case TSidecarOutcome::soMoveFailed:
            return "move_failed";
        case TSidecarOutcome::soDeleted:
            return "deleted";
        case TSidecarOutcome::soDeleteFailed:
            break;
    }
    return "delete_failed";
}

std::string RowText(const SidecarRow& row, bool json) {
    const std::array<std::string, 4> cells = SidecarCells(row);
    if (!json) return RowLine({cells.begin(), cells.end()});
    Json cell_texts = Json::array();
    for (const std::string& cell : cells)
        cell_texts.push_back(JsonText(cell));
    return Json{{"sidecar", JsonText(row.sidecar)},           {"picture", JsonText(row.picture)},
                {"action", row.IsMove() ? "move" : "delete"}, {"reason", ReasonKey(row.reason)},
                {"outcome", OutcomeKey(row.outcome)},         {"cells", std::move(cell_texts)}}
        .dump();
}

struct SidecarOptions {
    std::optional<std::string> sidecars, pictures;
    bool jpeg = false, delete_xmp = false, execute = false, json = false;
    FileKindTable kinds;
};

}  // namespace

int RunSidecar(const Args& args, const ProgramFacts& /*facts*/, std::ostream& out,
               std::ostream& err) {
    SidecarOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            if (i + 1 < args.size()) return Usage(err, "unexpected argument " + args[i + 1]);
            break;
        }
        const bool has_value = i + 1 < args.size();
        if (arg == "--sidecars" || arg == "--pictures") {
            if (!has_value) return Usage(err, arg + " needs a folder");
            (arg == "--sidecars" ? o.sidecars : o.pictures) = args[++i];
        } else if (arg == "--raw-ext" || arg == "--jpeg-ext") {
            if (!has_value) return Usage(err, arg + " needs extensions such as .cr3,.srw");
            const std::vector<std::string> refused =
                o.kinds.Add(arg == "--raw-ext" ? TFileKind::fkRaw : TFileKind::fkJpeg, args[++i]);
            if (!refused.empty()) return Usage(err, "not a file extension: " + refused.front());
        } else if (arg == "--jpeg") {
            o.jpeg = true;
        } else if (arg == "--delete-xmp") {
            o.delete_xmp = true;
        } else if (arg == "--execute") {
            o.execute = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(err, "unknown option " + arg);
        } else {
            return Usage(err, "unexpected argument " + arg);
        }
    }
    if (!o.sidecars || !o.pictures) return Usage(err, "--sidecars and --pictures are required");
    if (!FolderExists(*o.sidecars)) return Usage(err, "--sidecars is not a folder: " + *o.sidecars);
    // Without its pictures every sidecar would look orphaned and be listed for deletion.
    if (!FolderExists(*o.pictures)) return Usage(err, "--pictures is not a folder: " + *o.pictures);

    SidecarCheckOptions check;
    check.sidecar_root = *o.sidecars;
    check.picture_root = *o.pictures;
    check.use_jpeg = o.jpeg;
    check.delete_xmp = o.delete_xmp;
    check.extensions.raw.assign(kRawExtensions.begin(), kRawExtensions.end());
    for (const std::string& added : o.kinds.Added(TFileKind::fkRaw))
        check.extensions.raw.push_back(added);
    check.extensions.jpeg.assign(kJpegExtensions.begin(), kJpegExtensions.end());
    for (const std::string& added : o.kinds.Added(TFileKind::fkJpeg))
        check.extensions.jpeg.push_back(added);

    ScopedStopSignals signals;
    std::atomic<bool>& stop = signals.Flag();
    check.stop = &stop;

    SidecarCheckResult result = CheckSidecars(check);
    for (const std::string& folder : result.unreadable_folders)
        err << "pelkocopy-cli sidecar: cannot read folder " << folder << "\n";
    std::vector<SidecarRow>& rows = result.rows;
    bool output_failed = false;
    const auto print = [&](const SidecarRow& row) {
        if (output_failed) return;
        out << RowText(row, o.json) << std::endl;
        if (!out) {
            output_failed = true;
            stop.store(true);
        }
    };
    // A picture below a folder that could not be read was never seen: its sidecar must not go.
    const bool complete = result.unreadable_folders.empty();
    if (o.execute && !complete) {
        err << "pelkocopy-cli sidecar: not carried out, since some folders could not be read\n";
        o.execute = false;
    }
    std::size_t carried = 0;
    if (o.execute && result.status == TSidecarCheck::scListed) {
        carried = CarryOutSidecarRows(rows, &stop, [&](std::size_t i) { print(rows[i]); });
    } else if (result.status == TSidecarCheck::scListed) {
        for (const SidecarRow& row : rows)
            print(row);
    }
    std::size_t failed = 0;
    for (const SidecarRow& row : rows)
        failed += row.Failed() ? 1 : 0;

    const bool interrupted = signals.Signal() != 0 || result.status == TSidecarCheck::scStopped ||
                             (o.execute && carried < rows.size());
    std::string message;
    if (!interrupted && rows.empty()) {
        message = kNothingFound;
    } else if (!interrupted && o.execute) {
        message = kDone;
    }
    if (!output_failed) {
        if (o.json) {
            const char* status = interrupted    ? "interrupted"
                                 : rows.empty() ? "none"
                                 : o.execute    ? "done"
                                                : "listed";
            out << Json{{"status", status},
                        {"message", message},
                        {"rows", rows.size()},
                        {"failed", failed}}
                       .dump()
                << "\n";
        } else if (!message.empty()) {
            out << message << "\n";
        }
        out.flush();
    }
    if (const int signal_number = signals.Signal(); signal_number != 0) {
        err << "pelkocopy-cli sidecar: interrupted\n";
        return 128 + signal_number;
    }
    if (output_failed || !out) {
        err << "pelkocopy-cli sidecar: cannot write the output; stopped there\n";
        return 1;
    }
    return failed > 0 || !complete ? 1 : 0;
}

}  // namespace pelko::cli
