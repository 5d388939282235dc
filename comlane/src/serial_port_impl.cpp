#include "serial_port_impl.h"

#include <chrono>

namespace comlane {

namespace {

constexpr int kStopAttempts = 3;
constexpr std::chrono::milliseconds kStopWait{200};
constexpr std::chrono::milliseconds kReopenPause{100};

} // namespace

SerialPortImpl::SerialPortImpl() : shared(std::make_shared<PortShared>()) {}

SerialPortImpl::~SerialPortImpl() {
  // A thread that never ended holds only the shared state and the device: let it finish alone.
  if (transmitThread.joinable()) {
    transmitThread.detach();
  }
  if (receiveThread.joinable()) {
    receiveThread.detach();
  }
}

SerialPort* SerialPortImpl::Destroy(int flags) {
  Close();
  shared->transmitQueue.Clear();
  shared->receiveQueue.Clear();
  portName.clear();
  if ((flags & 1) != 0) {
    delete this;
  }
  return this;
}

int SerialPortImpl::IsOpen() {
  return device != nullptr ? 1 : 0;
}

int SerialPortImpl::Close() {
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

int SerialPortImpl::Open() {
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
    OpenedDevice opened = OpenDevice(portName, settings);
    if (opened.lineReached) {
      flowControl = 0;
    }
    if (opened.device == nullptr) {
      return 0;
    }
    device = std::move(opened.device);
    return 1;
  } catch (...) {
    return 0;
  }
}

int SerialPortImpl::StartThreads() {
  if (device == nullptr) {
    return 0;
  }
  // The receive thread discards what the device buffered before it runs. Done here, before
  // either thread exists, so that it cannot discard what the transmit thread has just written
  // nor what arrives after StartThreads returns.
  if (!transmitThread.joinable() && !receiveThread.joinable()) {
    device->Purge();
    shared->writeFailed = false;
  }
  const bool transmitting =
      transmitThread.joinable() || Start<RunTransmit>(transmitThread, shared->transmit);
  const bool receiving =
      receiveThread.joinable() || Start<RunReceive>(receiveThread, shared->receive);
  return transmitting && receiving ? 1 : 0;
}

template <void (*Run)(std::shared_ptr<PortShared>, std::shared_ptr<Device>)>
bool SerialPortImpl::Start(std::thread& thread, ThreadState& state) {
  state.Begin();
  try {
    thread = std::thread(Run, shared, device);
    return true;
  } catch (...) {
    state.End();
    return false;
  }
}

bool SerialPortImpl::StopThreads() {
  const bool receiveStopped = Stop(receiveThread, shared->receive, shared->receiveWake);
  const bool transmitStopped = Stop(transmitThread, shared->transmit, shared->transmitWake);
  return receiveStopped && transmitStopped;
}

bool SerialPortImpl::Stop(std::thread& thread, ThreadState& state, Wake& wake) {
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

int SerialPortImpl::Write(const std::uint8_t* bytes, std::int32_t count) {
  if (bytes == nullptr || count <= 0) {
    return 0;
  }
  const std::size_t accepted = shared->transmitQueue.Append(bytes, static_cast<std::size_t>(count));
  shared->transmitWake.Signal();
  return static_cast<int>(accepted);
}

int SerialPortImpl::Write(const char* bytes, std::int32_t count) {
  return Write(reinterpret_cast<const std::uint8_t*>(bytes), count);
}

int SerialPortImpl::Write(const std::byte* bytes, std::int32_t count) {
  return Write(reinterpret_cast<const std::uint8_t*>(bytes), count);
}

void SerialPortImpl::SetOwner(wndmsg::MessageTarget* owner) {
  shared->owner = owner;
}

int SerialPortImpl::SetRts(bool on) {
  return device != nullptr && device->SetModemLine(ModemLine::kRts, on) ? 1 : 0;
}

int SerialPortImpl::SetDtr(bool on) {
  return device != nullptr && device->SetModemLine(ModemLine::kDtr, on) ? 1 : 0;
}

} // namespace comlane

extern "C" COMLANE_EXPORT comlane::SerialPort* Rs232Class() {
  try {
    return new comlane::SerialPortImpl();
  } catch (...) {
    return nullptr;
  }
}
