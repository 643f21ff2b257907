// Writes the manual pages of both programs and the bash completion of pelkocopy-cli from the
// usage tables that --help prints, so that neither can drift from the programs:
//   pelko_gen_docs man-cli | man-app | bash-completion

#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "app/program_args.h"
#include "cli/usage.h"
#include "support/version.h"

using namespace pelko;
using namespace pelko::cli;

namespace {

constexpr std::string_view kDate = "2026-12-07";

// Text as roff reads it: backslashes written out, hyphens as minus signs (options are typed with
// them), and a line that would start with a control character kept as text.
std::string Roff(std::string_view text) {
    std::string out;
    bool line_start = true;
    for (const char c : text) {
        if (line_start && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
        line_start = c == '\n';
    }
    return out;
}

// A paragraph of running text: the line breaks of the terminal layout are not kept.
std::string Paragraph(std::string_view text) {
    std::string joined(text);
    for (char& c : joined) {
        if (c == '\n') c = ' ';
    }
    return Roff(joined) + "\n";
}

void Header(std::ostream& out, std::string_view name, std::string_view what) {
    out << ".TH " << Roff(name) << " 1 \"" << kDate << "\" \"PelkoCopy " << kVersionText
        << "\" \"User Commands\"\n.ad l\n.nh\n.SH NAME\n"
        << Roff(name) << " \\- " << Roff(what) << "\n";
}

void Option(std::ostream& out, std::string_view names, std::string_view value,
            std::string_view meaning) {
    out << ".TP\n\\fB" << Roff(names) << "\\fR";
    if (!value.empty()) out << " \\fI" << Roff(value) << "\\fR";
    out << "\n" << Roff(meaning) << "\n";
}

void ManCli(std::ostream& out) {
    Header(out, "pelkocopy-cli", "copy the pictures and movies of a camera card from the shell");
    out << ".SH SYNOPSIS\n";
    for (const CommandUsage& command : Commands()) {
        out << ".B pelkocopy-cli " << Roff(command.name) << "\n"
            << Roff(command.synopsis) << "\n.br\n";
    }
    out << ".B pelkocopy-cli\n\\-\\-help | \\-\\-version\n";
    out << ".SH DESCRIPTION\n"
        << Paragraph(
               "The engine of PelkoCopy on the command line: the same copy run as the "
               "window's, for scripts and automatic imports. Output is UTF-8. \"--\" ends "
               "the options of every command; COMMAND --help prints that command's usage.")
        << ".PP\n"
        << Paragraph(
               "Rows are tab-separated, one line per row; in every cell a tab, newline, "
               "backslash, control character or byte that is not UTF-8 is written as \\t, "
               "\\n, \\\\ or \\xNN.");
    out << ".SH COMMANDS\n";
    for (const CommandUsage& command : Commands()) {
        out << ".SS " << Roff(command.name) << "\n" << Paragraph(command.summary);
        for (const OptionUsage& option : command.options)
            Option(out, option.names, option.value, option.meaning);
        if (command.notes != nullptr) {
            std::ostringstream notes;
            command.notes(notes);
            out << ".PP\n.nf\n" << Roff(notes.str()) << ".fi\n";
        }
    }
    out << ".SH EXIT STATUS\n"
        << Paragraph(
               "0 on success; 1 when any file failed, a folder could not be read or the "
               "output could not be written; 2 for bad usage (with one line on standard "
               "error); 130 and 143 when an import was stopped by SIGINT or SIGTERM.")
        << ".SH ENVIRONMENT\n.TP\n.B PELKOCOPY_HOME\n"
        << Paragraph(
               "The application folder: settings, histories, copy sets and the model alias "
               "table. Without it, the folder of the program when it is writable, else "
               "$XDG_CONFIG_HOME/PelkoCopy.")
        << ".SH SEE ALSO\n.BR pelkocopy (1)\n";
}

void ManApp(std::ostream& out) {
    Header(out, "pelkocopy", "copy the pictures and movies of a camera card");
    out << ".SH SYNOPSIS\n.B pelkocopy\n"
        << Roff(kProgramSynopsis) << "\n.br\n.B pelkocopy\n\\-\\-help | \\-\\-version\n"
        << ".SH DESCRIPTION\n";
    std::string_view summary = kProgramSummary;
    for (std::size_t end; !summary.empty(); summary.remove_prefix(end)) {
        end = summary.find("\n\n");
        out << Paragraph(summary.substr(0, end)) << ".PP\n";
        end = end == std::string_view::npos ? summary.size() : end + 2;
    }
    out << Paragraph(
               "The window and its texts are in Japanese. pelkocopy-cli(1) runs the same "
               "engine from the shell.")
        << ".SH OPTIONS\n";
    for (const ProgramOption& option : kProgramOptions)
        Option(out, option.names, {}, option.meaning);
    out << ".SH ENVIRONMENT\n.TP\n.B PELKOCOPY_HOME\n"
        << Paragraph("The application folder, as for pelkocopy-cli(1).")
        << ".SH SEE ALSO\n.BR pelkocopy\\-cli (1)\n";
}

// The words of an option's spellings ("--remove / --no-remove" gives two).
std::string Spellings(std::string_view names) {
    std::string words;
    for (std::size_t at; !names.empty(); names.remove_prefix(at)) {
        at = names.find(" / ");
        if (!words.empty()) words += ' ';
        words.append(names.substr(0, at));
        at = at == std::string_view::npos ? names.size() : at + 3;
    }
    return words;
}

void BashCompletion(std::ostream& out) {
    out << "# bash completion for pelkocopy-cli, written from its usage table\n"
           "_pelkocopy_cli() {\n"
           "    local cur prev command i\n"
           "    cur=\"${COMP_WORDS[COMP_CWORD]}\"\n"
           "    prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
           "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
           "        COMPREPLY=($(compgen -W \"";
    for (const CommandUsage& command : Commands())
        out << command.name << " ";
    out << "--help --version\" -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    command=\"${COMP_WORDS[1]}\"\n"
           "    case \"$command\" in\n";
    for (const CommandUsage& command : Commands()) {
        std::string options = "--help --", folders, texts;
        for (const OptionUsage& option : command.options) {
            const std::string words = Spellings(option.names);
            options += " " + words;
            if (option.value == "DIR") {
                folders += (folders.empty() ? "" : "|") + words;
            } else if (!option.value.empty()) {
                texts += (texts.empty() ? "" : "|") + words;
            }
        }
        // Operands: folders for import, files for the rest.
        const bool folder_operands = command.synopsis.find("SOURCE") != std::string_view::npos;
        out << "    " << command.name << ")\n        case \"$prev\" in\n";
        if (!folders.empty()) {
            out << "        " << folders << ") COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n";
        }
        if (!texts.empty()) out << "        " << texts << ") return ;;\n";
        out << "        esac\n"
               "        if [[ \"$cur\" == -* ]]; then\n"
               "            COMPREPLY=($(compgen -W \""
            << options
            << "\" -- \"$cur\"))\n"
               "        else\n"
               "            COMPREPLY=($(compgen "
            << (folder_operands ? "-d" : "-f")
            << " -- \"$cur\"))\n"
               "        fi\n"
               "        ;;\n";
    }
    out << "    esac\n"
           "}\n"
           "complete -o filenames -F _pelkocopy_cli pelkocopy-cli\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc == 2 ? argv[1] : "";
    if (what == "man-cli") {
        ManCli(std::cout);
    } else if (what == "man-app") {
        ManApp(std::cout);
    } else if (what == "bash-completion") {
        BashCompletion(std::cout);
    } else {
        std::cerr << "usage: pelko_gen_docs man-cli | man-app | bash-completion\n";
        return 2;
    }
    return std::cout.good() ? 0 : 1;
}
