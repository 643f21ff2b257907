#include <algorithm>
#include <ostream>
#include <string_view>

#include "cli/commands.h"
#include "cli/usage.h"
#include "support/version.h"

namespace pelko::cli {

namespace {

struct Runner {
    std::string_view name;
    int (*run)(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
};
constexpr Runner kRunners[] = {
    {"exif", RunExif},     {"model", RunModel},     {"name", RunName},
    {"import", RunImport}, {"sidecar", RunSidecar}, {"stats", RunStats},
};

}  // namespace

int Main(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "usage: pelkocopy-cli COMMAND [ARGS] (pelkocopy-cli --help lists the commands)\n";
        return 2;
    }
    const std::string& command = args.front();
    const Args rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        // "help COMMAND" is "COMMAND --help".
        const CommandUsage* about = rest.size() == 1 ? FindCommand(rest[0]) : nullptr;
        if (about != nullptr) {
            PrintCommandHelp(*about, out);
        } else {
            PrintProgramHelp(out);
        }
        return 0;
    }
    if (command == "--version") {
        out << "pelkocopy-cli " << kVersionText << "\n";
        return 0;
    }
    const CommandUsage* usage = FindCommand(command);
    const auto runner = std::find_if(std::begin(kRunners), std::end(kRunners),
                                     [&](const Runner& r) { return r.name == command; });
    if (usage == nullptr || runner == std::end(kRunners)) {
        err << "pelkocopy-cli: unknown command '" << command << "' (see --help)\n";
        return 2;
    }
    // Every command answers --help the same way, before its own options are read.
    if (AsksForHelp(*usage, rest)) {
        PrintCommandHelp(*usage, out);
        return 0;
    }
    return runner->run(rest, facts, out, err);
}

}  // namespace pelko::cli
