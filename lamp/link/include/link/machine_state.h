#pragma once
// The controller-related state of the main window. The user-interface thread and the reply
// dispatcher thread both read and write these fields without a lock; each update is one
// whole-field store, so every field is atomic. `syncingButtons` is the only coordination between
// the two threads: it marks button changes made by the program itself.

#include <array>
#include <atomic>
#include <cstdint>

namespace lamp {

struct MachineState {
  // Bits 0-3: lamps 1-4 switched on. Bits 4-7: set while the level display of lamp 1-4 has its
  // normal look; a clear bit marks that display as selected for the level buttons.
  std::atomic<std::uint8_t> lampMask{0xF0};
  // User mode enabled (nonzero) or disabled (0).
  std::atomic<std::int32_t> userMode{0};
  // Lamp selection while user mode is enabled: bit i selects lamp i + 1; only 16 bits travel.
  std::atomic<std::int32_t> userLampMask{0};
  // The automatic sequence runs (1) or not (0).
  std::atomic<std::int32_t> autoRunning{0};
  // Selected automatic mode: 0 Mode A, 1 Mode B.
  std::atomic<std::int32_t> autoKind{0};
  // Mode B step reports are being shown and `savedLevels` holds the levels from before.
  std::atomic<bool> autoBActive{false};
  std::array<std::atomic<std::int32_t>, 4> savedLevels{};
  // The program itself is changing panel button states; click notifications meanwhile are ignored.
  std::atomic<bool> syncingButtons{false};
  // The reply dispatcher thread keeps running while this is set.
  std::atomic<bool> workerRunning{false};
  // Index of the panel button last pressed or released, and whether one is held down.
  std::atomic<std::int32_t> heldButton{0};
  std::atomic<bool> buttonHeld{false};
  // Which lamp's level display (0 to 3) is being edited in place.
  std::atomic<std::int32_t> editIndex{0};
};

} // namespace lamp
