#include "naming/list_file.h"

#include "support/file_ops.h"
#include "support/text_file.h"

namespace pelko {

std::vector<std::string> LoadListFile(const std::string& path) {
    const TextFileBytes file = ReadTextFilePrefix(path, kListMaxFileBytes);
    if (file.status != TextFileStatus::kOk) return {};
    return DecodeTextLines(file.bytes, true);
}

bool SaveListFile(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        // A line break inside an entry would split it into two entries on reading.
        for (const char c : line)
            text += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
        text += "\r\n";
    }
    return WriteFileAtomically(path, text) == 0;
}

}  // namespace pelko
