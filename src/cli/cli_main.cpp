#include <ostream>
#include <string_view>

#include "cli/commands.h"
#include "support/version.h"

namespace pelko::cli {

namespace {

constexpr std::string_view kUsage =
    "usage: pelkocopy-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  exif FILE...                 print every EXIF property of each file as one JSON line\n"
    "  model [--no-alias] FILE...   print the camera model of each file\n"
    "  name --format FMT [--date \"yyyy/mm/dd hh:nn:ss\"] [--source-folder DIR] NAME\n"
    "                               print the name a user format gives\n"
    "  import SOURCE --raw DIR --jpeg DIR --other DIR [options]\n"
    "                               copy or rename the files of a card or folder\n"
    "  sidecar --sidecars DIR --pictures DIR [--jpeg] [--delete-xmp] [--execute]\n"
    "                               list (and with --execute tidy) orphaned sidecar files\n"
    "\n"
    "Options:\n"
    "  --help                       show this text\n"
    "  --version                    show the version\n";

}  // namespace

int Main(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args.front();
    Args rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "--version") {
        out << "pelkocopy-cli " << kVersionText << "\n";
        return 0;
    }
    if (command == "exif") return RunExif(rest, out, err);
    if (command == "model") return RunModel(rest, out, err);
    if (command == "name") return RunName(rest, out, err);
    if (command == "import") return RunImport(rest, out, err);
    if (command == "sidecar") return RunSidecar(rest, out, err);
    err << "pelkocopy-cli: unknown command '" << command << "' (see --help)\n";
    return 2;
}

}  // namespace pelko::cli
