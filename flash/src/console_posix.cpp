#include "flash/console.h"

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdlib>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flash {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) {
  interrupted.store(true);
}

} // namespace

bool IsTerminal(std::FILE* stream) {
  return ::isatty(::fileno(stream)) != 0;
}

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
  return interrupted.load();
}

std::string DevicePath(const std::string& portName) {
  if (!portName.empty() && portName.front() == '/') {
    return portName;
  }
  if (portName.size() > 3 && std::toupper(static_cast<unsigned char>(portName[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(portName[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(portName[2])) == 'M') {
    const std::string digits = portName.substr(3);
    char* end = nullptr;
    const long number = std::strtol(digits.c_str(), &end, 10);
    if (end != nullptr && *end == '\0' && std::isdigit(static_cast<unsigned char>(digits[0])) &&
        number >= 1) {
      return "/dev/ttyS" + std::to_string(number - 1);
    }
  }
  return "/dev/" + portName;
}

PortState ProbePort(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT || errno == ENXIO || errno == ENODEV ? PortState::Missing
           : errno == EACCES || errno == EPERM                  ? PortState::NotAllowed
           : errno == EBUSY                                     ? PortState::Busy
                                                                : PortState::Missing;
  }
  // The serial library holds its ports with an exclusive lock; a second one is refused.
  const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return busy ? PortState::Busy : PortState::Free;
}

std::optional<std::uint64_t> DeviceIdentity(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(status.st_rdev) << 32) ^ status.st_ino;
}

} // namespace flash
