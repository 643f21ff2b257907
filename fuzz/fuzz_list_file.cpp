// Reads arbitrary bytes as a history or list file, from memory and through the file loader, and
// checks that the entries are clean UTF-8 lines that come back unchanged once saved and read again.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "naming/list_file.h"
#include "support/text.h"
#include "support/text_file.h"

namespace {

// In memory where there is such a folder: every input is written to a file.
const std::string& ListPath() {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string* path = [] {
        char shm[] = "/dev/shm/fuzz_list_file.XXXXXX";
        char tmp[] = "/tmp/fuzz_list_file.XXXXXX";
        const char* folder = mkdtemp(shm) != nullptr ? shm : mkdtemp(tmp);
        if (folder == nullptr) std::abort();
        return new std::string(std::string(folder) + "/History.txt");
    }();
    return *path;
}

void RemoveListFile() {
    unlink(ListPath().c_str());
    rmdir(ListPath().substr(0, ListPath().rfind('/')).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = DecodeTextLines(bytes, true);

    std::string saved;
    for (const std::string& line : lines) {
        if (!IsValidUtf8(line)) std::abort();
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
        saved += line + "\r\n";
    }
    if (DecodeTextLines(saved, true) != lines) std::abort();

    // The loader reads the same entries from a file.
    static const int cleanup = std::atexit(RemoveListFile);
    (void)cleanup;
    std::FILE* file = std::fopen(ListPath().c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    if (LoadListFile(ListPath()) != lines) std::abort();
    return 0;
}
