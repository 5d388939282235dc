#pragma once
// The line drills' rig: the simulated controller (in process, on a real pty behind a symlink),
// the program's surroundings naming that link (as the pulled-adapter drills set them up), and
// the real main window loading its libraries as the program does, on the offscreen platform. The
// rig keeps two logs to hold the panel against the controller:
// - from the simulator's trace, every frame the controller took and every frame it sent intact
//   (noise, over-long frames and silenced frames are not in it);
// - from the window, every temperature text, lamp level and lamp mask that replies put on the
//   panel, in the order they were applied.
//
// GUI thread only, apart from the trace, which the simulator's thread writes under a lock.

#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "lamp_test/frames.h"
#include "platform/message_box.h"
#include "plug_rig.h"
#include "sim/simulator.h"

namespace lamp::drills {

using Bytes = std::vector<std::uint8_t>;

// What replies changed on the panel, recorded on their way to it. Reply 7 is the only writer
// of the temperature label; in the drills nothing but reply 2 writes the levels (no editor, no
// AUTO with Mode B reports) and nothing but reply 1 refreshes the lamp buttons after start-up.
class ReplyRecorder : public ReplyPanel {
public:
  // Once set, lamp-button refreshes are recorded (start-up's own refresh is not).
  bool recordMasks = false;
  std::vector<std::string> temperatures;
  std::vector<std::string> fans;
  std::vector<std::int32_t> levels; // four per reply 2, lamp 1 first
  std::vector<std::uint8_t> masks;

  // The panel the replies go on to, and the machine state whose masks are recorded.
  Panel* panel = nullptr;
  const MachineState* machine = nullptr;

  void EndLevelEdit() override { panel->EndLevelEdit(); }
  void RefreshLampButtons() override;
  [[nodiscard]] std::int32_t Level(int lamp) const override { return panel->Level(lamp); }
  void ShowLevel(int lamp, std::int32_t level) override;
  void SetCursorDigits(std::int32_t digit) override { panel->SetCursorDigits(digit); }
  void PlaceCursorMarker() override { panel->PlaceCursorMarker(); }
  void SetTemperatureText(const std::string& text) override;
  void SetFanText(const std::string& text) override;
  void PressButton(int index, std::int32_t state) override { panel->PressButton(index, state); }
  void RepaintButton(int index, std::int32_t state) override { panel->RepaintButton(index, state); }
  void SetButtonCaption(int index, const std::string& caption) override {
    panel->SetButtonCaption(index, caption);
  }
  void ShowStatusLabel(bool visible) override { panel->ShowStatusLabel(visible); }
  void SetStatusText(const std::string& text) override { panel->SetStatusText(text); }
  [[nodiscard]] ReplyDialog* OpenReplyDialog(SetupDialog which) override {
    return panel->OpenReplyDialog(which);
  }
};

// The main window, with the program's option menu, whose replies pass the recorder.
class WatchedWindow : public MainWindow {
  std::unique_ptr<ReplyRecorder> recorder_;

public:
  WatchedWindow() : WatchedWindow(std::make_unique<ReplyRecorder>()) {}
  // No reply may pass the recorder once it is gone.
  ~WatchedWindow() override { Shutdown(); }
  WatchedWindow(const WatchedWindow&) = delete;
  WatchedWindow& operator=(const WatchedWindow&) = delete;

  bool& recordMasks = recorder_->recordMasks;
  std::vector<std::string>& temperatures = recorder_->temperatures;
  std::vector<std::string>& fans = recorder_->fans;
  std::vector<std::int32_t>& levels = recorder_->levels;
  std::vector<std::uint8_t>& masks = recorder_->masks;

private:
  explicit WatchedWindow(std::unique_ptr<ReplyRecorder> recorder);
};

class LineRig {
public:
  // Starts the simulator with `options` (its link and trace are the rig's) and sets the program's
  // surroundings up. The controller's state may be changed before the window starts.
  explicit LineRig(sim::SimulatorOptions options);
  ~LineRig();
  LineRig(const LineRig&) = delete;
  LineRig& operator=(const LineRig&) = delete;

  // Makes, initialises and shows the main window; the settings dialogs are on its option menu.
  void StartWindow();
  // Closes the window as the operator does and destroys it.
  void CloseWindow();

  [[nodiscard]] sim::Simulator& Sim() { return *simulator_; }
  [[nodiscard]] WatchedWindow& Window() { return *window_; }

  // Frames the controller took and sent so far, apart from status polls and their replies when
  // `withPolls` is false.
  [[nodiscard]] std::vector<Bytes> Taken(bool withPolls = true) const;
  [[nodiscard]] std::vector<Bytes> Sent(bool withPolls = true) const;
  // Noise bursts and over-long frames the controller put on the line so far.
  [[nodiscard]] int NoiseBursts() const;
  [[nodiscard]] int OverlongFrames() const;
  // Status polls the controller took so far.
  [[nodiscard]] int Polls() const;

  // Presses a key on the main window, as the operator does.
  void Key(int key);
  // Opens a settings dialog from the option menu.
  QWidget* OpenDialog(OptionDialog which);

  // The panel's lamp levels.
  [[nodiscard]] std::array<std::int32_t, 4> PanelLevels() const;

private:
  void Record(const std::string& line);

  QTemporaryDir folder_;
  const std::string link_;
  test::ProgramSetting setting_;
  MessageBoxRecorder boxes_;
  std::unique_ptr<sim::Simulator> simulator_;
  std::unique_ptr<WatchedWindow> window_;

  mutable std::mutex mutex_;
  std::vector<Bytes> taken_;
  std::vector<Bytes> sent_;
  int noiseBursts_ = 0;
  int overlongFrames_ = 0;
};

using test::CpuMsOverQuietWindow;
using test::WaitFor;

// The text reply 7 puts on the temperature label for `degrees`.
std::string TemperatureText(int degrees);

using test::Le16;
using test::ReplyFrame;

inline constexpr std::uint8_t kStatusPoll = 7;

} // namespace lamp::drills
