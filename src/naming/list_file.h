#pragma once

// History and list files (user folder and format histories, copy-set names): one entry per line.
// They come from other computers, older versions and editors, so they are read like ini files.

#include <cstddef>
#include <string>
#include <vector>

namespace pelko {

// Bytes read from a list file; a longer file is read up to its last line break before the limit.
inline constexpr std::size_t kListMaxFileBytes = 1024 * 1024;

// Lines of a history or list file: regular files only, non-blocking open, bounded prefix, NUL
// ends a line's value, each line decoded UTF-8 or else CP932. Missing/unreadable: empty.
std::vector<std::string> LoadListFile(const std::string& path);

// Writes the lines with CR LF, atomically. False on failure.
bool SaveListFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace pelko
