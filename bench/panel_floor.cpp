#include "panel_floor.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "link/protocol.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

// The panel's status poll: a read request of command 7 with no payload.
constexpr std::array<std::uint8_t, lamp::kEmptyFrameBytes> kStatusPollFrame = {
    lamp::kFrameStart,          lamp::kEmptyFrameBytes,    lamp::kFrameFixed,
    lamp::command::kStatusPoll, std::uint8_t{lamp::kRead}, lamp::kFrameEnd};

std::chrono::milliseconds Until(Clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
  return std::max(left, std::chrono::milliseconds(0));
}

} // namespace

PanelFloor::PanelFloor(std::chrono::milliseconds period) : period_(period) {}

PanelFloor::~PanelFloor() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    (void)::write(stop_, &one, sizeof one);
    thread_.join();
  }
  if (simulator_ != nullptr) {
    simulator_->Stop();
  }
  for (const int fd : {device_, stop_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool PanelFloor::Start(std::string& error) {
  if (simulator_ != nullptr) {
    error = "the floor was started before";
    return false;
  }
  simulator_ = std::make_unique<sim::Simulator>(sim::SimulatorOptions{});
  if (!simulator_->Start(&error)) {
    return false;
  }
  device_ = ::open(simulator_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios attributes{};
  if (device_ < 0 || ::tcgetattr(device_, &attributes) != 0) {
    error = "cannot open the floor's pseudo-terminal";
    return false;
  }
  ::cfmakeraw(&attributes);
  ::cfsetspeed(&attributes, B115200);
  stop_ = ::eventfd(0, EFD_CLOEXEC);
  if (::tcsetattr(device_, TCSANOW, &attributes) != 0 || stop_ < 0) {
    error = "cannot set up the floor's pseudo-terminal";
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool PanelFloor::WaitForDevice(std::chrono::milliseconds timeout, bool& stopped) {
  std::array<pollfd, 2> waits = {{{stop_, POLLIN, 0}, {device_, POLLIN, 0}}};
  const int ready = ::poll(waits.data(), waits.size(), static_cast<int>(timeout.count()));
  stopped = ready > 0 && waits[0].revents != 0;
  return ready > 0 && !stopped && waits[1].revents != 0;
}

// Reads what the device holds onto the end of `bytes`. False if the device failed.
bool PanelFloor::Take(std::vector<std::uint8_t>& bytes) {
  std::array<std::uint8_t, 256> chunk{};
  for (;;) {
    const ssize_t got = ::read(device_, chunk.data(), chunk.size());
    if (got > 0) {
      bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      return got < 0 && errno == EAGAIN;
    }
  }
}

// Reads until a whole frame is in (its length is its second byte) or `timeout` passes.
bool PanelFloor::ReadReply(std::chrono::milliseconds timeout, bool& stopped) {
  const Clock::time_point deadline = Clock::now() + timeout;
  std::vector<std::uint8_t> reply;
  while (WaitForDevice(Until(deadline), stopped)) {
    if (!Take(reply)) {
      return false;
    }
    if (reply.size() > lamp::kLengthOffset && reply.size() >= reply[lamp::kLengthOffset]) {
      replies_.fetch_add(1);
      return true;
    }
  }
  return true;
}

void PanelFloor::Run() {
  pthread_setname_np(pthread_self(), kThreadName);
  Clock::time_point tick = Clock::now() + period_;
  bool stopped = false;
  bool healthy = true;
  while (healthy && !stopped) {
    if (WaitForDevice(Until(tick), stopped)) {
      std::vector<std::uint8_t> unasked; // a reply that came after its time: dropped
      healthy = Take(unasked);
      continue;
    }
    if (stopped || Clock::now() < tick) {
      continue;
    }
    tick += period_;
    healthy = ::write(device_, kStatusPollFrame.data(), kStatusPollFrame.size()) ==
                  static_cast<ssize_t>(kStatusPollFrame.size()) &&
              ReadReply(period_, stopped);
  }
}

} // namespace bench
