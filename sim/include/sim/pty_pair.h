#pragma once
// A pseudo-terminal pair standing in for the controller's end of a serial cable. Both ends are
// raw (a pty in its default mode turns CR into LF, swallows 0x13 and holds bytes back until a
// newline). The simulator keeps the slave end open itself, so that the program closing and
// re-opening the port never makes the master see a hang-up; the program opens the slave by its
// path (or by the symlink the simulator puts in place).

#include <optional>
#include <string>

namespace sim {

class PtyPair {
public:
  // A new pair with a non-blocking master, or nothing (and `error` says why).
  [[nodiscard]] static std::optional<PtyPair> Open(std::string* error);

  PtyPair(PtyPair&& other) noexcept;
  PtyPair& operator=(PtyPair&& other) noexcept;
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;
  ~PtyPair();

  [[nodiscard]] int Master() const noexcept { return master_; }
  // The slave's device path, e.g. /dev/pts/3.
  [[nodiscard]] const std::string& SlavePath() const noexcept { return slavePath_; }

private:
  PtyPair(int master, int slave, std::string slavePath)
      : master_(master), slave_(slave), slavePath_(std::move(slavePath)) {}
  void CloseBoth() noexcept;

  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

} // namespace sim
