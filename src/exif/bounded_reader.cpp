#include "exif/bounded_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pelko {

namespace {

// The window grows up to this size; an EXIF block (at most 64 KiB) always fits.
constexpr std::uint64_t kWindowReach = 256 * 1024;

// Reads n bytes at pos, retrying interrupted and partial reads; returns the bytes read.
std::size_t PreadFull(int fd, char* out, std::size_t n, std::uint64_t pos) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(fd, out + done, n - done, static_cast<off_t>(pos + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace

BoundedReader::BoundedReader(std::string_view bytes)
    : size_(bytes.size()), data_(bytes.data()), window_(bytes.size()) {}

BoundedReader::~BoundedReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool BoundedReader::OpenFile(const std::string& path, std::size_t prefetch) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    window_ = 0;
    data_ = nullptr;
    if (path.empty()) return false;
    // Non-blocking, so a FIFO under a picture's name cannot stall the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    Cover(std::min<std::uint64_t>(prefetch, kWindowReach));
    return true;
}

bool BoundedReader::Cover(std::uint64_t end) {
    end = std::min(end, size_);
    if (end <= window_) return true;
    if (fd_ < 0 || end > kWindowReach) return false;
    // Grow at least twofold so a walk that creeps forward costs few reads.
    std::uint64_t target = std::min({size_, kWindowReach, std::max(end, window_ * 2)});
    buffer_.resize(static_cast<std::size_t>(target));
    std::size_t got = PreadFull(fd_, buffer_.data() + window_,
                                static_cast<std::size_t>(target - window_), window_);
    window_ += got;
    data_ = buffer_.data();
    if (window_ < target) size_ = window_;  // the file shrank while we read it
    return end <= window_;
}

std::string_view BoundedReader::View(std::uint64_t pos, std::size_t n) {
    if (pos >= size_) return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - pos));
    if (Cover(pos + n)) return {data_ + pos, n};
    scratch_.resize(n);
    std::size_t got = PreadFull(fd_, scratch_.data(), n, pos);
    return {scratch_.data(), got};
}

std::size_t BoundedReader::ReadAt(std::uint64_t pos, void* out, std::size_t n) {
    std::string_view got = View(pos, n);
    if (!got.empty()) std::memcpy(out, got.data(), got.size());
    if (got.size() < n) std::memset(static_cast<char*>(out) + got.size(), 0, n - got.size());
    return got.size();
}

std::uint16_t BoundedReader::U16(std::uint64_t pos, bool big_endian) {
    unsigned char b[2];
    ReadAt(pos, b, 2);
    return static_cast<std::uint16_t>(big_endian ? (b[0] << 8) | b[1] : (b[1] << 8) | b[0]);
}

std::uint32_t BoundedReader::U32(std::uint64_t pos, bool big_endian) {
    unsigned char b[4];
    ReadAt(pos, b, 4);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | b[big_endian ? i : 3 - i];
    return v;
}

std::uint64_t BoundedReader::U64(std::uint64_t pos, bool big_endian) {
    unsigned char b[8];
    ReadAt(pos, b, 8);
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | b[big_endian ? i : 7 - i];
    return v;
}

}  // namespace pelko
