#include "lamp_test/pty_pair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

void MakeRaw(int fd) {
  termios line{};
  if (tcgetattr(fd, &line) != 0) {
    throw std::runtime_error("tcgetattr on a pty failed");
  }
  cfmakeraw(&line);
  tcsetattr(fd, TCSANOW, &line);
}

} // namespace

namespace lamp::test {

PtyPair::PtyPair() {
  far = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (far < 0 || grantpt(far) != 0 || unlockpt(far) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  devicePath = ptsname(far);
  device = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (device < 0) {
    throw std::runtime_error("cannot open " + devicePath);
  }
  MakeRaw(far);
  MakeRaw(device);
}

PtyPair::~PtyPair() {
  CloseFarSide();
  close(device);
}

void PtyPair::Send(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(far, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) {
      throw std::runtime_error("write to the far side failed");
    }
    done += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
}

std::vector<std::uint8_t> PtyPair::Receive(std::size_t n, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  std::vector<std::uint8_t> got;
  std::uint8_t buffer[4096];
  while (got.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd wait = {far, POLLIN, 0};
    if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    const ssize_t r = read(far, buffer, std::min(sizeof buffer, n - got.size()));
    if (r <= 0) {
      break;
    }
    got.insert(got.end(), buffer, buffer + r);
  }
  return got;
}

bool PtyPair::WaitDeviceReadable(std::chrono::milliseconds within) {
  pollfd wait = {device, POLLIN, 0};
  return poll(&wait, 1, static_cast<int>(within.count())) == 1;
}

void PtyPair::CloseFarSide() {
  if (far >= 0) {
    close(far);
    far = -1;
  }
}

std::vector<std::uint8_t> PtyPair::ReceiveFrame(std::chrono::milliseconds within,
                                                std::chrono::milliseconds rest) {
  std::vector<std::uint8_t> frame = Receive(2, within);
  if (frame.size() < 2 || frame[1] < 2) {
    return frame;
  }
  const std::vector<std::uint8_t> tail = Receive(frame[1] - 2u, rest);
  frame.insert(frame.end(), tail.begin(), tail.end());
  return frame;
}

} // namespace lamp::test
