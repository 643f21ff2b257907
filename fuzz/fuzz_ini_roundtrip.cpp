// Parses arbitrary bytes as an ini file, writes every value it read into a new document and
// checks that each reads back the same; then stores section, key and value cut from the input
// and checks that the value reads back as written.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/ini_file.h"
#include "support/text.h"

namespace {

// True for a value a write keeps exactly: the reader splits lines at CR and LF, ends a value at
// NUL, cuts it after kIniMaxValueChars characters and decodes a line that is not UTF-8.
bool KeptByWrite(std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    if (!pelko::IsValidUtf8(value)) return false;
    std::size_t chars = 0;
    for (std::size_t pos = 0; pos < value.size(); pos += pelko::CharLengthAt(value, pos))
        ++chars;
    return chars <= pelko::kIniMaxValueChars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const IniDocument doc = IniDocument::Parse(bytes);

    IniDocument written;
    struct Entry {
        std::string section, key, value;
    };
    std::vector<Entry> entries;
    const std::vector<std::string> sections = doc.Sections();
    for (std::size_t i = 0; i < sections.size() && i < 8; ++i) {
        const std::vector<std::string> keys = doc.Keys(sections[i]);
        for (std::size_t j = 0; j < keys.size() && j < 8; ++j) {
            const auto value = doc.Read(sections[i], keys[j]);
            if (!value) std::abort();  // a listed key always has a value
            if (!written.Write(sections[i], keys[j], *value)) continue;
            entries.push_back({sections[i], keys[j], *value});
        }
    }
    const IniDocument again = IniDocument::Parse(written.Text());
    for (const Entry& e : entries) {
        // The first line of a key wins on reading; a later key of the same folded name read
        // the same value from the source.
        if (again.Read(e.section, e.key) != doc.Read(e.section, e.key)) std::abort();
    }

    // Section, key and value from the input, split at its first two 0x01 bytes.
    const std::size_t first = bytes.find('\x01');
    if (first == std::string_view::npos) return 0;
    const std::size_t second = bytes.find('\x01', first + 1);
    if (second == std::string_view::npos) return 0;
    const std::string_view section = bytes.substr(0, first);
    const std::string_view key = bytes.substr(first + 1, second - first - 1);
    const std::string_view value = bytes.substr(second + 1);
    IniDocument fresh;
    if (!fresh.Write(section, key, value)) return 0;
    if (!IsValidUtf8(section) || !IsValidUtf8(key) || !KeptByWrite(value)) return 0;
    const IniDocument stored = IniDocument::Parse(fresh.Text());
    if (stored.Read(section, key) != value) std::abort();
    return 0;
}
