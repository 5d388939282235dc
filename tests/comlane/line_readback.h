#pragma once
// The line settings of a terminal as the kernel reports them (termios2, so that any speed
// reads back exactly). Kept apart from <termios.h>, which clashes with the kernel's record.

#include <cstdint>
#include <optional>

struct LineReadback {
  std::uint32_t inputSpeed = 0;
  std::uint32_t outputSpeed = 0;
  bool twoStopBits = false;
  bool oddOrMarkParity = false;  // PARODD
  bool stickParity = false;      // CMSPAR
  bool xonXoff = false;          // IXON or IXOFF
  bool lineEditing = false;      // ICANON, ECHO or ISIG
  bool outputProcessing = false; // OPOST
  bool translatesInput = false;  // ICRNL, INLCR, IGNCR, ISTRIP or PARMRK
};

[[nodiscard]] std::optional<LineReadback> ReadLine(int fd);
