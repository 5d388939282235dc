// comlane-hexterm: opens a serial port with Comlane, prints every chunk that arrives as one line
// of hex bytes and sends each line typed on standard input (with its newline). End of input
// closes the port.
//
//   comlane-hexterm PORT [BAUD]        e.g. comlane-hexterm /dev/ttyUSB0 115200
//
// Builds with CMake (find_package(Comlane), target Comlane::comlane) or with pkg-config:
//   c++ -std=c++17 hexterm.cpp $(pkg-config --cflags --libs comlane) -o comlane-hexterm

#include <comlane/serial_port.h>
#include <wndmsg/messages.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>

namespace {

// Comlane's receive thread calls SendMsg and waits for it; printing right there keeps the chunks
// in order and the bytes valid while they are read.
class HexPrinter final : public wndmsg::MessageTarget {
public:
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override {
    if (msg != wndmsg::WM_SERIAL_DATA) {
      return 0;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(wParam);
    const std::lock_guard lock(mutex_);
    for (wndmsg::LParam i = 0; i < lParam; ++i) {
      std::printf(i == 0 ? "%02X" : " %02X", bytes[i]);
    }
    std::printf("\n");
    std::fflush(stdout);
    return 1;
  }

  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

private:
  std::mutex mutex_;
};

} // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s PORT [BAUD]\n", argv[0]);
    return 2;
  }
  comlane::SerialPort* port = Rs232Class();
  if (port == nullptr) {
    std::fprintf(stderr, "comlane-hexterm: out of memory\n");
    return 1;
  }
  unsigned long baud = 115200;
  if (argc == 3) {
    char* end = nullptr;
    baud = std::strtoul(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0' || baud == 0 || baud > UINT32_MAX) {
      std::fprintf(stderr, "comlane-hexterm: not a baud rate: %s\n", argv[2]);
      port->Destroy(1);
      return 2;
    }
  }
  port->portName = argv[1];
  port->baudRate = static_cast<std::uint32_t>(baud);
  port->byteSize = 8;
  port->parity = comlane::kParityNone;
  port->stopBits = comlane::kStopOne;

  HexPrinter printer;
  if (port->Open() == 0) {
    std::fprintf(stderr, "comlane-hexterm: cannot open %s\n", argv[1]);
    port->Destroy(1);
    return 1;
  }
  port->SetOwner(&printer);
  if (port->StartThreads() == 0) {
    std::fprintf(stderr, "comlane-hexterm: cannot start the port's threads\n");
    port->Destroy(1);
    return 1;
  }
  std::fprintf(stderr, "comlane-hexterm: %s open\n", argv[1]);

  std::string line;
  while (std::getline(std::cin, line)) {
    line += '\n';
    if (port->Write(line.data(), static_cast<std::int32_t>(line.size())) <
        static_cast<int>(line.size())) {
      std::fprintf(stderr, "comlane-hexterm: transmit queue full, line cut\n");
    }
  }
  // Destroy stops the threads before the printer they deliver to goes.
  port->Destroy(1);
  return 0;
}
