#pragma once
// The Velora simulator: a pseudo-terminal pair whose far end behaves as the Velora controller.
// The program opens the slave end (its path, or the symlink at `link`) as it would open a serial
// port. Received bytes go to the active personality (the controller's application, or after the
// bootloader entry frame a bootloader made by the bootloader factory); its reply frames go out
// through fault injection, an optional delay and the line pacer. With a line rate set, both
// directions are paced: the personality gets the program's bytes no faster than the line carries
// them, and no more than a UART driver's buffer of them waits unread, so that a program writing
// faster than the line finds its writes held up as on a real port.
//
// Fault injection, per reply frame: `noise` is the chance of 1 to 8 noise bytes (never 0x5A)
// before it, `overlong` the chance of a 24-byte frame whose length byte says 24 before it, `drop`
// the chance that it is not sent at all. `delay` holds every reply back (order is kept).
// `unplugEvery` pulls the plug periodically: the pty is closed (the program sees a hang-up), the
// link removed, and after `unplugFor` a new pty is opened behind the same link, as a USB adapter
// re-plugged. While running, the controller can be silenced and given its voice back
// (SetSilent) or made deaf (SetDeaf), and hand-made bytes can be put on the line (SendRaw).
//
// Threads: the simulator runs its own loop thread; every public operation may be called from any
// thread.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/controller.h"
#include "sim/line_pacer.h"
#include "sim/personality.h"
#include "sim/pty_pair.h"

namespace sim {

struct SimulatorOptions {
  // Symlink kept pointing at the current slave device; empty for none.
  std::filesystem::path link;
  // Line rate in bit/s, ten bits a character, in both directions; 0 for none (bytes go both
  // ways as fast as the pty carries them).
  unsigned baud = 0;
  // Receives one line per frame in and out (hex) and per event; null for no trace.
  std::function<void(const std::string&)> trace;
  double noise = 0;
  double overlong = 0;
  double drop = 0;
  std::chrono::milliseconds delay{0};
  std::chrono::milliseconds unplugEvery{0};
  std::chrono::milliseconds unplugFor{2000};
  // Length of one second of the controller's waits.
  std::chrono::milliseconds second{1000};
  std::uint32_t seed = 1;
};

struct SimulatorStats {
  std::uint64_t bytesReceived = 0;
  std::uint64_t framesSent = 0;
  std::uint64_t framesDropped = 0;
  // Bytes that could not be handed to the pty (nobody reading, plug pulled).
  std::uint64_t bytesLost = 0;
  // Frames the controller sent while silent (SetSilent); they never reached the line.
  std::uint64_t framesSilenced = 0;
  // How many ptys have been opened (1 after Start, one more per re-plug).
  std::uint64_t plugIns = 0;
};

class Simulator final : private Line {
public:
  using BootloaderFactory = std::function<std::unique_ptr<Personality>()>;

  explicit Simulator(SimulatorOptions options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Opens the pty, places the link and starts the loop. False (with `error`) if the pty cannot be
  // opened or the link cannot be placed.
  [[nodiscard]] bool Start(std::string* error = nullptr);
  // Ends the loop, closes the pty and removes the link. Called by the destructor.
  void Stop();

  // The current slave device; empty while the plug is pulled.
  [[nodiscard]] std::string SlavePath() const;
  // Pulls the plug now and plugs a new pty in after `downtime`.
  void PullPlug(std::chrono::milliseconds downtime);
  // The machine's own ON/OFF key (reply 17 goes out).
  void PressOnOffKey();
  // While silent the controller still takes every command, keeps its state and runs its
  // sequences, but no frame it sends reaches the line (each is counted in `framesSilenced`), as
  // a controller whose transmit line has gone dead. Frames already on their way still arrive.
  void SetSilent(bool silent);
  // While deaf the controller reads nothing from the line: what the program writes piles up in
  // the pty until the program's writes stall. It is read, in order, once the controller hears
  // again.
  void SetDeaf(bool deaf);
  // Sends `bytes` to the program as they stand, after everything already on its way: no fault
  // injection, and also while silent. For hand-made frames and floods of them.
  void SendRaw(std::vector<std::uint8_t> bytes);

  [[nodiscard]] ControllerState State() const;
  void UpdateState(const std::function<void(ControllerState&)>& change);
  [[nodiscard]] SimulatorStats Stats() const;
  [[nodiscard]] PersonalityKind ActiveKind() const;

  // Makes the bootloader that takes the line after the entry frame. Without one, the entry frame
  // is traced and the application keeps the line.
  void SetBootloaderFactory(BootloaderFactory factory);

private:
  struct Pending {
    TimePoint release;
    std::vector<std::uint8_t> bytes;
    std::string what;
  };

  // Line, called with the mutex held.
  void SendFrame(std::vector<std::uint8_t> frame) override;
  void SendFrameDue(std::vector<std::uint8_t> frame, TimePoint due) override;
  void TraceReceived(std::span<const std::uint8_t> bytes, std::string_view what) override;
  void SwitchTo(PersonalityKind kind) override;

  void Run(const std::stop_token& stop);
  [[nodiscard]] TimePoint NextEvent() const;
  void Feed(std::span<const std::uint8_t> bytes);
  void ApplySwitch();
  void ReadMaster();
  void DeliverInput();
  void ReleaseDue();
  void Pump();
  [[nodiscard]] bool PlugIn(std::string* error);
  void Unplug(std::chrono::milliseconds downtime);
  [[nodiscard]] bool PlaceLink(const std::string& target, std::string* error);
  void RemoveLink();
  void Wake() const;
  void Trace(const std::string& arrow, std::span<const std::uint8_t> bytes,
             std::string_view what) const;
  [[nodiscard]] bool Chance(double probability);

  const SimulatorOptions options_;
  int wakeFd_ = -1;

  mutable std::mutex mutex_;
  TimePoint started_;
  TimePoint now_;
  std::optional<PtyPair> pty_;
  TimePoint replugAt_ = TimePoint::max();
  TimePoint nextUnplug_ = TimePoint::max();
  std::optional<std::chrono::milliseconds> pullRequest_;
  Controller controller_;
  std::unique_ptr<Personality> bootloader_;
  Personality* active_ = &controller_;
  std::optional<PersonalityKind> switchRequest_;
  BootloaderFactory bootloaderFactory_;
  std::deque<Pending> pending_;
  std::deque<std::uint8_t> output_;
  LinePacer pacer_;
  // Received bytes still on their way down the line (paced input only).
  std::deque<std::uint8_t> input_;
  LinePacer inputPacer_;
  std::mt19937 random_;
  SimulatorStats stats_;
  bool silent_ = false;
  bool deaf_ = false;

  std::jthread loop_;
};

} // namespace sim
