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
    unlink((Folder() + "/CopySet.ini").c_str());
    rmdir(Folder().c_str());
}

void WriteWhole(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::abort();
    }
    std::fclose(file);
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

    // One file, rewritten each time: the ini reader compares the bytes of a file changed within
    // the last seconds, so its kept parse never goes stale.
    static const int cleanup = std::atexit(RemoveFolder);
    (void)cleanup;
    const std::string path = Folder() + "/CopySet.ini";
    WriteWhole(path, bytes);
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
    // Leave the reader's kept parse as small as it was before this input, so that the fuzzer
    // does not take what it keeps for a leak and scan for leaks after every input.
    WriteWhole(path, {});
    (void)ini.ReadSections();
    unlink((path + ".bak").c_str());
    return 0;
}
