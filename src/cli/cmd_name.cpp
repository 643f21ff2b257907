#include <ctime>
#include <optional>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/usage.h"
#include "naming/camera_model.h"
#include "naming/user_format.h"
#include "support/date_time.h"

namespace pelko::cli {

namespace {

int Usage(std::ostream& err, const std::string& message) {
    return BadUsage(err, "name", message);
}

}  // namespace

int RunName(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err) {
    std::optional<std::string> format;
    std::optional<std::string> date_text;
    std::string source_folder;
    std::optional<std::string> name;
    bool options_done = false;  // after "--" the argument is the NAME, even one like "--x"
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options_done && arg == "--") {
            options_done = true;
            continue;
        }
        auto value = [&](std::optional<std::string>* target) {
            if (i + 1 >= args.size()) return false;
            *target = args[++i];
            return true;
        };
        if (options_done) {
            if (name) return Usage(err, "more than one NAME");
            name = arg;
        } else if (arg == "--format") {
            if (!value(&format)) return Usage(err, "--format needs a value");
        } else if (arg == "--date") {
            if (!value(&date_text)) return Usage(err, "--date needs a value");
        } else if (arg == "--source-folder") {
            std::optional<std::string> folder;
            if (!value(&folder)) return Usage(err, "--source-folder needs a value");
            source_folder = *folder;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            return Usage(err, "unknown option " + arg);
        } else if (!name) {
            name = arg;
        } else {
            return Usage(err, "more than one NAME");
        }
    }
    if (!format) return Usage(err, "--format is required");
    if (!name) return Usage(err, "NAME is required (\"\" for a folder text)");

    DateTime date = DateTime::FromTimeT(std::time(nullptr));
    if (date_text) {
        const std::optional<DateTime> parsed = ParseDateTimeText(*date_text);
        if (!parsed) return Usage(err, "--date is not \"yyyy/mm/dd hh:nn:ss\": " + *date_text);
        date = *parsed;
    }
    // The extension as the name has it, from its last ".".
    const std::size_t dot = name->rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name->substr(dot);
    const ModelAliasSource aliases{facts.app_folder};
    out << EvaluateUserFormat(*name, ext, *format, date, source_folder,
                              [&](const std::string& file) { return GetModelName(file, aliases); })
        << "\n";
    return 0;
}

}  // namespace pelko::cli
