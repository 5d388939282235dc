#pragma once
// The pulled-adapter drills' surroundings. A serial line sits behind a link in a temporary folder
// (the name the operator chose), the settings file names that link, the option menu's dialogs are
// registered as the program registers them, and the real main window loads Comlane and the
// control libraries as the program does. Everything the operator does goes through the panel:
// the OPTION button and its menu, the serial port setup dialog, the firmware dialog.
//
// PlugRig puts the simulated controller (with its bootloader) behind the link. Its clock is
// stopped (one of its seconds lasts an hour), so a temperature a test sets stays until the status
// poll reads it back.

#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "app/lamp_app.h"
#include "app/main_window.h"
#include "lamp_test/frames.h"
#include "lamp_test/gui_wait.h"
#include "lamp_test/hex_folder.h"
#include "lamp_test/hex_text.h"
#include "platform/message_box.h"
#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace lamp {

class CBootloader;

namespace test {

// CPU time of the whole process (every thread: the program's and the simulator's) while the GUI
// thread sits in its event loop for `window`, serving timers and calls as the program would.
[[nodiscard]] double CpuMsOverQuietWindow(std::chrono::milliseconds window);

// How many of the serial library's threads are alive in this process.
[[nodiscard]] int ComlaneThreadCount();

// How many descriptors of this process are open on pseudo-terminals (either side).
[[nodiscard]] int PtyDescriptorCount();

// Points `link` at `device`, replacing the link in one step.
[[nodiscard]] bool PlaceLink(const std::filesystem::path& link, const std::string& device);

// The program's surroundings while it lives: a settings file naming `port` (in a folder of its
// own, XDG_CONFIG_HOME). The window gets the option menu's dialogs as the program gives them
// (ProgramOptionDialogs).
class ProgramSetting {
public:
  explicit ProgramSetting(const std::string& port);
  ProgramSetting(const ProgramSetting&) = delete;
  ProgramSetting& operator=(const ProgramSetting&) = delete;

private:
  QTemporaryDir config_;
};

// Clicks OPTION and chooses `item` from the menu that opens, by keyboard as an operator may.
[[nodiscard]] bool ChooseFromOptionMenu(MainWindow& window, const QString& item);
// The serial port setup from the option menu, showing `port`: the speed list stepped away and
// back (the same port and settings), then "Ok". True once the dialog has closed.
[[nodiscard]] bool ReopenPortFromSerialSetup(MainWindow& window, const std::string& port);

class PlugRig {
public:
  PlugRig();
  ~PlugRig();
  PlugRig(const PlugRig&) = delete;
  PlugRig& operator=(const PlugRig&) = delete;

  // Makes the main window, initialises and shows it; false when its port did not open.
  [[nodiscard]] bool StartPanel();
  // Closes and destroys the main window (nothing when it is gone already).
  void ClosePanel();

  // Status polls (command 7, read) the controller has received so far.
  [[nodiscard]] int Polls() const { return polls_.load(); }
  // Pulls the plug and waits until the simulator has done it.
  [[nodiscard]] bool PullPlug(std::chrono::milliseconds downtime);
  // Waits until the simulator has plugged a new pty in behind the link.
  [[nodiscard]] bool WaitForReplug();

  [[nodiscard]] bool ChooseFromOptionMenu(const QString& item) {
    return test::ChooseFromOptionMenu(*window_, item);
  }
  [[nodiscard]] bool ReopenPortFromSerialSetup() {
    return test::ReopenPortFromSerialSetup(*window_, link_.string());
  }
  // The firmware dialog from the option menu, with `image` (a program image) loaded from a HEX
  // file. Null when it did not open.
  [[nodiscard]] CBootloader* OpenFirmwareDialog(const Bytes& image);
  // "Jump Boot Program" until the bootloader has identified itself.
  [[nodiscard]] static bool EnterBootloader(CBootloader& dialog);

  // Sets the controller's temperature and waits until the panel shows it, which takes a status
  // poll on the line and its reply applied by the panel.
  [[nodiscard]] bool PanelShowsTemperature(int degrees);

  // While armed, the panel's lamp byte is cleared the moment the controller takes a lamp command
  // (before it replies), so that only the reply can set it again. Counts the lamp commands seen.
  void ArmLampReplyMarker(bool armed) { lampMarker_.store(armed); }
  [[nodiscard]] int MarkedLampCommands() const { return lampMarks_.load(); }

  // The controller's trace lines of what it received ("<-"), from the `from`-th on.
  [[nodiscard]] std::vector<std::string> Received(std::size_t from = 0) const;

  [[nodiscard]] MainWindow& Window() { return *window_; }
  [[nodiscard]] sim::Simulator& Simulator() { return *simulator_; }
  [[nodiscard]] const sim::BootloaderMemory& Memory() const { return *memory_; }
  [[nodiscard]] std::vector<QString> MessageTexts() const { return boxes_.texts(); }

private:
  void Trace(const std::string& line);
  [[nodiscard]] int Pulls() const { return pulls_.load(); }

  MessageBoxRecorder boxes_;
  HexFolder files_;
  const std::filesystem::path link_;
  ProgramSetting setting_;
  std::unique_ptr<sim::Simulator> simulator_;
  std::shared_ptr<sim::BootloaderMemory> memory_;
  std::unique_ptr<MainWindow> window_;
  std::atomic<MainWindow*> traced_{nullptr};
  std::atomic<int> polls_{0};
  std::atomic<int> pulls_{0};
  std::atomic<bool> lampMarker_{false};
  std::atomic<int> lampMarks_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
};

} // namespace test
} // namespace lamp
