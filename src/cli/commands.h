#pragma once

// Sub-commands of pelkocopy-cli. Each takes the arguments after its own name and returns the exit
// status: 0 success, 1 when any file failed, 2 for bad usage (after one line on err).

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace pelko {
struct MainWindowSettings;
class IClock;
class ICardStatistics;
}  // namespace pelko

namespace pelko::cli {

using Args = std::vector<std::string>;

// What the program finds out about its place once, in main, and hands to every command.
struct ProgramFacts {
    std::string app_folder;
    std::string computer_name;
    // The per-user temporary folder; empty: the application folder serves.
    std::string temp_folder;
};

int RunExif(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunModel(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunName(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunImport(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunSidecar(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunStats(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);

// The shot counters and statistics of an import with Mode or ModeSpUser in settings, kept as the
// window keeps them; null when neither is on. They are written back when it goes.
std::unique_ptr<ICardStatistics> StartImportStatistics(const MainWindowSettings& settings,
                                                       const ProgramFacts& facts,
                                                       const IClock& clock, std::ostream& err);

// Entry point shared by main() and the tests.
int Main(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);

}  // namespace pelko::cli
