#pragma once
// A SerialPort for frame tests: every Write is kept as one frame, byte for byte.

#include <cstdint>
#include <functional>
#include <vector>

#include <comlane/serial_port.h>

namespace lamp::test {

class RecordingPort final : public comlane::SerialPort {
public:
  using Bytes = std::vector<std::uint8_t>;

  SerialPort* Destroy(int) override { return this; }
  int IsOpen() override { return 1; }
  int Close() override { return 1; }
  int Open() override { return 1; }
  int StartThreads() override { return 1; }
  int Write(const std::uint8_t* bytes, std::int32_t count) override {
    frames.emplace_back(bytes, bytes + count);
    if (onWrite) {
      onWrite(frames.back());
    }
    return count;
  }
  int Write(const char* bytes, std::int32_t count) override {
    return Write(reinterpret_cast<const std::uint8_t*>(bytes), count);
  }
  int Write(const std::byte* bytes, std::int32_t count) override {
    return Write(reinterpret_cast<const std::uint8_t*>(bytes), count);
  }
  void SetOwner(wndmsg::MessageTarget*) override {}
  int SetRts(bool) override { return 1; }
  int SetDtr(bool) override { return 1; }

  std::vector<Bytes> frames;
  std::function<void(const Bytes&)> onWrite;
};

} // namespace lamp::test
