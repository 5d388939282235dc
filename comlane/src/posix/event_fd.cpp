#include "event_fd.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace comlane {

EventFd::EventFd() : fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), "eventfd");
  }
}

EventFd::~EventFd() {
  close(fd);
}

void EventFd::Signal() {
  const std::uint64_t one = 1;
  // Only fails when the counter is about to overflow, and then it is signalled anyway.
  [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
}

void EventFd::Clear() {
  std::uint64_t value = 0;
  [[maybe_unused]] const ssize_t got = read(fd, &value, sizeof value);
}

} // namespace comlane
