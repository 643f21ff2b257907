#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/import_options.h"
#include "cli/row_text.h"
#include "cli/stop_signals.h"
#include "cli/usage.h"
#include "copy/copy_run.h"
#include "copy/copy_sets.h"
#include "copy/copy_settings.h"
#include "copy/destination_check.h"
#include "copy/run_context.h"
#include "naming/camera_model.h"
#include "support/date_time.h"
#include "support/file_ops.h"
#include "support/platform.h"
#include "support/setting.h"
#include "support/text.h"

namespace pelko::cli {

namespace {

using Json = nlohmann::ordered_json;

int Usage(std::ostream& err, const std::string& message) {
    return BadUsage(err, "import", message);
}

bool ParseMode(const std::string& text, int* mode) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '5') return false;
    *mode = text[0] - '0';
    return true;
}

// Takes every setting from the window's own settings file. False (with the messages on err) when a
// stored destination that the command line does not replace is refused, or the file cannot be
// read.
bool LoadWindowSettings(MainWindowSettings& stored, const ImportOptions& o,
                        const ProgramFacts& facts, std::ostream& err) {
    TSetting ini("FrmDCMain", FormBounds{});
    ini.SetPlaces(SettingPlaces{facts.app_folder, facts.computer_name, {}, {}});
    ini.IniFileKind = TIniFileKind::fnComputerName;
    std::vector<SettingsProblem> problems;
    stored = ReadMainWindowSettings(ini, facts.app_folder, problems);
    bool usable = true;
    for (const SettingsProblem& problem : problems) {
        // In place the destinations are not used; a destination given here replaces the stored.
        const std::optional<std::string>* given = problem.key == "DestRaw"      ? &o.dest_raw
                                                  : problem.key == "DestJpg"    ? &o.dest_jpg
                                                  : problem.key == "DestOther"  ? &o.dest_other
                                                  : problem.key == "UserFolder" ? &o.user_folder
                                                  : problem.key == "UserFormat" ? &o.user_format
                                                                                : nullptr;
        const bool destination = problem.key.starts_with("Dest");
        if (given != nullptr && (given->has_value() || (destination && o.rename))) continue;
        err << "pelkocopy-cli import: " << SettingsProblemText(problem) << "\n";
        usable = usable && !problem.stops_run;
    }
    return usable;
}

// One row of output: the four grid cells, escaped and tab-separated; or with `json` one object
// with the outcomes as stable keys and the grid cells.
std::string RowText(const TResultRow& row, bool json) {
    const std::array<std::string, 4> cells = GridCells(row);
    if (!json) return RowLine({cells.begin(), cells.end()});
    Json cell_texts = Json::array();
    for (const std::string& cell : cells)
        cell_texts.push_back(JsonText(cell));
    Json object{{"source", JsonText(row.source)},          {"destination", JsonText(row.dest)},
                {"kind", FileKindKey(row.kind)},           {"copy", CopyOutcomeKey(row.copy)},
                {"delete", DeleteOutcomeKey(row.removal)}, {"cells", std::move(cell_texts)}};
    if (auto bytes = JsonExactBytes(row.source)) object["source_bytes"] = std::move(*bytes);
    if (auto bytes = JsonExactBytes(row.dest)) object["destination_bytes"] = std::move(*bytes);
    return object.dump();
}

// Prints the rows in order, each once it is final, tab-separated; a row of no kind stays blank.
// Rows of copies awaiting their batch stay "処理中" for a while, so later rows may be final first.
// Output that cannot be written stops the run before its next file, as Esc does.
class RowPrinter final : public ICopyRunObserver {
  public:
    // progress: where the time remaining goes (stderr), or null; on a terminal it is redrawn on
    // one line.
    RowPrinter(std::ostream& out, std::atomic<bool>& stop, bool json, std::ostream* progress,
               bool terminal)
        : out_(out), stop_(stop), json_(json), progress_(progress), terminal_(terminal) {}

    void RemainingChanged(const RemainingEstimate& estimate) override {
        if (progress_ == nullptr) return;
        const std::string text = RemainingText(estimate);
        if (terminal_) {
            // Blanks over what a longer line before left.
            *progress_ << "\r" << text
                       << std::string(shown_ > text.size() ? shown_ - text.size() : 0, ' ')
                       << std::flush;
            shown_ = text.size();
        } else {
            *progress_ << text << std::endl;
        }
    }

    void RowAdded(int row) override {
        rows_.resize(static_cast<std::size_t>(row) + 1);
        Print(false);
    }
    void RowChanged(int row, const TResultRow& result) override {
        if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
        rows_[static_cast<std::size_t>(row)] = result;
        Print(false);
    }
    // At the end of the run every row is final.
    void Flush() {
        Print(true);
        if (progress_ != nullptr && terminal_ && shown_ > 0) *progress_ << "\n";
    }
    bool OutputFailed() const { return output_failed_; }

