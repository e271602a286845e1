// Owning handle for a POSIX file descriptor.
#pragma once

#include <unistd.h>

#include <utility>

namespace zplatform {

class UniqueFd {
public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : m_fd(fd) {}
  ~UniqueFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      if (m_fd >= 0) ::close(m_fd);
      m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
  }

  int get() const { return m_fd; }
  bool valid() const { return m_fd >= 0; }
  explicit operator bool() const { return valid(); }
  int release() { return std::exchange(m_fd, -1); }

  // Closes now and reports close()'s result: on some file systems a write
  // error shows up only here. Returns 0 or -1 with errno set.
  int close() {
    if (m_fd < 0) return 0;
    return ::close(std::exchange(m_fd, -1));
  }

private:
  int m_fd = -1;
};

}  // namespace zplatform
