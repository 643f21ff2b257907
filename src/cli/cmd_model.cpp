// pelkocopy-cli model [--no-alias] FILE...: the camera model of each file, one line per file.

#include <ostream>

#include "cli/cli_args.h"
#include "naming/camera_model.h"
#include "support/file_ops.h"

namespace pelko::cli {

int RunModel(const Args& args, const ProgramFacts& facts, std::ostream& out, std::ostream& err) {
    bool no_alias = false;
    Args files;
    if (!ParseFileArgs("model", args, {{"--no-alias", &no_alias}}, &files, err)) return 2;
    // Without the window having run, the alias table does not exist yet: start it with the
    // default lines, as the window would (an existing table is never rewritten).
    if (!no_alias && FolderCreate(facts.app_folder)) WriteModelAliasFile(facts.app_folder);
    const ModelAliasSource aliases{no_alias ? std::string() : facts.app_folder};
    // A file that cannot be read still gets its line: the fallback text or "不明".
    return ForEachFile("model", files, err, [&](const std::string& file) {
        out << GetModelName(file, aliases) << '\n';
    });
}

}  // namespace pelko::cli