  private:
    void Print(bool all) {
        for (; next_ < rows_.size(); ++next_) {
            const std::optional<TResultRow>& row = rows_[next_];
            if (!all && !(row && row->Final())) break;
            if (!output_failed_) {
                out_ << RowText(row ? *row : TResultRow{}, json_) << std::endl;
                if (!out_) {
                    output_failed_ = true;
                    stop_.store(true);
                }
            }
            rows_[next_].reset();  // printed: keep no text of it
        }
    }

    std::ostream& out_;
    std::atomic<bool>& stop_;
    const bool json_;
    std::ostream* progress_;
    const bool terminal_;
    std::size_t shown_ = 0;
    std::vector<std::optional<TResultRow>> rows_;
    std::size_t next_ = 0;
    bool output_failed_ = false;
};

// A standard stream that is closed would lend its number to a copy's file, and rows would be
// written into the copy: it points at /dev/null opened for reading instead, where writes fail.
void OpenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

}  // namespace

int RunImport(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err) {
    ImportOptions o;
    bool options_done = false;  // after "--" the argument is the SOURCE, even one like "--x"
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options_done && arg == "--") {
            options_done = true;
            continue;
        }
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            if (o.source) return Usage(err, "more than one SOURCE");
            o.source = arg;
            continue;
        }
        const ImportOption* option = nullptr;
        int spelling = -1;
        for (const ImportOption& candidate : kImportOptionTable) {
            spelling = SpellingOf(candidate.usage, arg);
            if (spelling >= 0) {
                option = &candidate;
                break;
            }
        }
        if (option == nullptr) return Usage(err, "unknown option " + arg);
        const bool has_value = i + 1 < args.size();
        const std::string needs = arg + " needs ";
        switch (option->kind) {
            case ImportOptionKind::kText:
                if (!has_value) {
                    return Usage(err, needs + (option->usage.value == "DIR"    ? "a folder"
                                               : option->usage.value == "FMT"  ? "a format"
                                               : option->usage.value == "TEXT" ? "a text"
                                                                               : "a date-time"));
                }
                o.*option->text = args[++i];
                break;
            case ImportOptionKind::kMode: {
                int mode = 0;
                if (!has_value || !ParseMode(args[i + 1], &mode))
                    return Usage(err, needs + "0 to 5");
                o.*option->mode = mode;
                ++i;
                break;
            }
            case ImportOptionKind::kFlag:
                o.*option->flag = true;
                break;
            case ImportOptionKind::kSwitch:
                o.*option->on_off = spelling == 0;
                break;
            case ImportOptionKind::kExtensions:
                if (!has_value) return Usage(err, needs + "extensions such as .cr3,.srw");
                o.extensions.emplace_back(option->file_kind, args[++i]);
                break;
        }
    }
    if (!o.source) return Usage(err, "SOURCE is required");

    const SystemClock clock;
    const DateTime now = clock.Now();
    MainWindowSettings settings;
    o.settings = o.settings || o.copy_set.has_value();  // a copy set lives beside the settings
    if (o.settings && !LoadWindowSettings(settings, o, facts, err)) return 1;
    if (o.copy_set) {
        std::vector<std::string> known;
        std::vector<SettingsProblem> problems;
        if (!ApplyStoredCopySet(settings, facts.app_folder, facts.computer_name, *o.copy_set, known,
                                problems)) {
            std::string names;
            for (const std::string& name : known)
                names += (names.empty() ? "" : ", ") + name;
            return Usage(err, "no copy set named \"" + *o.copy_set +
                                  "\" (copy sets: " + (names.empty() ? "none" : names) + ")");
        }
        for (const SettingsProblem& problem : problems)
            err << "pelkocopy-cli import: copy set " << *o.copy_set << ": "
                << SettingsProblemText(problem) << "\n";
        if (!problems.empty()) return 1;
    }

    for (const auto& [kind, list] : o.extensions) {
        const std::vector<std::string> refused = settings.file_kinds.Add(kind, list);
        if (!refused.empty()) return Usage(err, "not a file extension: " + refused.front());
    }

    CopySettings& c = settings.copy;
    if (o.dest_raw) c.dest_raw = *o.dest_raw;
    if (o.dest_jpg) c.dest_jpg = *o.dest_jpg;
    if (o.dest_other) c.dest_other = *o.dest_other;
    if (o.folder_mode) c.folder_mode = *o.folder_mode;
    if (o.name_mode) c.file_name_mode = *o.name_mode;
    if (o.user_folder) c.user_folder = *o.user_folder;
    if (o.user_format) c.user_format = *o.user_format;
    if (o.cutoff) {
        const std::optional<DateTime> parsed = ParseDateTimeText(*o.cutoff);
        if (!parsed || o.cutoff->size() != 19) {
            return Usage(err, "--cutoff is not \"yyyy/mm/dd hh:nn:ss\": " + *o.cutoff);
        }
        settings.last_copy_date_time = parsed->ToText();
    } else if (o.skip_older.value_or(false) && !o.settings) {
        return Usage(err, "--skip-older needs --cutoff");
    }
    settings.exif_date = o.exif_date.value_or(settings.exif_date);
    settings.skip_older = o.skip_older.value_or(settings.skip_older);
    c.remove_after_copy = o.remove.value_or(c.remove_after_copy);
    settings.mode = settings.mode || o.mode;
    settings.mode_sp_user = settings.mode_sp_user || o.mode_sp_user;

    CopyRunContext context =
        MakeCopyRunContext(settings, facts.app_folder, clock, FirstRunState(settings, now));
    FileFaults faults;
    faults.named_temporaries = o.named_temporaries;
    CopyRunSeams seams;
    seams.file_faults = &faults;
    if (o.named_temporaries) context.seams = &seams;
    CopyRunSettings& s = context.settings;
    s.dry_run = o.dry_run;
    context.copy_to_destinations = !o.rename;

    // In place only the new names count, so the destinations are not needed.
    if (context.copy_to_destinations &&
        (s.dest_raw.empty() || s.dest_jpg.empty() || s.dest_other.empty())) {
        return Usage(err, "--raw, --jpeg and --other are required");
    }
    // The folder the user named, resolved by the file system: "link/.." is the folder above the
    // link's target, which trimming the text would not give.
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(o.source->c_str(), nullptr), &std::free);
    if (!resolved || !FolderExists(resolved.get())) {
        return Usage(err, "SOURCE is not a folder: " + *o.source);
    }
    const std::string source = resolved.get();
    // A card's DCIM folder makes a card run; any other folder a folder run.
    const RunSourceKind kind = !o.rename && EqualsIgnoreAsciiCase(NameOf(source), "DCIM")
                                   ? RunSourceKind::rsCard
                                   : RunSourceKind::rsFolder;
    if (context.copy_to_destinations) {
        if (const std::optional<DestinationProblem> problem =
                CheckDestinations(context.settings, source, kind)) {
            err << "pelkocopy-cli import: " << DestinationProblemText(*problem) << "\n";
            return 1;
        }
    }

    OpenClosedStandardStreams();
    ScopedStopSignals signals;
    std::atomic<bool>& stop = signals.Flag();
    context.abort = &stop;

    // %C shortens models through the alias table; a first run without the window starts it with
    // the default lines, as the window would (an existing table is never rewritten). A dry run
    // writes nothing and takes those lines from memory, so that it names files as the run will.
    if (o.dry_run) {
        const ModelAliasSource aliases{facts.app_folder, TMissingAliasTable::matBuiltIn};
        context.naming.model_name = [aliases](const std::string& file) {
            return GetModelName(file, aliases);
        };
    } else if (FolderCreate(facts.app_folder)) {
        WriteModelAliasFile(facts.app_folder);
    }

    // With --mode or --mode-sp-user the shots are counted as the window counts them.
    const std::unique_ptr<ICardStatistics> statistics =
        o.dry_run ? nullptr : StartImportStatistics(settings, facts, clock, err);
    context.statistics = statistics.get();

    context.estimate_remaining = o.progress;
    RowPrinter printer(out, stop, o.json, o.progress ? &err : nullptr, ::isatty(2) == 1);
    const CommandResult result = RunCopyCommand(context, printer, source, kind);
    printer.Flush();

    for (const std::string& folder : result.unreadable_folders)
        err << "pelkocopy-cli import: cannot read folder " << folder << "\n";
    if (const std::string left = LeftOnCardText(result.run.left_on_card, o.rename); !left.empty()) {
        err << "pelkocopy-cli import: " << left << "\n";
    }
    const bool folder_failed = !result.unreadable_folders.empty();
    if (!printer.OutputFailed()) {
        if (!result.message.empty()) {
            out << (o.json ? Json{{"message", result.message}}.dump() : result.message) << "\n";
        } else if ((!folder_failed || result.run.rows > 0) && o.json) {
            out << Json{{"status", result.run.status}, {"speed", context.speed_text}}.dump()
                << "\n";
        } else if (!folder_failed || result.run.rows > 0) {
            // A run stopped while listing has no speed line.
            out << result.run.status << "\n";
            if (!context.speed_text.empty()) out << context.speed_text << "\n";
        }
        out.flush();
    }
    // A signal is the reason the run stopped, even when the output went with it (a pipeline
    // interrupted as a whole).
    if (const int signal_number = signals.Signal(); signal_number != 0) {
        err << "pelkocopy-cli import: interrupted\n";
        return 128 + signal_number;
    }
    if (printer.OutputFailed() || !out) {
        err << "pelkocopy-cli import: cannot write the output; the run stopped there\n";
        return 1;
    }
    if (!result.message.empty()) return folder_failed ? 1 : 0;
    return result.run.failed > 0 || result.run.aborted || folder_failed ? 1 : 0;
}

}  // namespace pelko::cli
