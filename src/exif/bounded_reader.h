#pragma once

// Random access to the bytes of a file (or of a buffer) that never reads past its end. Card files
// may be truncated or hostile, so every offset they hold is taken through this one type: a read
// that runs past the end returns what there is and fills the rest of the caller's buffer with
// zero bytes.
//
// A file is read through one window that starts at offset 0 and grows on demand, so reading the
// few kilobytes an EXIF block occupies costs one or two system calls. Reads far into a large file
// go through one more chunk, read where they start.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelko {

// A file its caller holds open: while the scope lasts, a BoundedReader on this thread that is
// asked to open the same path reads through that descriptor instead, so that naming a card file
// (EXIF date, camera model) and copying it take one open.
class ScopedOpenFile {
  public:
    ScopedOpenFile(const std::string& path, int fd, std::uint64_t size);
    ~ScopedOpenFile();
    ScopedOpenFile(const ScopedOpenFile&) = delete;
    ScopedOpenFile& operator=(const ScopedOpenFile&) = delete;

    const std::string& path;
    const int fd;
    const std::uint64_t size;

  private:
    const ScopedOpenFile* outer_;
};

class BoundedReader {
  public:
    BoundedReader() = default;
    // Reads the bytes of a buffer, which must outlive the reader.
    explicit BoundedReader(std::string_view bytes);
    ~BoundedReader();
    BoundedReader(const BoundedReader&) = delete;
    BoundedReader& operator=(const BoundedReader&) = delete;

    // Opens a regular file read-only and reads up to its first `prefetch` bytes. False when the
    // file cannot be opened or is not a regular file; the reader then holds no bytes.
    bool OpenFile(const std::string& path, std::size_t prefetch);

    std::uint64_t Size() const { return size_; }

    // Copies up to n bytes from pos into out and zero-fills the rest of out; returns how many
    // bytes came from the file.
    std::size_t ReadAt(std::uint64_t pos, void* out, std::size_t n);

    // Up to n bytes from pos (fewer at the end); valid until the next call on the reader.
    std::string_view View(std::uint64_t pos, std::size_t n);

    // Numbers in either byte order; bytes past the end count as zero.
    std::uint16_t U16(std::uint64_t pos, bool big_endian);
    std::uint32_t U32(std::uint64_t pos, bool big_endian);
    std::uint64_t U64(std::uint64_t pos, bool big_endian);

  private:
    // Makes the window cover [0, end) when end lies within its reach; false when it does not.
    bool Cover(std::uint64_t end);

    int fd_ = -1;
    bool owns_fd_ = true;  // false for the descriptor of a ScopedOpenFile
    std::uint64_t size_ = 0;
    const char* data_ = nullptr;  // bytes of the window (or of the buffer)
    std::uint64_t window_ = 0;    // bytes available at data_
    std::vector<char> buffer_;
    std::string far_;  // a chunk beyond the window's reach, read last
    std::uint64_t far_start_ = 0;
};

}  // namespace pelko
