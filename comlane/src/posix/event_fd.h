#pragma once
// A wake-up descriptor (Linux eventfd) that a thread can wait on in poll() beside a port.
// Signal and Clear may be called from any thread; a signal stays pending until cleared.

namespace comlane {

class EventFd {
public:
  // Throws std::system_error if the descriptor cannot be created.
  EventFd();
  ~EventFd();
  EventFd(const EventFd&) = delete;
  EventFd& operator=(const EventFd&) = delete;

  [[nodiscard]] int Fd() const { return fd; }
  void Signal();
  void Clear();

private:
  int fd;
};

} // namespace comlane
