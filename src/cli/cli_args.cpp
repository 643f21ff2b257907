#include "cli/cli_args.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

#include "cli/usage.h"

namespace pelko::cli {

namespace {

// True for a regular file that can be opened for reading; O_NONBLOCK so a FIFO cannot stall it.
bool ReadableFile(const std::string& file) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

}  // namespace

bool ParseFileArgs(std::string_view command, const Args& args, std::initializer_list<Flag> flags,
                   Args* files, std::ostream& err) {
    bool options_done = false;
    for (const std::string& arg : args) {
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            files->push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        bool known = false;
        for (const Flag& flag : flags) {
            if (arg == flag.name) *flag.given = known = true;
        }
        if (!known) {
            BadUsage(err, command, "unknown option '" + arg + "'");
            return false;
        }
    }
    if (files->empty()) {
        BadUsage(err, command, "no FILE given");
        return false;
    }
    return true;
}

int ForEachFile(const std::string& command, const Args& files, std::ostream& err,
                const std::function<void(const std::string&)>& each) {
    int status = 0;
    for (const std::string& file : files) {
        if (!ReadableFile(file)) {
            err << "pelkocopy-cli " << command << ": cannot read '" << file << "'\n";
            status = 1;
        }
        each(file);
    }
    return status;
}

}  // namespace pelko::cli
