#include "control_line.h"

#include <chrono>
#include <stdexcept>

ControlLine::ControlLine()
    : line(CreateFileA("\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr)) {
  if (line == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("no control line on COM2");
  }
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = 200;
  SetCommTimeouts(line, &timeouts);
}

ControlLine::~ControlLine() {
  CloseHandle(line);
}

std::string ControlLine::Ask(const std::string& request) {
  const std::string text = request + "\n";
  DWORD written = 0;
  WriteFile(line, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  std::string reply;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    char c = 0;
    DWORD got = 0;
    if (ReadFile(line, &c, 1, &got, nullptr) == FALSE) {
      break;
    }
    if (got == 1) {
      if (c == '\n') {
        return reply;
      }
      reply += c;
    }
  }
  return "";
}

void ControlLine::Send(std::size_t n, unsigned seed) {
  Ask("send " + std::to_string(n) + " " + std::to_string(seed));
}

std::vector<std::uint8_t> ControlLine::Receive(std::size_t n, unsigned withinMs) {
  const std::string hex = Ask("expect " + std::to_string(n) + " " + std::to_string(withinMs));
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::vector<std::uint8_t> Sequence(std::size_t n, unsigned seed) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 251) & 0xFF);
  }
  return bytes;
}
