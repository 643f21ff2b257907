#pragma once

// Small text files that come from anywhere (settings, histories, lists, tables): read as a bounded
// prefix of a regular file, split into lines and decoded line by line, so that a FIFO, a device,
// a huge file or one stray byte can neither hang a reader nor garble the rest of the file.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelko {

enum class TextFileStatus {
    kOk,
    kMissing,  // no such file (or a folder on the way is missing)
    kFailed,   // exists but cannot be read, or is not a regular file
};

struct TextFileBytes {
    TextFileStatus status = TextFileStatus::kFailed;
    std::string bytes;
    // The file was longer than the limit; bytes end after its last line break before the limit.
    bool trimmed = false;
    unsigned mode = 0;  // permission bits of the file
};

// The bytes of a regular file (symbolic links followed), at most max_bytes. The file is opened
// without blocking, so a FIFO or a device under the name fails at once.
TextFileBytes ReadTextFilePrefix(const std::string& path, std::size_t max_bytes);

// The lines of a text file's bytes. A UTF-8 byte order mark is dropped; a UTF-16 one (either
// byte order) makes the text UTF-16. Lines end at CR LF, LF or a lone CR; a final line break adds
// no empty line. With cut_at_nul a line ends at its first NUL, as the C interfaces read it. Each
// line is UTF-8 when it is valid UTF-8, otherwise it is decoded from Shift-JIS (CP932).
std::vector<std::string> DecodeTextLines(std::string_view bytes, bool cut_at_nul);

}  // namespace pelko
