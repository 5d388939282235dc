#pragma once
// The controller's end of the serial line in the panel tests: a raw pseudo-terminal whose slave
// the panel opens by path, and whose master the test reads and writes. Received bytes are cut
// into command frames (5A, length, ...) so that tests can look for exact frames.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "lamp_test/frames.h"

namespace lamp::test {

class PtyPeer {
public:
  PtyPeer() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slavePath_ = ptsname(master_);
    // The peer keeps the slave open too, so that the panel closing its end is no hang-up here.
    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
  }
  ~PtyPeer() {
    close(slave_);
    close(master_);
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  [[nodiscard]] const std::string& SlavePath() const { return slavePath_; }

  // Reads what has arrived and returns every frame completed so far, oldest first, removing
  // them from the peer. Any thread (one at a time).
  std::vector<Frame> TakeFrames() {
    std::lock_guard lock(mutex_);
    std::uint8_t buffer[512];
    for (;;) {
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) {
        break;
      }
      pending_.insert(pending_.end(), buffer, buffer + n);
    }
    std::vector<Frame> frames;
    std::size_t start = 0;
    while (start < pending_.size()) {
      if (pending_[start] != 0x5A) {
        ++start;
        continue;
      }
      if (start + 1 >= pending_.size()) {
        break;
      }
      const std::size_t length = pending_[start + 1];
      if (length < 2 || start + length > pending_.size()) {
        if (length < 2) {
          ++start;
          continue;
        }
        break;
      }
      frames.emplace_back(pending_.begin() + static_cast<std::ptrdiff_t>(start),
                          pending_.begin() + static_cast<std::ptrdiff_t>(start + length));
      start += length;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
    return frames;
  }

  // Writes `bytes` to the panel. Any thread.
  void Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else {
        fd_set out;
        FD_ZERO(&out);
        FD_SET(master_, &out);
        select(master_ + 1, nullptr, &out, nullptr, nullptr);
      }
    }
  }

  // Writes what fits into the line now, without waiting. Any thread.
  void TryWrite(const std::vector<std::uint8_t>& bytes) {
    (void)!write(master_, bytes.data(), bytes.size());
  }

private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::mutex mutex_;
  std::vector<std::uint8_t> pending_;
};

} // namespace lamp::test
