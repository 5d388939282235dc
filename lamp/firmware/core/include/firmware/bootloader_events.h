#pragma once
// What the bootloader conversation asks of its window: the target panel, the progress bar with
// its Cancel button, timer 10, and the memory view after a read.
//
// Calls made on the writer thread must not wait for the user-interface thread (post them to it):
// closing the window joins the writer on the user-interface thread, and the writer reports its
// clean-up (StopBlockTimer, ShowTransfer(false)) while it is being joined.

#include <cstdint>

#include "firmware/target_panel.h"
#include "firmware/transfer_outcome.h"

namespace lamp::firmware {

class BootloaderEvents {
public:
  // The six values of the target panel changed. User-interface thread.
  virtual void TargetChanged(const TargetPanel::Values& values) = 0;
  // Shows (true) or hides (false) the progress bar and the Cancel button. Writer thread during a
  // write, user-interface thread during a read.
  virtual void ShowTransfer(bool shown) = 0;
  // Progress range 0 to `maximum`, and the position in it. Same threads as ShowTransfer.
  virtual void SetProgressRange(std::int32_t maximum) = 0;
  virtual void SetProgressPosition(std::int32_t position) = 0;
  // Starts / stops timer 10 (1000 ms), whose ticks go to BootloaderProtocol::OnTimerTick.
  // Writer thread.
  virtual void StartBlockTimer() = 0;
  virtual void StopBlockTimer() = 0;
  // A device read ended: the image holds what was read (base 0); refresh the memory view.
  // User-interface thread.
  virtual void ImageRead() = 0;
  // A write or read ended, after the progress bar was hidden: how, and at which block. Writer
  // thread for a write, user-interface thread for a read. Nothing to do by default.
  virtual void TransferEnded(const TransferOutcome& outcome) { (void)outcome; }

protected:
  ~BootloaderEvents() = default;
};

} // namespace lamp::firmware
