#pragma once
// MainWindow: the operator panel's window. It assembles the program: loads the display, button
// and serial-port libraries, opens the port named in the settings file, has the Panel make its
// controls, runs the reply dispatcher thread, and routes the operator's buttons, keys, menu and
// timers to the rules of panel_rules.h. The option menu's dialogs come from the factories it is
// given.
//
// Libraries are loaded by file name (libsegmenta.so, libknoblet.so, libcomlane.so) from the
// program's folder, or from the folder named by the environment variable LAMP_LIB_DIR when it is
// set. A missing one is reported in a message box and the panel starts without it.
//
// Threads: the user-interface thread owns the window. The reply dispatcher thread applies each
// reply through a blocking call onto that thread; the serial library's receive thread delivers
// WM_SERIAL_DATA the same way. Closing stops and joins both before the window goes.

#include <chrono>
#include <functional>

#include "app/line_healer.h"
#include "app/option_dialogs.h"
#include "app/panel.h"
#include "controls/control_factory.h"
#include "link/command_sender.h"
#include "link/machine_state.h"
#include "link/panel_host.h"
#include "link/reply_applier.h"
#include "link/reply_dispatcher.h"
#include "link/reply_framer.h"
#include "link/reply_ring.h"
#include "link/serial_data_handler.h"
#include "platform/library_loader.h"
#include "platform/window.h"
#include "settings_dialogs/serial_port_owner.h"

