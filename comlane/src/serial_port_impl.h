#pragma once
// The SerialPort that Rs232Class makes: a serial device of the back end built in, with a
// transmit and a receive thread. See comlane/serial_port.h for the contract.

#include "port_backend.h"

#include <comlane/serial_port.h>
#include <memory>
#include <thread>

namespace comlane {

class SerialPortImpl final : public SerialPort {
public:
  // Throws std::system_error if the wake-up descriptors cannot be made, std::bad_alloc if memory
  // is exhausted.
  SerialPortImpl();

  SerialPort* Destroy(int flags) override;
  int IsOpen() override;
  int Close() override;
  int Open() override;
  int StartThreads() override;
  int Write(const std::uint8_t* bytes, std::int32_t count) override;
  int Write(const char* bytes, std::int32_t count) override;
  int Write(const std::byte* bytes, std::int32_t count) override;
  void SetOwner(wndmsg::MessageTarget* owner) override;
  int SetRts(bool on) override;
  int SetDtr(bool on) override;

private:
  ~SerialPortImpl();

  // Stops the receive thread, then the transmit thread: up to three attempts of 200 ms each.
  // True if both ended or were not running; a thread that did not end stays stored.
  [[nodiscard]] bool StopThreads();
  [[nodiscard]] bool Stop(std::thread& thread, ThreadState& state, Wake& wake);
  template <void (*Run)(std::shared_ptr<PortShared>, std::shared_ptr<Device>)>
  [[nodiscard]] bool Start(std::thread& thread, ThreadState& state);

  std::shared_ptr<PortShared> shared;
  std::shared_ptr<Device> device; // null while closed
  std::thread transmitThread;
  std::thread receiveThread;
};

} // namespace comlane
