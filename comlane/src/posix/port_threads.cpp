#include "port_backend.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace comlane {

namespace {

constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

// Writes all `n` bytes, waiting in poll() while the driver has no room. Gives up on a stop, a
// write error or a vanished device; the rest of the bytes are then lost. False if the device
// failed (a write error or a hang-up).
bool Send(PortShared& shared, int fd, const std::uint8_t* bytes, std::size_t n) {
  std::size_t done = 0;
  while (done < n && shared.transmit.running) {
    const ssize_t written = write(fd, bytes + done, n - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0 && errno != EAGAIN) {
      return false;
    }
    pollfd waits[2] = {{fd, POLLOUT, 0}, {shared.transmitWake.Fd(), POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return true;
    }
    if (waits[1].revents != 0) {
      shared.transmitWake.Clear();
    }
    if ((waits[0].revents & kGone) != 0) {
      return false;
    }
  }
  return true;
}

// Reads and delivers until the device has nothing more. False if the device has vanished
// (end of file or a read error; `hungUp` says poll() reported it gone and nothing is left).
bool Drain(PortShared& shared, int fd, bool hungUp, Chunk& buffer, Chunk& delivery) {
  while (shared.receive.running) {
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got > 0) {
      Deliver(shared, buffer.data(), static_cast<std::size_t>(got), delivery);
      continue;
    }
    if (got < 0 && errno == EINTR) {
      continue;
    }
    return got < 0 && errno == EAGAIN && !hungUp;
  }
  return true;
}

} // namespace

void RunTransmit(std::shared_ptr<PortShared> shared, std::shared_ptr<Device> device) {
  pthread_setname_np(pthread_self(), "comlane-tx");
  Chunk buffer{};
  while (shared->transmit.running) {
    if (shared->transmitQueue.Size() == 0) {
      pollfd wait = {shared->transmitWake.Fd(), POLLIN, 0};
      if (poll(&wait, 1, -1) < 0 && errno != EINTR) {
        break;
      }
      shared->transmitWake.Clear();
      continue;
    }
    const std::size_t n = shared->transmitQueue.Take(buffer.data(), buffer.size());
    if (!Send(*shared, device->Fd(), buffer.data(), n) && !shared->writeFailed.exchange(true)) {
      shared->receiveWake.Signal();
    }
  }
  shared->transmit.End();
}

void RunReceive(std::shared_ptr<PortShared> shared, std::shared_ptr<Device> device) {
  pthread_setname_np(pthread_self(), "comlane-rx");
  Chunk buffer{};
  Chunk delivery{};
  bool watchDevice = true;
  bool reported = false;
  while (shared->receive.running) {
    pollfd waits[2] = {{shared->receiveWake.Fd(), POLLIN, 0}, {device->Fd(), POLLIN, 0}};
    if (poll(waits, watchDevice ? 2 : 1, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    if (waits[0].revents != 0) {
      shared->receiveWake.Clear();
    }
    if (watchDevice && waits[1].revents != 0) {
      const bool hungUp = (waits[1].revents & kGone) != 0;
      watchDevice = Drain(*shared, device->Fd(), hungUp, buffer, delivery);
    }
    if (!watchDevice || shared->writeFailed) {
      watchDevice = false;
      ReportLost(*shared, reported);
    }
  }
  shared->receive.End();
}

} // namespace comlane
