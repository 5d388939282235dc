#pragma once
// MainWindow: the operator panel. It loads the display, button and serial-port libraries, opens
// the port named in the settings file, assembles the panel (four level displays, twelve buttons,
// labels and pictures), runs the reply dispatcher thread and handles the operator's buttons,
// keys, menu and timers.
//
// Libraries are loaded by file name (libsegmenta.so, libknoblet.so, libcomlane.so) from the
// program's folder, or from the folder named by the environment variable LAMP_LIB_DIR when it is
// set. A missing one is reported in a message box and the panel starts without it.
//
// Threads: the user-interface thread owns the window. The reply dispatcher thread applies each
// reply through a blocking call onto that thread; the serial library's receive thread delivers
// WM_SERIAL_DATA the same way. Closing stops and joins both before the window goes.

#include <QPixmap>
#include <QPointer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "controls/control_factory.h"
#include "line_healer.h"
#include "link/command_sender.h"
#include "link/command_source.h"
#include "link/machine_state.h"
#include "link/panel_host.h"
#include "link/protocol.h"
#include "link/reply_applier.h"
#include "link/reply_dispatcher.h"
#include "link/reply_framer.h"
#include "link/reply_panel.h"
#include "link/reply_ring.h"
#include "link/serial_data_handler.h"
#include "panel_layout.h"
#include "platform/library_loader.h"
#include "platform/window.h"
#include "settings/serial_port_owner.h"

namespace knoblet {
class ButtonObject;
}
namespace segmenta {
class DigitDisplay;
}

