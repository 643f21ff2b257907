#pragma once

// Ini files in the Windows profile format: "[Section]" header lines and "key=value" lines.
//
// Reading follows the Windows profile functions: section and key names match with ASCII letters
// folded; whitespace around names and values is dropped; one pair of matching quotes (" or ')
// around a value is removed; a value is cut after 2,047 characters and ends at a NUL. Lines end at
// CR LF, LF or a lone CR; each line is UTF-8 when it is valid UTF-8, otherwise Shift-JIS (files of
// the Windows program), so one stray byte never re-decodes the rest of the file; a file with a
// UTF-16 byte order mark is read as UTF-16. Writing keeps every other line as it was (comments,
// blank lines, order) and stores the file as UTF-8 with CR LF line ends.
//
// IniFile keeps the last parsed form of each file it read, and parses a file again only once its
// size, times or identity changed, so that reading many keys of a large file costs one parse.
// A write changes that form and writes the file when its text changed; inside an IniWriteBatch
// each file changed is written once, when the batch ends. A file longer than the reader takes is
// replaced by what was read plus the change, the whole old file kept beside it as "<name>.bak".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "support/text_file.h"

namespace pelko {

// Longest value a read returns, in characters.
inline constexpr std::size_t kIniMaxValueChars = 2047;
// Bytes read from an ini file. A longer file is read up to its last line break before the limit;
// a write replaces it and keeps the whole old file as "<name>.bak".
inline constexpr std::size_t kIniMaxFileBytes = 8u * 1024 * 1024;

// The lines of one ini file, parsed from text in memory.
class IniDocument {
  public:
    IniDocument() = default;
    // Any bytes: split into lines and decoded line by line as described above. Never fails.
    static IniDocument Parse(std::string_view bytes);

    // The value of key in section (first section and first key of that name), or nothing.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    // Sets key in section: replaces the value of an existing key, else adds the key after the
    // last line of the section, else adds the section at the end. False (nothing changed) for a
    // section or key that cannot be stored (see IsStorableName).
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line; false when it was not there.
    bool EraseKey(std::string_view section, std::string_view key);
    // Removes every section of that name with all its lines; false when there was none.
    bool EraseSection(std::string_view section);

    // The values of the first section of that name by key as FoldKey gives it, for lookups of
    // many keys: the first line of each key wins, as Read finds it.
    std::unordered_map<std::string, std::string> SectionValues(std::string_view section) const;
    // A key as reads compare it: whitespace around it dropped, ASCII letters folded.
    static std::string FoldKey(std::string_view key);

    // Section names in file order, each name once (first spelling).
    std::vector<std::string> Sections() const;
    // Key names of the section in file order.
    std::vector<std::string> Keys(std::string_view section) const;
    bool HasSection(std::string_view section) const;

    // The whole file: lines joined by CR LF, with a final CR LF.
    std::string Text() const;

    const std::vector<std::string>& Lines() const { return lines_; }

    // True for a section name or key that a write can put into a file so that it reads back:
    // no CR, LF or NUL; a section no "]" that a comment follows; a key also non-empty after
    // trimming, without "=", and not starting with "[" or ";".
    static bool IsStorableSection(std::string_view section);
    static bool IsStorableKey(std::string_view key);
    // The value text a write puts after "=": CR, LF and NUL become spaces; a value that would lose
    // surrounding whitespace or quotes on reading is wrapped in a pair of double quotes.
    static std::string EncodeValue(std::string_view value);

  private:
    // Index range [begin, end) of the lines of the first section of that name, header included;
    // nothing when absent.
    std::optional<std::pair<std::size_t, std::size_t>> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(std::size_t begin, std::size_t end,
                                       std::string_view key) const;

    std::vector<std::string> lines_;
};

// One ini file on disk. Reads of a missing or unreadable file give the default; writes replace the
// file atomically (temporary file in the same folder, synced, renamed over it) and report success.
// A write does not create missing folders.
class IniFile {
  public:
    explicit IniFile(std::string file_name) : file_name_(std::move(file_name)) {}

    const std::string& FileName() const { return file_name_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view default_value) const;
    // Decimal (optionally "0x" or "$" hexadecimal) with an optional sign, the whole value, inside
    // the 32-bit range; anything else gives the default.
    int ReadInteger(std::string_view section, std::string_view key, int default_value) const;
    // An integer; non-zero is true.
    bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    bool SectionExists(std::string_view section) const;
    std::vector<std::string> ReadSections() const;
    // How the file's current form was read: missing, whole (kOk), or unreadable (kFailed); with
    // kOk, *trimmed tells that it was longer than the read bound and only its start was read.
    TextFileStatus ReadState(bool* trimmed) const;
    std::vector<std::string> ReadSection(std::string_view section) const;

    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;
    bool WriteInteger(std::string_view section, std::string_view key, int value) const;
    // Written as "1" or "0".
    bool WriteBool(std::string_view section, std::string_view key, bool value) const;
    bool DeleteKey(std::string_view section, std::string_view key) const;
    bool EraseSection(std::string_view section) const;

  private:
    std::string file_name_;
};

// While one is alive (on any thread), IniFile writes change the files' parsed forms only; the
// last one to end writes each changed file once. Many keys written at close thus cost one write.
class IniWriteBatch {
  public:
    IniWriteBatch();
    ~IniWriteBatch();
    IniWriteBatch(const IniWriteBatch&) = delete;
    IniWriteBatch& operator=(const IniWriteBatch&) = delete;
};

// The integer an ini value stands for, by IniFile::ReadInteger's rules.
std::optional<int> ParseIniInteger(std::string_view text);

}  // namespace pelko
