#pragma once
// The program's end of the simulated line: the slave device opened as a serial port is, in raw
// mode, with reads that wait for a condition up to a deadline.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "lamp_test/frames.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace lamp::test {

class PortEnd {
public:
  explicit PortEnd(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    termios attributes{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &attributes) == 0) {
      ::cfmakeraw(&attributes);
      ::tcsetattr(fd_, TCSANOW, &attributes);
      ::tcflush(fd_, TCIOFLUSH);
    }
  }
  ~PortEnd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  PortEnd(const PortEnd&) = delete;
  PortEnd& operator=(const PortEnd&) = delete;

  [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }

  bool Write(const Bytes& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Writes all of `bytes`, waiting while the line is full, up to the deadline.
  bool WriteAll(const Bytes& bytes, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    std::size_t done = 0;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (done < bytes.size() && std::chrono::steady_clock::now() < end) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      pollfd fd{fd_, POLLOUT, 0};
      static_cast<void>(::poll(&fd, 1, 50));
    }
    return done == bytes.size();
  }

  // Bytes received until `count` have come or the deadline has passed.
  Bytes Read(std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    Bytes bytes;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (bytes.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd fd{fd_, POLLIN, 0};
      if (::poll(&fd, 1, 50) <= 0 || (fd.revents & POLLIN) == 0) {
        continue;
      }
      std::uint8_t buffer[512];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (n > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
      }
    }
    return bytes;
  }

  // True once the line reports a hang-up, within the deadline.
  bool HangsUp(std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
      pollfd fd{fd_, POLLIN, 0};
      if (::poll(&fd, 1, 50) > 0 && (fd.revents & (POLLHUP | POLLERR)) != 0) {
        return true;
      }
      std::uint8_t sink[64];
      static_cast<void>(::read(fd_, sink, sizeof sink));
    }
    return false;
  }

private:
  int fd_;
};

} // namespace lamp::test
