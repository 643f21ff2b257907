#include "naming/list_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "support/file_ops.h"
#include "support/platform.h"
#include "support/text_file.h"

namespace pelko {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

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
    // The text is staged in the private temporary folder and put in place by the file layer's
    // copy, which never leaves a partial file under the name and makes the copy durable.
    // Created with 0666 so the user's umask gives the file its usual permission bits.
    static std::atomic<unsigned> counter{0};
    std::string staged;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        staged = UserTempFolder() + "/list-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter.fetch_add(1));
        fd = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = WriteAll(fd, text);
    ok = ::close(fd) == 0 && ok;
    if (ok) {
        ok = CopyFileChecked(staged, path, {.overwrite = true, .durable_verify = true}) ==
             CopyOutcome::kOk;
    }
    ::unlink(staged.c_str());
    return ok;
}

}  // namespace pelko
