#pragma once
// One run of the upgrade soak: a fresh simulated ATmega8 with one fault chosen at random, and
// velora-flash writing a random image into it with verify. After the run the simulated flash is
// compared with the image.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace soak {

enum class Fault { None, Noise, DroppedReplies, DelayedReplies, RefusedBlock, PulledPlug, Silence };
inline constexpr int kFaultKinds = 7;
[[nodiscard]] const char* FaultName(Fault fault);

struct RunResult {
  Fault fault = Fault::None;
  std::string detail; // the fault's parameters, for repeating a run
  int exitCode = -1;  // -1: the program did not end within its deadline and was killed
  bool flashMatches = false;
  double seconds = 0;
};

// Runs soak run `index` of a soak seeded with `seed` (the same pair gives the same fault and
// image) in `folder`, which the run may fill and empty. `flash` is the velora-flash program.
[[nodiscard]] RunResult Run(std::uint32_t seed, std::uint32_t index,
                            const std::filesystem::path& folder, const std::string& flash);

} // namespace soak
