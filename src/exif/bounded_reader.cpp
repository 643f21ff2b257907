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
// Bytes read at once beyond the window's reach, so a directory far into a large file costs one
// read rather than one per number.
constexpr std::uint64_t kFarChunk = 64 * 1024;

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

// An unsigned integer of sizeof(T) bytes at pos; bytes past the end read as zero.
template <typename T>
T Unsigned(BoundedReader& reader, std::uint64_t pos, bool big_endian) {
    unsigned char b[sizeof(T)];
    reader.ReadAt(pos, b, sizeof(T));
    T v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v = static_cast<T>((v << 8) | b[big_endian ? i : sizeof(T) - 1 - i]);
    return v;
}

}  // namespace

namespace {
thread_local const ScopedOpenFile* t_open_file = nullptr;
}  // namespace

ScopedOpenFile::ScopedOpenFile(const std::string& path_, int fd_, std::uint64_t size_)
    : path(path_), fd(fd_), size(size_), outer_(t_open_file) {
    t_open_file = this;
}

ScopedOpenFile::~ScopedOpenFile() {
    t_open_file = outer_;
}

BoundedReader::BoundedReader(std::string_view bytes)
    : size_(bytes.size()), data_(bytes.data()), window_(bytes.size()) {}

BoundedReader::~BoundedReader() {
    if (fd_ >= 0 && owns_fd_) ::close(fd_);
}

bool BoundedReader::OpenFile(const std::string& path, std::size_t prefetch) {
    if (fd_ >= 0 && owns_fd_) ::close(fd_);
    fd_ = -1;
    owns_fd_ = true;
    size_ = 0;
    window_ = 0;
    data_ = nullptr;
    far_.clear();
    far_start_ = 0;
    if (path.empty()) return false;
    if (t_open_file != nullptr && t_open_file->path == path && t_open_file->fd >= 0) {
        fd_ = t_open_file->fd;
        owns_fd_ = false;
        size_ = t_open_file->size;
        Cover(std::min<std::uint64_t>(prefetch, kWindowReach));
        return true;
    }
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
    if (pos < far_start_ || pos + n > far_start_ + far_.size()) {
        const auto want =
            static_cast<std::size_t>(std::min(size_ - pos, std::max<std::uint64_t>(n, kFarChunk)));
        far_.resize(want);
        far_.resize(PreadFull(fd_, far_.data(), want, pos));
        far_start_ = pos;
    }
    return std::string_view(far_).substr(static_cast<std::size_t>(pos - far_start_), n);
}

std::size_t BoundedReader::ReadAt(std::uint64_t pos, void* out, std::size_t n) {
    std::string_view got = View(pos, n);
    if (!got.empty()) std::memcpy(out, got.data(), got.size());
    if (got.size() < n) std::memset(static_cast<char*>(out) + got.size(), 0, n - got.size());
    return got.size();
}

std::uint16_t BoundedReader::U16(std::uint64_t pos, bool big_endian) {
    return Unsigned<std::uint16_t>(*this, pos, big_endian);
}

std::uint32_t BoundedReader::U32(std::uint64_t pos, bool big_endian) {
    return Unsigned<std::uint32_t>(*this, pos, big_endian);
}

std::uint64_t BoundedReader::U64(std::uint64_t pos, bool big_endian) {
    return Unsigned<std::uint64_t>(*this, pos, big_endian);
}

}  // namespace pelko
