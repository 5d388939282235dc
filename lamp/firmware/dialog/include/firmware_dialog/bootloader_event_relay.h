#pragma once
// Hands the bootloader conversation's events to the firmware dialog on the GUI thread. An event
// reported on the GUI thread goes straight through. An event the block writer reports is posted
// to the window (WM_USER + 0x100, wParam the event, lParam its value) and handed over when the
// window handles the message, in the order reported: the writer must never wait for the GUI
// thread, which may be joining it. Posted events are dropped once the window has begun closing.
//
// Threads: the BootloaderEvents operations may be called from the GUI thread and the writer; the
// receiver's operations are always called on the GUI thread.

#include <deque>
#include <mutex>

#include "firmware/bootloader_events.h"
#include "platform/message_window.h"

namespace lamp {

class BootloaderEventRelay final : public firmware::BootloaderEvents {
public:
  // Handles the posted events on `window` and hands every event to `receiver`; both must outlive
  // the relay.
  BootloaderEventRelay(MessageWindow& window, firmware::BootloaderEvents& receiver);
  BootloaderEventRelay(const BootloaderEventRelay&) = delete;
  BootloaderEventRelay& operator=(const BootloaderEventRelay&) = delete;

  void TargetChanged(const firmware::TargetPanel::Values& values) override;
  void ShowTransfer(bool shown) override;
  void SetProgressRange(std::int32_t maximum) override;
  void SetProgressPosition(std::int32_t position) override;
  void StartBlockTimer() override;
  void StopBlockTimer() override;
  void ImageRead() override;
  void TransferEnded(const firmware::TransferOutcome& outcome) override;

private:
  LResult OnWriterEvent(WParam wParam, LParam lParam);

  MessageWindow& window_;
  firmware::BootloaderEvents& receiver_;
  // The outcomes of the ends posted and not yet handed over, oldest first.
  std::mutex endedMutex_;
  std::deque<firmware::TransferOutcome> ended_;
};

} // namespace lamp