namespace lamp {

class CBootloader;
class CImageStatic;
class CMyEdit;
class TextLabel;

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

class MainWindow : public Dialog,
                   public CommandSource,
                   public PollTimer,
                   public ReplyPanel,
                   public PanelHost,
                   public SerialPortOwner,
                   private LineHealer::Host {
public:
  // Makes an option-menu dialog with the main window as its parent, not yet shown. The dialog
  // may implement DialogData and ReplyDialog (found with dynamic_cast) to take part in the
  // controller commands and replies of its data; the firmware upgrade dialog receives the
  // serial bytes as WM_BOOT_DATA through its wndmsg::MessageTarget while it is open.
  using DialogFactory = std::function<QWidget*(PanelHost& host, QWidget* parent)>;
  // Registers the factory of one option-menu dialog, program-wide. Without a factory the menu
  // command does nothing. GUI thread.
  static void SetOptionDialogFactory(OptionDialog which, DialogFactory factory);

  // Blocks the user-interface thread for the given time (the one-second freeze after RESET).
  using Freeze = std::function<void(std::chrono::milliseconds)>;

  explicit MainWindow(QWidget* parent = nullptr, Freeze freeze = {});
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
  [[nodiscard]] knoblet::ButtonObject* Button(int index) const;
  [[nodiscard]] segmenta::DigitDisplay* Display(int index) const;
  [[nodiscard]] CMyEdit* Editor() const { return editor_; }
  [[nodiscard]] TextLabel* TemperatureLabel() const { return temperatureLabel_; }
  [[nodiscard]] TextLabel* FanLabel() const { return fanLabel_; }
  [[nodiscard]] TextLabel* StatusLabel() const { return statusLabel_; }
  [[nodiscard]] CImageStatic* CursorMarker() const { return cursorMarker_; }
  [[nodiscard]] CImageStatic* FanPicture() const { return fanPicture_; }
  [[nodiscard]] QWidget* OpenOptionDialog(OptionDialog which) const;
  [[nodiscard]] bool DispatcherRunning() const { return dispatcher_.Running(); }
  [[nodiscard]] const ReplyRing& Replies() const { return ring_; }

  // CommandSource.
  [[nodiscard]] std::int32_t Level(int lamp) const override;
  [[nodiscard]] std::int32_t CursorDigit(int lamp) const override;
  [[nodiscard]] std::int32_t OnOffState() const override;
  [[nodiscard]] const DialogData* OpenDialog(SetupDialog which) const override;
  void RefreshLampButtons() override;

  // PollTimer.
  void StopPoll() override;
  void StartPoll(int periodMs) override;

  // ReplyPanel.
  void EndLevelEdit() override;
  void ShowLevel(int lamp, std::int32_t level) override;
  void SetCursorDigits(std::int32_t digit) override;
  void PlaceCursorMarker() override;
  void SetTemperatureText(const std::string& text) override;
  void SetFanText(const std::string& text) override;
  void PressButton(int index, std::int32_t state) override;
  void RepaintButton(int index, std::int32_t state) override;
  void SetButtonCaption(int index, const std::string& caption) override;
  void ShowStatusLabel(bool visible) override;
  void SetStatusText(const std::string& text) override;
  [[nodiscard]] ReplyDialog* OpenReplyDialog(SetupDialog which) override;

  // PanelHost.
  void SendCommand(std::uint8_t command, std::int8_t direction) override;
  void SendStateReadBack() override;
  [[nodiscard]] MachineState& State() override { return state_; }
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
  // Start-up steps.
  void LayoutHeader();
  void MakeDisplays();
  void MakeButtons();
  void OpenSerialPort();
  void MakeLabels();
  void MakeEditor();
  TextLabel* MakeLabel(const QString& text);

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

  // Panel behaviour.
  void ClickLampButton(int index);
  void MoveCursor(int index);
  void StepLevels(int index);
  void ToggleAuto();
  void ToggleOnOff();
  void Reset();
  void ShowOptionMenu();
  void OpenOptionDialogCommand(int command);
  void DisplayClicked(int index);
  void AcceptEditor();
  bool HandleKey(int key);
  void SendToButton(int index, unsigned msg);
  void SetDisplayColours(int index, bool highlighted);
  void ClearStatus();
  void DrawUserSelector();
  void AnimateFan();
  void ShowAbout();
  [[nodiscard]] CBootloader* OpenBootloader() const;

  // LineHealer::Host.
  void ClosePort() override;
  [[nodiscard]] bool TransferRunning() override;
  void EndTransferForLostLine() override;
  void SetRetryTimer(int periodMs) override;
  void ShowLineStatus(const std::string& text) override;
  void TakeLineOver() override;

  [[nodiscard]] bool HasButton(int index) const;
  [[nodiscard]] bool HasDisplay(int index) const;
  [[nodiscard]] PixelRect RectOf(const QWidget* widget) const;
  void MoveTo(QWidget* widget, const PixelRect& rect);
  void SetImage(CImageStatic* picture, const QString& name);

  MachineState state_;
  ReplyRing ring_;
  ReplyFramer framer_{ring_};
  SerialDataHandler serialData_{framer_};
  CommandSender commands_;
  ReplyApplier applier_{state_, *this};
  ReplyDispatcher dispatcher_;
  Freeze freeze_;
  LineHealer healer_{*this};
  // The machine's state is to be read back once the firmware dialog has closed (the line came
  // back while it held the line).
  bool readBackPending_ = false;

  LoadedLibrary segmenta_;
  LoadedLibrary knoblet_;
  LoadedLibrary comlane_;
  // Makes the buttons and displays of the panel and of the dialogs it opens.
  LibraryControls controls_;
  std::array<segmenta::DigitDisplay*, 4> displays_{};
  std::array<knoblet::ButtonObject*, kPanelButtonCount> buttons_{};
  std::vector<QPixmap> lampImages_;
  std::vector<QPixmap> userImages_;

  CImageStatic* firstLine_ = nullptr;
  CImageStatic* secondLine_ = nullptr;
  CImageStatic* logo_ = nullptr;
  CImageStatic* productName_ = nullptr;
  std::array<CImageStatic*, 4> percentSigns_{};
  CImageStatic* cursorMarker_ = nullptr;
  CImageStatic* thermometer_ = nullptr;
  CImageStatic* fanPicture_ = nullptr;
  CMyEdit* editor_ = nullptr;
  TextLabel* fanLabel_ = nullptr;
  TextLabel* temperatureLabel_ = nullptr;
  TextLabel* statusLabel_ = nullptr;
  std::array<QPointer<QWidget>, kOptionDialogCount> dialogs_{};

  int fanFrame_ = 0;
  bool initialised_ = false;
  bool shutDown_ = false;
};

} // namespace lamp
