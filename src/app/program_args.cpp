#include "app/program_args.h"

namespace pelko {

ProgramArgs ParseProgramArgs(const std::vector<std::string>& args) {
    ProgramArgs parsed;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            parsed.help = true;
        } else if (options && arg == "--version") {
            parsed.version = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            parsed.error = "unknown option '" + arg + "'";
        } else if (!parsed.path.empty()) {
            parsed.error = "more than one CARD-OR-FOLDER";
        } else {
            parsed.path = arg;
        }
    }
    return parsed;
}

std::string ProgramUsage() {
    std::string text = "usage: pelkocopy " + std::string(kProgramSynopsis) +
                       "\n       pelkocopy --help | --version\n\n" + std::string(kProgramSummary) +
                       "\n\nOptions:\n";
    for (const ProgramOption& option : kProgramOptions) {
        std::string left = "  " + std::string(option.names);
        left.resize(16, ' ');
        text += left + std::string(option.meaning) + "\n";
    }
    return text;
}

}  // namespace pelko