namespace lamp {

class CBootloader;

// Timers of the main window.
inline constexpr int kHoldTimer = 1;
inline constexpr int kRepeatTimer = 2;
inline constexpr int kPollTimer = 3;
inline constexpr int kFanTimer = 4;
inline constexpr int kSelectorTimer = 5;
inline constexpr int kLineRetryTimer = 6;  // reopening a lost line, once a second
inline constexpr int kLineStatusTimer = 7; // hides "line back" after a while

// The About command of the window menu.
inline constexpr unsigned kAboutCommand = 0x10;

// What the program gives the main window.
struct PanelSetup {
  // The option menu's dialogs; an empty factory leaves its menu command doing nothing.
  OptionDialogFactories dialogs{};
  // Blocks the user-interface thread for the given time (the one-second freeze after RESET);
  // sleeps when empty.
  std::function<void(std::chrono::milliseconds)> freeze{};
  // The reply panel the dispatcher drives, given the window's panel: the panel itself when
  // empty. A check may put a recorder in front of the panel; what it returns must outlive the
  // window.
  std::function<ReplyPanel&(Panel&)> replies{};
};

class MainWindow : public Dialog,
                   public PollTimer,
                   public PanelHost,
                   public SerialPortOwner,
                   private LineHealer::Host {
public:
  explicit MainWindow(PanelSetup setup = {}, QWidget* parent = nullptr);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The window initialisation: libraries, serial port and dispatcher, panel controls and their
  // layout, the state read-back and the status poll. Runs once; later calls do nothing.
  void Initialise();
  // Stops the dispatcher thread (joining it while serving its calls) and closes the port. Runs
  // once; the close request and the destructor call it.
  void Shutdown();

  // The program-wide serial-port object, null until the serial library made one.
  [[nodiscard]] static comlane::SerialPort* ProgramSerialPort();

  // Panel parts, for the dialogs and for checks. Null when not made.
  [[nodiscard]] knoblet::ButtonObject* Button(int index) const { return panel_.Button(index); }
  [[nodiscard]] segmenta::DigitDisplay* Display(int index) const { return panel_.Display(index); }
  [[nodiscard]] CMyEdit* Editor() const { return panel_.Editor(); }
  [[nodiscard]] TextLabel* TemperatureLabel() const { return panel_.TemperatureLabel(); }
  [[nodiscard]] TextLabel* FanLabel() const { return panel_.FanLabel(); }
  [[nodiscard]] TextLabel* StatusLabel() const { return panel_.StatusLabel(); }
  [[nodiscard]] CImageStatic* CursorMarker() const { return panel_.CursorMarker(); }
  [[nodiscard]] CImageStatic* FanPicture() const { return panel_.FanPicture(); }
  [[nodiscard]] QWidget* OpenOptionDialog(OptionDialog which) const;
  [[nodiscard]] bool DispatcherRunning() const { return dispatcher_.Running(); }
  [[nodiscard]] const ReplyRing& Replies() const { return ring_; }

  // PollTimer.
  void StopPoll() override;
  void StartPoll(int periodMs) override;

  // PanelHost. Each dialog gets a host of its own (OptionDialogs) that forwards here; a close
  // reported here directly clears the slot whatever it holds.
  void SendCommand(std::uint8_t command, std::int8_t direction) override;
  void SendStateReadBack() override;
  [[nodiscard]] MachineState& State() override { return state_; }
  void RefreshLampButtons() override { panel_.RefreshLampButtons(); }
  [[nodiscard]] comlane::SerialPort* SerialPort() override;
  [[nodiscard]] ControlFactory& Controls() override { return controls_; }
  void DialogClosed(OptionDialog which) override;

  // SerialPortOwner: after the serial port setup reopened the port, drop a reply frame cut off
  // with the old line, take the port's notifications, run the reply dispatcher if start-up
  // could not, and read the machine's state back.
  void SerialPortReopened() override;

  // The serial line was reported lost and is not back yet.
  [[nodiscard]] bool LineLost() const { return healer_.Lost(); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void onTimer(int id) override;

private:
  void OpenSerialPort();

  // Message handlers.
  LResult OnSerialData(WParam wParam, LParam lParam);
  LResult OnSerialLost(WParam wParam, LParam lParam);
  LResult OnButtonPressed(WParam wParam, LParam lParam);
  LResult OnButtonReleased(WParam wParam, LParam lParam);
  LResult OnButtonClicked(WParam wParam, LParam lParam);
  LResult OnDisplayEdit(WParam wParam, LParam lParam);
  LResult OnDisplayClicked(WParam wParam, LParam lParam);
  LResult OnEditorClosed(WParam wParam, LParam lParam);
  LResult OnCommand(WParam wParam, LParam lParam);
  LResult OnSysCommand(WParam wParam, LParam lParam);

  // Operator actions.
  void ClickLampButton(int index);
  void MoveCursor(int index);
  void StepLevels(int index);
  void ToggleAuto();
  void ToggleOnOff();
  void Reset();
  void ShowOptionMenu();
  void DisplayClicked(int index);
  void AcceptEditor();
  bool HandleKey(int key);
  void ClearStatus();
  void AfterDialogClosed(OptionDialog which);
  [[nodiscard]] CBootloader* OpenBootloader() const;

  // LineHealer::Host.
  void ClosePort() override;
  [[nodiscard]] bool TransferRunning() override;
  void EndTransferForLostLine() override;
  void SetRetryTimer(int periodMs) override;
  void ShowLineStatus(const std::string& text) override;
  void TakeLineOver() override;

  MachineState state_;
  OptionDialogs dialogs_;
  Panel panel_;
  ReplyRing ring_;
  ReplyFramer framer_{ring_};
  SerialDataHandler serialData_{framer_};
  CommandSender commands_;
  ReplyApplier applier_;
  ReplyDispatcher dispatcher_;
  std::function<void(std::chrono::milliseconds)> freeze_;
  LineHealer healer_{*this};
  // The machine's state is to be read back once the firmware dialog has closed (the line came
  // back while it held the line).
  bool readBackPending_ = false;

  LoadedLibrary segmenta_;
  LoadedLibrary knoblet_;
  LoadedLibrary comlane_;
  // Makes the buttons and displays of the panel and of the dialogs it opens.
  LibraryControls controls_;

  bool initialised_ = false;
  bool shutDown_ = false;
};

} // namespace lamp
