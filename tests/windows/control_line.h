#pragma once
// The test's side of the control line (COM2) to the peer that holds the far side of COM1
// (tests/windows/wine_peer.py): one request line, one reply line.

#include <cstdint>
#include <string>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef WM_SETFOCUS
#undef WM_KILLFOCUS
#undef WM_MOUSEMOVE

class ControlLine {
public:
  ControlLine();
  ~ControlLine();
  ControlLine(const ControlLine&) = delete;
  ControlLine& operator=(const ControlLine&) = delete;

  // Sends `request` and returns the reply line, or "" if none came within 20 s.
  std::string Ask(const std::string& request);

  // The peer writes the test sequence of `n` bytes to COM1.
  void Send(std::size_t n, unsigned seed);
  // What the peer read from COM1: `n` bytes, or fewer if the deadline passed first.
  std::vector<std::uint8_t> Receive(std::size_t n, unsigned withinMs = 5000);

private:
  HANDLE line;
};

// The same sequence as the peer's.
std::vector<std::uint8_t> Sequence(std::size_t n, unsigned seed);
