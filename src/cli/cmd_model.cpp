// pelkocopy-cli model [--no-alias] FILE...: the camera model of each file, one line per file.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include "cli/commands.h"
#include "naming/camera_model.h"

namespace pelko::cli {

namespace {

bool ReadableFile(const std::string& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

}  // namespace

int RunModel(const Args& args, std::ostream& out, std::ostream& err) {
    bool no_alias = false;
    bool options_done = false;
    Args files;
    for (const std::string& arg : args) {
        if (!options_done && arg == "--") {
            options_done = true;
        } else if (!options_done && arg == "--no-alias") {
            no_alias = true;
        } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
            err << "pelkocopy-cli model: unknown option '" << arg << "'\n";
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        err << "usage: pelkocopy-cli model [--no-alias] FILE...\n";
        return 2;
    }
    int status = 0;
    for (const std::string& file : files) {
        if (!ReadableFile(file)) {
            err << "pelkocopy-cli model: cannot read '" << file << "'\n";
            status = 1;
        }
        // A file that cannot be read still gets its line: the fallback text or "不明".
        out << GetModelName(file, no_alias) << '\n';
    }
    return status;
}

}  // namespace pelko::cli
