#pragma once

// Sub-commands of pelkocopy-cli. Each takes the arguments after its own name and returns the exit
// status: 0 success, 1 when any file failed, 2 for bad usage (after one line on err).

#include <iosfwd>
#include <string>
#include <vector>

namespace pelko::cli {

using Args = std::vector<std::string>;

int RunExif(const Args& args, std::ostream& out, std::ostream& err);
int RunModel(const Args& args, std::ostream& out, std::ostream& err);
int RunName(const Args& args, std::ostream& out, std::ostream& err);
int RunImport(const Args& args, std::ostream& out, std::ostream& err);
int RunSidecar(const Args& args, std::ostream& out, std::ostream& err);

// Entry point shared by main() and the tests.
int Main(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace pelko::cli
