#include "posix_serial_port.h"

#include "port_threads.h"
#include "tty_line.h"

#include <chrono>
#include <sys/ioctl.h>

namespace comlane {

namespace {

constexpr int kStopAttempts = 3;
constexpr std::chrono::milliseconds kStopWait{200};
constexpr std::chrono::milliseconds kReopenPause{100};

} // namespace

PosixSerialPort::PosixSerialPort() : shared(std::make_shared<PortShared>()) {}

PosixSerialPort::~PosixSerialPort() {
  // A thread that never ended holds only the shared state and the device: let it finish alone.
  if (transmitThread.joinable()) {
    transmitThread.detach();
  }
  if (receiveThread.joinable()) {
    receiveThread.detach();
  }
}

SerialPort* PosixSerialPort::Destroy(int flags) {
  Close();
  shared->transmitQueue.Clear();
  shared->receiveQueue.Clear();
  portName.clear();
  if ((flags & 1) != 0) {
    delete this;
  }
  return this;
}

int PosixSerialPort::IsOpen() {
  return device != nullptr ? 1 : 0;
}

int PosixSerialPort::Close() {
  const bool stopped = StopThreads();
  if (device == nullptr) {
    return 0;
  }
  if (!stopped) {
    // A thread is still inside a delivery and holds the device: free the device now without
    // giving its descriptor number away.
    device->Release();
  }
  device.reset();
  return 1;
}

int PosixSerialPort::Open() {
  if (IsOpen()) {
    Close();
    std::this_thread::sleep_for(kReopenPause);
  }
  shared->transmitWake.Clear();
  shared->receiveWake.Clear();
  if (!StopThreads()) {
    return 0;
  }
  // What was queued while the port was closed (status polls, an operator's clicks) was meant for
  // a line that is gone; sent now it would switch the machine long after the click.
  shared->transmitQueue.Clear();
  const LineSettings settings{baudRate, byteSize, parity, stopBits};
  if (!IsValid(settings)) {
    return 0;
  }
  try {
    std::shared_ptr<TtyDevice> opened = TtyDevice::Open(TtyDevice::PathFor(portName));
    if (opened == nullptr) {
      return 0;
    }
    const LineResult result = ApplyLineSettings(opened->Fd(), settings);
    if (result != LineResult::kNoLine) {
      flowControl = 0;
    }
    if (result != LineResult::kApplied) {
      return 0;
    }
    device = std::move(opened);
    return 1;
  } catch (...) {
    return 0;
  }
}

int PosixSerialPort::StartThreads() {
  if (device == nullptr) {
    return 0;
  }
  // The receive thread discards what the device buffered before it runs. Done here, before
  // either thread exists, so that it cannot discard what the transmit thread has just written
  // nor what arrives after StartThreads returns.
  if (!transmitThread.joinable() && !receiveThread.joinable()) {
    device->Purge();
  }
  const bool transmitting =
      transmitThread.joinable() || Start<RunTransmit>(transmitThread, shared->transmit);
  const bool receiving =
      receiveThread.joinable() || Start<RunReceive>(receiveThread, shared->receive);
  return transmitting && receiving ? 1 : 0;
}

template <void (*Run)(std::shared_ptr<PortShared>, std::shared_ptr<TtyDevice>)>
bool PosixSerialPort::Start(std::thread& thread, ThreadState& state) {
  state.Begin();
  try {
    thread = std::thread(Run, shared, device);
    return true;
  } catch (...) {
    state.End();
    return false;
  }
}

bool PosixSerialPort::StopThreads() {
  const bool receiveStopped = Stop(receiveThread, shared->receive, shared->receiveWake);
  const bool transmitStopped = Stop(transmitThread, shared->transmit, shared->transmitWake);
  return receiveStopped && transmitStopped;
}

bool PosixSerialPort::Stop(std::thread& thread, ThreadState& state, EventFd& wake) {
  if (!thread.joinable()) {
    return true;
  }
  for (int attempt = 0; attempt < kStopAttempts; ++attempt) {
    state.running = false;
    wake.Signal();
    if (state.WaitEnded(kStopWait)) {
      thread.join();
      return true;
    }
  }
  return false;
}

int PosixSerialPort::Write(const std::uint8_t* bytes, std::int32_t count) {
  if (bytes == nullptr || count <= 0) {
    return 0;
  }
  const std::size_t accepted = shared->transmitQueue.Append(bytes, static_cast<std::size_t>(count));
  shared->transmitWake.Signal();
  return static_cast<int>(accepted);
}

int PosixSerialPort::Write(const char* bytes, std::int32_t count) {
  return Write(reinterpret_cast<const std::uint8_t*>(bytes), count);
}

int PosixSerialPort::Write(const std::byte* bytes, std::int32_t count) {
  return Write(reinterpret_cast<const std::uint8_t*>(bytes), count);
}

void PosixSerialPort::SetOwner(wndmsg::MessageTarget* owner) {
  shared->owner = owner;
}

int PosixSerialPort::SetRts(bool on) {
  return device != nullptr && device->SetModemLine(TIOCM_RTS, on) ? 1 : 0;
}

int PosixSerialPort::SetDtr(bool on) {
  return device != nullptr && device->SetModemLine(TIOCM_DTR, on) ? 1 : 0;
}

} // namespace comlane

extern "C" __attribute__((visibility("default"))) comlane::SerialPort* Rs232Class() {
  try {
    return new comlane::PosixSerialPort();
  } catch (...) {
    return nullptr;
  }
}
