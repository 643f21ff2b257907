#pragma once

// The one owner of a POSIX file descriptor: closed when the owner goes, moved, never copied.

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pelko {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        Close();
        fd_ = fd;
    }
    // Gives the descriptor up to the caller, who closes it from then on.
    int Release() { return std::exchange(fd_, -1); }
    // Closes now and reports whether the close succeeded (network file systems report late
    // write errors here).
    bool Close() {
        if (fd_ < 0) return true;
        const int rc = ::close(std::exchange(fd_, -1));
        return rc == 0 || errno == EINTR;
    }

  private:
    int fd_ = -1;
};

}  // namespace pelko
