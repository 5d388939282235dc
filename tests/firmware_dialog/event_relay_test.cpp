// The relay between the bootloader conversation and the firmware dialog: what the block writer
// reports reaches the window on the GUI thread, in order, without the writer waiting for it.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "firmware_dialog/bootloader_event_relay.h"
#include "lamp_test/gui_wait.h"
#include "platform/gui_calls.h"
#include "platform/window.h"

namespace lamp {
namespace {

using firmware::TransferEnd;
using firmware::TransferOutcome;
using test::WaitFor;

// Writes down each event it gets as text, and whether any came off the GUI thread.
class Recorder final : public firmware::BootloaderEvents {
public:
  void TargetChanged(const firmware::TargetPanel::Values& values) override {
    Note("target " + values[0]);
  }
  void ShowTransfer(bool shown) override { Note(shown ? "show" : "hide"); }
  void SetProgressRange(std::int32_t maximum) override { Note("range " + std::to_string(maximum)); }
  void SetProgressPosition(std::int32_t position) override {
    Note("position " + std::to_string(position));
  }
  void StartBlockTimer() override { Note("start timer"); }
  void StopBlockTimer() override { Note("stop timer"); }
  void ImageRead() override { Note("image read"); }
  void TransferEnded(const TransferOutcome& outcome) override {
    Note("ended " + std::to_string(int(outcome.end)) + " at " + std::to_string(outcome.block));
  }

  std::vector<std::string> events;
  bool offGuiThread = false;

private:
  void Note(const std::string& event) {
    offGuiThread = offGuiThread || !IsGuiThread();
    events.push_back(event);
  }
};

TransferOutcome EndedAt(TransferEnd end, std::int32_t block) {
  TransferOutcome outcome;
  outcome.end = end;
  outcome.block = block;
  return outcome;
}

// A writer's whole transfer; it never waits for the GUI thread, so joining it there cannot hang.
void ReportTwoTransfers(firmware::BootloaderEvents& events) {
  std::thread writer([&] {
    events.ShowTransfer(true);
    events.SetProgressRange(64);
    events.StartBlockTimer();
    events.SetProgressPosition(3);
    events.StopBlockTimer();
    events.ShowTransfer(false);
    events.TransferEnded(EndedAt(TransferEnd::NoReply, 3));
    events.TransferEnded(EndedAt(TransferEnd::Finished, 64));
  });
  writer.join();
}

TEST(BootloaderEventRelay, WriterEventsReachTheWindowOnTheGuiThreadInTheOrderReported) {
  Window window;
  Recorder recorder;
  BootloaderEventRelay relay(window, recorder);

  ReportTwoTransfers(relay);
  EXPECT_TRUE(recorder.events.empty()) << "handed over before the window handled its messages";

  const std::vector<std::string> expected = {
      "show",
      "range 64",
      "start timer",
      "position 3",
      "stop timer",
      "hide",
      "ended " + std::to_string(int(TransferEnd::NoReply)) + " at 3",
      "ended " + std::to_string(int(TransferEnd::Finished)) + " at 64"};
  ASSERT_TRUE(WaitFor([&] { return recorder.events.size() >= expected.size(); }));
  EXPECT_EQ(recorder.events, expected);
  EXPECT_FALSE(recorder.offGuiThread);
}

TEST(BootloaderEventRelay, EventsOnTheGuiThreadGoStraightThrough) {
  Window window;
  Recorder recorder;
  BootloaderEventRelay relay(window, recorder);

  relay.TargetChanged({"ATmega128", "", "", "", "", ""});
  relay.ShowTransfer(true);
  relay.SetProgressRange(8);
  relay.ImageRead();
  relay.TransferEnded(EndedAt(TransferEnd::Refused, 5));

  EXPECT_EQ(recorder.events, (std::vector<std::string>{
                                 "target ATmega128", "show", "range 8", "image read",
                                 "ended " + std::to_string(int(TransferEnd::Refused)) + " at 5"}));
}

TEST(BootloaderEventRelay, EventsStillQueuedWhenTheWindowBeginsClosingAreDropped) {
  Window window;
  Recorder recorder;
  BootloaderEventRelay relay(window, recorder);

  ReportTwoTransfers(relay);
  window.beginClose();
  // A marker handled after anything the writer queued shows the queue has been run.
  bool queueRun = false;
  QMetaObject::invokeMethod(
      &window, [&] { queueRun = true; }, Qt::QueuedConnection);
  ASSERT_TRUE(WaitFor([&] { return queueRun; }));
  EXPECT_TRUE(recorder.events.empty());
}

} // namespace
} // namespace lamp
