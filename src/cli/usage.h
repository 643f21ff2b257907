#pragma once

// The usage of every pelkocopy-cli command, written once: `pelkocopy-cli --help`, `COMMAND --help`
// and the one-line messages of bad usage all come from it.

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "cli/commands.h"

namespace pelko::cli {

struct OptionUsage {
    std::string_view names;    // "--format", or the spellings of a switch: "--remove / --no-remove"
    std::string_view value;    // what follows the option ("FMT"); empty for one that stands alone
    std::string_view meaning;  // one line
};

struct CommandUsage {
    std::string_view name;
    std::string_view synopsis;  // what follows the command's name on its usage line
    std::string_view summary;   // what it does and prints, a few short lines
    std::span<const OptionUsage> options;
    void (*notes)(std::ostream& out);  // further paragraphs (the mode numbers); may be null
};

// Which of an option's spellings arg is: 0 for the first ("--remove"), 1 for the second
// ("--no-remove"); -1 for none.
int SpellingOf(const OptionUsage& option, std::string_view arg);

// Every command, in the order the help lists them.
std::span<const CommandUsage> Commands();
// The usage of a command, or nullptr for a name that is none.
const CommandUsage* FindCommand(std::string_view name);

// "usage: pelkocopy-cli COMMAND SYNOPSIS".
std::string UsageLine(const CommandUsage& command);

// True when args ask for the command's usage: "--help" or "-h" where an option may stand, that is
// before any "--" and not as the value of an option that takes one.
bool AsksForHelp(const CommandUsage& command, const Args& args);

// A command's whole usage: its usage line, summary, options and notes.
void PrintCommandHelp(const CommandUsage& command, std::ostream& out);
// The usage of the program: how to call it, then every command with every option.
void PrintProgramHelp(std::ostream& out);

// Reports bad usage of a command on one line of err: the message (control characters shown as
// escapes, so a hostile argument cannot add lines) and the command's usage line. Returns 2.
int BadUsage(std::ostream& err, std::string_view command, std::string_view message);

}  // namespace pelko::cli
