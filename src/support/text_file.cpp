#include "support/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "support/text.h"

namespace pelko {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// UTF-16 code units to UTF-8; an unpaired surrogate and an odd last byte become U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool little_endian) {
    auto unit = [&](std::size_t i) -> char32_t {
        const auto lo = static_cast<unsigned char>(bytes[little_endian ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(bytes[little_endian ? i + 1 : i]);
        return static_cast<char32_t>(hi << 8 | lo);
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    if (i < bytes.size()) AppendUtf8(out, 0xFFFD);
    return out;
}

}  // namespace

TextFileBytes ReadTextFilePrefix(const std::string& path, std::size_t max_bytes) {
    TextFileBytes result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.status = (errno == ENOENT || errno == ENOTDIR) ? TextFileStatus::kMissing
                                                              : TextFileStatus::kFailed;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return result;
    }
    result.mode = st.st_mode & 07777;
    // One byte more than expected tells a file that grew, or one past the limit.
    const std::size_t want = static_cast<std::uint64_t>(st.st_size) >= max_bytes
                                 ? max_bytes + 1
                                 : static_cast<std::size_t>(st.st_size) + 1;
    result.bytes.resize(want);
    std::size_t got = 0;
    bool failed = false;
    while (got < want) {
        const ssize_t n = ::read(fd, result.bytes.data() + got, want - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) {
        result.bytes.clear();
        return result;
    }
    result.bytes.resize(got);
    if (got > max_bytes) {
        result.trimmed = true;
        result.bytes.resize(max_bytes);
        const std::size_t last_break = result.bytes.find_last_of("\r\n");
        result.bytes.resize(last_break == std::string::npos ? 0 : last_break + 1);
    }
    result.status = TextFileStatus::kOk;
    return result;
}

std::vector<std::string> DecodeTextLines(std::string_view bytes, bool cut_at_nul) {
    std::string utf16_text;
    if (bytes.substr(0, kUtf16LeBom.size()) == kUtf16LeBom ||
        bytes.substr(0, kUtf16BeBom.size()) == kUtf16BeBom) {
        utf16_text = Utf16ToUtf8(bytes.substr(2), bytes[0] == kUtf16LeBom[0]);
        bytes = utf16_text;
    }
    while (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        bytes.remove_prefix(kUtf8Bom.size());

    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        std::string_view line = bytes.substr(0, end);
        if (cut_at_nul) line = line.substr(0, line.find('\0'));
        lines.push_back(DecodeLegacyText(line));
        if (end == std::string_view::npos) break;
        const bool crlf = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
        bytes.remove_prefix(end + (crlf ? 2 : 1));
    }
    return lines;
}

}  // namespace pelko
