#pragma once
// A serial port whose line attributes are read and written as plain members and whose operations
// are never called: what LoadSerialSettings needs to be checked without a device. Tests that need
// an operation or two derive from it.

#include <comlane/serial_port.h>

namespace lamp::test {

class AttributesOnly : public comlane::SerialPort {
public:
  SerialPort* Destroy(int) override { return this; }
  int IsOpen() override { return 0; }
  int Close() override { return 0; }
  int Open() override { return 0; }
  int StartThreads() override { return 0; }
  int Write(const std::uint8_t*, std::int32_t) override { return 0; }
  int Write(const char*, std::int32_t) override { return 0; }
  int Write(const std::byte*, std::int32_t) override { return 0; }
  void SetOwner(wndmsg::MessageTarget*) override {}
  int SetRts(bool) override { return 0; }
  int SetDtr(bool) override { return 0; }
};

} // namespace lamp::test
