#include "firmware_dialog/bootloader_event_relay.h"

#include "platform/gui_calls.h"
#include "platform/notify.h"

namespace lamp {
namespace {

constexpr unsigned WM_WRITER_EVENT = WM_USER + 0x100;
enum class WriterEvent : WParam {
  ShowTransfer,
  ProgressRange,
  ProgressPosition,
  StartTimer,
  StopTimer,
  Ended
};

} // namespace

BootloaderEventRelay::BootloaderEventRelay(MessageWindow& window,
                                           firmware::BootloaderEvents& receiver)
    : window_(window), receiver_(receiver) {
  window_.onMessage(WM_WRITER_EVENT,
                    [this](WParam wParam, LParam lParam) { return OnWriterEvent(wParam, lParam); });
}

void BootloaderEventRelay::TargetChanged(const firmware::TargetPanel::Values& values) {
  receiver_.TargetChanged(values);
}

void BootloaderEventRelay::ShowTransfer(bool shown) {
  if (!IsGuiThread()) {
    window_.post(WM_WRITER_EVENT, WParam(WriterEvent::ShowTransfer), shown ? 1 : 0);
    return;
  }
  receiver_.ShowTransfer(shown);
}

void BootloaderEventRelay::SetProgressRange(std::int32_t maximum) {
  if (!IsGuiThread()) {
    window_.post(WM_WRITER_EVENT, WParam(WriterEvent::ProgressRange), maximum);
    return;
  }
  receiver_.SetProgressRange(maximum);
}

void BootloaderEventRelay::SetProgressPosition(std::int32_t position) {
  if (!IsGuiThread()) {
    window_.post(WM_WRITER_EVENT, WParam(WriterEvent::ProgressPosition), position);
    return;
  }
  receiver_.SetProgressPosition(position);
}

void BootloaderEventRelay::StartBlockTimer() {
  if (!IsGuiThread()) {
    window_.post(WM_WRITER_EVENT, WParam(WriterEvent::StartTimer), 0);
    return;
  }
  receiver_.StartBlockTimer();
}

void BootloaderEventRelay::StopBlockTimer() {
  if (!IsGuiThread()) {
    window_.post(WM_WRITER_EVENT, WParam(WriterEvent::StopTimer), 0);
    return;
  }
  receiver_.StopBlockTimer();
}

void BootloaderEventRelay::ImageRead() {
  receiver_.ImageRead();
}

void BootloaderEventRelay::TransferEnded(const firmware::TransferOutcome& outcome) {
  if (!IsGuiThread()) {
    {
      const std::lock_guard lock(endedMutex_);
      ended_.push_back(outcome);
    }
    window_.post(WM_WRITER_EVENT, WParam(WriterEvent::Ended), 0);
    return;
  }
  receiver_.TransferEnded(outcome);
}

LResult BootloaderEventRelay::OnWriterEvent(WParam wParam, LParam lParam) {
  const auto value = static_cast<std::int32_t>(lParam);
  switch (static_cast<WriterEvent>(wParam)) {
  case WriterEvent::ShowTransfer:
    receiver_.ShowTransfer(value != 0);
    break;
  case WriterEvent::ProgressRange:
    receiver_.SetProgressRange(value);
    break;
  case WriterEvent::ProgressPosition:
    receiver_.SetProgressPosition(value);
    break;
  case WriterEvent::StartTimer:
    receiver_.StartBlockTimer();
    break;
  case WriterEvent::StopTimer:
    receiver_.StopBlockTimer();
    break;
  case WriterEvent::Ended: {
    firmware::TransferOutcome outcome;
    {
      const std::lock_guard lock(endedMutex_);
      if (ended_.empty()) {
        break;
      }
      outcome = ended_.front();
      ended_.pop_front();
    }
    receiver_.TransferEnded(outcome);
    break;
  }
  }
  return 0;
}

} // namespace lamp
