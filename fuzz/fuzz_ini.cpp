// Parses arbitrary bytes as an ini file, reads what it holds, writes one key and checks that the
// written key reads back and no other value changed.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "support/ini_file.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniDocument doc = IniDocument::Parse(bytes);

    std::vector<std::tuple<std::string, std::string, std::optional<std::string>>> before;
    const std::vector<std::string> sections = doc.Sections();
    for (std::size_t i = 0; i < sections.size() && i < 8; ++i) {
        const std::vector<std::string> keys = doc.Keys(sections[i]);
        for (std::size_t j = 0; j < keys.size() && j < 8; ++j) {
            auto value = doc.Read(sections[i], keys[j]);
            if (value) (void)ParseIniInteger(*value);
            before.emplace_back(sections[i], keys[j], std::move(value));
        }
    }

    const std::string section = sections.empty() ? "FrmDCMain" : sections.back();
    const std::string key = "FuzzKey";
    const std::string value = " written \"value\" ";
    if (!doc.Write(section, key, value)) {
        if (IniDocument::IsStorableSection(section)) std::abort();
        return 0;
    }
    const IniDocument again = IniDocument::Parse(doc.Text());
    if (again.Read(section, key) != value) std::abort();
    for (const auto& [s, k, v] : before) {
        if (EqualsIgnoreAsciiCase(s, section) && EqualsIgnoreAsciiCase(k, key)) continue;
        if (again.Read(s, k) != v) std::abort();
    }
    return 0;
}
