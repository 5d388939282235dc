#include "sim/pty_pair.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

bool MakeRaw(int fd) {
  termios attributes{};
  if (tcgetattr(fd, &attributes) != 0) {
    return false;
  }
  cfmakeraw(&attributes);
  attributes.c_cc[VMIN] = 1;
  attributes.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &attributes) == 0;
}

} // namespace

std::optional<PtyPair> PtyPair::Open(std::string* error) {
  const auto fail = [error](const char* what, int master, int slave) -> std::optional<PtyPair> {
    if (error != nullptr) {
      *error = std::string(what) + ": " + std::strerror(errno);
    }
    if (slave >= 0) {
      ::close(slave);
    }
    if (master >= 0) {
      ::close(master);
    }
    return std::nullopt;
  };
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) {
    return fail("posix_openpt", -1, -1);
  }
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    return fail("unlockpt", master, -1);
  }
  char name[128];
  if (::ptsname_r(master, name, sizeof name) != 0) {
    return fail("ptsname", master, -1);
  }
  const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    return fail("open slave", master, -1);
  }
  if (!MakeRaw(slave) || !MakeRaw(master)) {
    return fail("raw mode", master, slave);
  }
  const int flags = ::fcntl(master, F_GETFL);
  if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
    return fail("non-blocking master", master, slave);
  }
  return PtyPair(master, slave, name);
}

PtyPair::PtyPair(PtyPair&& other) noexcept
    : master_(std::exchange(other.master_, -1)), slave_(std::exchange(other.slave_, -1)),
      slavePath_(std::move(other.slavePath_)) {}

PtyPair& PtyPair::operator=(PtyPair&& other) noexcept {
  if (this != &other) {
    CloseBoth();
    master_ = std::exchange(other.master_, -1);
    slave_ = std::exchange(other.slave_, -1);
    slavePath_ = std::move(other.slavePath_);
  }
  return *this;
}

PtyPair::~PtyPair() {
  CloseBoth();
}

void PtyPair::CloseBoth() noexcept {
  if (slave_ >= 0) {
    ::close(slave_);
    slave_ = -1;
  }
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

} // namespace sim
