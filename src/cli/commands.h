#pragma once

// Sub-commands of pelkocopy-cli. Each takes the arguments after its own name and returns the exit
// status: 0 success, 1 when any file failed, 2 for bad usage (after one line on err).

#include <iosfwd>
#include <string>
#include <vector>

namespace pelko::cli {

using Args = std::vector<std::string>;

// What the program finds out about its place once, in main, and hands to every command.
struct ProgramFacts {
    std::string app_folder;
    std::string computer_name;
};

int RunExif(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunModel(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunName(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunImport(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);
int RunSidecar(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);

// Entry point shared by main() and the tests.
int Main(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err);

}  // namespace pelko::cli
