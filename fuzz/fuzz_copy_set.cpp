// Reads arbitrary bytes as a copy-set ini file and as a typed set name. Every set whose section
// name passes the name check is read, written back into the same file and read again unchanged;
// a name that passes is one line of the list file and one section of the ini file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "copy/copy_sets.h"
#include "copy/copy_settings.h"
#include "support/ini_file.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// A folder in memory where there is one: the writes flush their files.
const std::string& Folder() {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string* folder = [] {
        char shm[] = "/dev/shm/fuzz_copy_set.XXXXXX";
        char tmp[] = "/tmp/fuzz_copy_set.XXXXXX";
        const char* made = mkdtemp(shm) != nullptr ? shm : mkdtemp(tmp);
        if (made == nullptr) std::abort();
        return new std::string(made);
    }();
    return *folder;
}

void RemoveFolder() {
    rmdir(Folder().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The name as typed: the input up to its first line break.
    const std::string_view typed = bytes.substr(0, bytes.find_first_of("\r\n"));
    if (!CheckCopySetName(typed)) {
        const std::string name(TrimControl(typed));
        if (DecodeTextLines(name + "\r\n", true) != std::vector<std::string>{name}) std::abort();
        IniDocument doc;
        if (!doc.Write(name, "ReMove", "1")) std::abort();
        if (IniDocument::Parse(doc.Text()).Read(name, "ReMove") != "1") std::abort();
    }

    // A new file name each time: the ini reader keeps what it parsed by name and file times.
    static unsigned long counter = 0;
    static const int cleanup = std::atexit(RemoveFolder);
    (void)cleanup;
    const std::string path = Folder() + "/CopySet" + std::to_string(counter++ % 64) + ".ini";
    unlink(path.c_str());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    const IniFile ini(path);
    const std::vector<std::string> sections = ini.ReadSections();
    for (std::size_t i = 0; i < sections.size() && i < 8; ++i) {
        if (CheckCopySetName(sections[i])) continue;
        std::vector<SettingsProblem> problems;
        const CopySettings first = ReadCopySet(ini, sections[i], &problems);
        {
            IniWriteBatch batch;
            if (!WriteCopySet(ini, sections[i], first)) std::abort();
        }
        problems.clear();
        if (ReadCopySet(ini, sections[i], &problems) != first) std::abort();
    }
    unlink(path.c_str());
    unlink((path + ".bak").c_str());
    return 0;
}
