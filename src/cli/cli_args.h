#pragma once

// Argument handling shared by the commands that take a list of files.

#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <string_view>

#include "cli/commands.h"

namespace pelko::cli {

// An option without a value, and where to record that it was given.
struct Flag {
    const char* name;
    bool* given;
};

// Splits args into the flags and the files ("--" ends the options). On an unknown option, or
// when no file is named, writes one line on err and returns false.
bool ParseFileArgs(std::string_view command, const Args& args, std::initializer_list<Flag> flags,
                   Args* files, std::ostream& err);

// Calls each(file) for every file in order, also for one that cannot be read (after a line on
// err), so every file gets its output line. Returns 1 when any could not be read, else 0.
int ForEachFile(const std::string& command, const Args& files, std::ostream& err,
                const std::function<void(const std::string&)>& each);

}  // namespace pelko::cli
