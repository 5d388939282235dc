#pragma once
// Applies one reply entry of the ReplyRing to MachineState, the main panel and the open setup
// dialogs, by its command byte. Unknown command bytes, including 0 (the empty entries of
// over-long frames), change nothing. Before any entry is applied, an in-place level edit in
// progress is ended without taking its value.
//
// Reply 22 carries the selected user slot of the user mode dialog; it does not touch `userMode`,
// which stays the user-mode switch that replies 18 and 19 report.
//
// Threads: the user-interface thread (the dispatcher hands each entry over to it).

#include "link/machine_state.h"
#include "link/reply_panel.h"
#include "link/reply_ring.h"

namespace lamp {

class ReplyApplier {
public:
  ReplyApplier(MachineState& state, ReplyPanel& panel) noexcept : state_(state), panel_(panel) {}

  void Apply(const ReplyRing::Slot& entry);

private:
  void AutoStopped(const ReplyRing::Slot& entry);
  void AutoRunning(const ReplyRing::Slot& entry);
  void SetAutoButton(std::int32_t state);

  MachineState& state_;
  ReplyPanel& panel_;
};

} // namespace lamp
