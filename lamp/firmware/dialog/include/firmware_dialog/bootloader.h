#pragma once
// CBootloader: the firmware upgrade dialog. A modeless window with menu 140 and a tool bar of the
// file and bootloader commands, the "Target" panel with the identified device, the path of the
// loaded image file ("Cdd" until one is loaded), the hexadecimal memory view of the image, and a
// progress bar with a Cancel button that show only while a transfer runs. The conversation with
// the bootloader is BootloaderProtocol's; the dialog forwards its commands, the received bytes
// (WM_BOOT_DATA), timer 10 and Cancel to it, and shows what it reports.
//
// The dialog shows no message boxes: a failed file load and a command whose preconditions fail
// pass silently. How each transfer ended (finished, or stopped at which block and why) and
// whether a save worked are shown in the status line, in the progress bar's row, while no
// transfer runs. "Save Program(FLASH) File" and "Save Data(EEPROM) File" write the image in the
// buffer as Intel HEX; nothing is saved when no image of that kind is loaded or read.
//
// Threads: the window and all its operations belong to the GUI thread. WM_BOOT_DATA may be sent
// from any thread (the send runs it on the GUI thread). The dialog's workers are the identify
// poller and the block writer (BootloaderProtocol's) and the memory view filler
// (MemoryViewFiller); the conversation's events reach the dialog through a BootloaderEventRelay,
// always on the GUI thread. Closing the dialog (close box, Escape, "Exit" or deletion) releases
// and joins all of them, and none of them touches the dialog afterwards.

#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "firmware/bootloader_events.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "firmware/pacer.h"
#include "firmware_dialog/bootloader_event_relay.h"
#include "firmware_dialog/memory_view_filler.h"
#include "platform/window.h"
#include "platform/window_handle.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenuBar;
class QProgressBar;
class QToolBar;

namespace comlane {
class SerialPort;
}
namespace knoblet {
class ButtonObject;
}

namespace lamp {

class ControlFactory;
class PanelHost;
class TextLabel;

namespace firmware {
class MemoryView;
}

class CBootloader : public Dialog, private firmware::BootloaderEvents {
public:
  // What the dialog needs from the program.
  struct Host {
    // The program's serial port; the dialog writes the bootloader protocol to it. Null: nothing
    // is sent.
    comlane::SerialPort* port = nullptr;
    // Makes the Cancel button; null: no Cancel button.
    ControlFactory* controls = nullptr;
    // Called when the dialog closes and again when it is destroyed, so that the main window
    // clears its reference (and forwards no more bytes); not called once the parent window has
    // begun closing itself. May be empty.
    std::function<void()> closed;
  };

  // The file-open dialog: shows `filter` (Qt's form, "*.* (*.*);;...") and returns the chosen
  // existing file, or an empty string when the operator cancels. The file-save dialog has the same
  // form and returns the path to write.
  using FileChooser = std::function<QString(QWidget* parent, const QString& filter)>;

  // Builds the window with all its controls; it is not shown yet. Deleted when it closes.
  CBootloader(QWidget* parent, Host host);
  ~CBootloader() override;
  CBootloader(const CBootloader&) = delete;
  CBootloader& operator=(const CBootloader&) = delete;

  // Replaces the file-open dialog (tests choose files without a modal dialog).
  void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  // Replaces the file-save dialog.
  void SetSaveFileChooser(FileChooser chooser) { chooseSaveFile_ = std::move(chooser); }

  // The serial line was lost (the main window calls this when Comlane reports it): a running
  // write or read ends as stopped (line lost). GUI thread.
  void LineLost();
  // The main window opened the port again: bytes of a reply cut off before are dropped. GUI
  // thread.
  void PortReopened();

  // Runs one of the fourteen commands, as its menu item or tool-bar button does.
  void RunCommand(int command);

  // The parts of the window, for the main window and for checks.
  [[nodiscard]] QMenuBar* MenuBar() const { return menuBar_; }
  [[nodiscard]] QToolBar* ToolBar() const { return toolBar_; }
  [[nodiscard]] QGroupBox* TargetGroup() const { return targetGroup_; }
  // Label 0 is the file path, 1 to 6 the device captions, 7 to 12 the device values.
  [[nodiscard]] TextLabel* Label(int index) const { return labels_.at(std::size_t(index)); }
  [[nodiscard]] firmware::MemoryView* MemoryView() const { return memoryView_; }
  [[nodiscard]] QProgressBar* ProgressBar() const { return progressBar_; }
  [[nodiscard]] knoblet::ButtonObject* CancelButton() const { return cancelButton_; }
  // How the last transfer or save ended; hidden until the first has ended and during transfers.
  [[nodiscard]] QLabel* StatusLine() const { return statusLine_; }
  [[nodiscard]] const firmware::BootloaderProtocol& Protocol() const { return protocol_; }
  [[nodiscard]] const firmware::FirmwareImage& Image() const { return image_; }
  // True while the memory view filler runs.
  [[nodiscard]] bool ViewFillerRunning() const;

  // Qt's file-dialog filter for a filter list of description and pattern pairs, each ended by
  // "|" ("*.*|*.*|*.hex|*.hex|" gives "*.* (*.*);;*.hex (*.hex)").
  [[nodiscard]] static QString QtFileFilter(const char* pairs);

protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  void keyPressEvent(QKeyEvent* event) override;
  void onTimer(int id) override;

private:
  // Initialisation steps, in their order.
  void MakeMenu();
  void MakeTargetGroup();
  void MakeLabels();
  void MakeToolBar();
  void MakeMemoryView();
  void MakeProgressBar();
  void MakeCancelButton();
  // Makes `action` send WM_COMMAND with `command` to the dialog, as a menu item or button does.
  void BindCommand(QAction* action, int command);
  // Places `widget` at `rect` given in client coordinates (below the menu bar).
  void Place(QWidget* widget, const QRect& rect) const;

  // Message handlers.
  LResult OnCommand(WParam wParam, LParam lParam);
  LResult OnBootData(WParam wParam, LParam lParam);
  LResult OnBootIdentify(WParam wParam, LParam lParam);
  LResult OnButtonClicked(WParam wParam, LParam lParam);

  // File commands.
  static QString ChooseFileToOpen(QWidget* owner, const QString& filter);
  static QString ChooseFileToSave(QWidget* owner, const QString& filter);
  void OpenImageFile(firmware::ImageKind kind);
  void SaveImageFile(firmware::ImageKind kind);

  // The status line, placed at `row` (the progress bar's row with the Cancel button's place).
  void MakeStatusLine(const QRect& row);
  // Shows `text`, as good news (finished, saved) or not, whenever no transfer is shown.
  void ShowStatus(const QString& text, bool good);
  // Shows how a transfer ended, unless the dialog closed it.
  void ShowOutcome(const firmware::TransferOutcome& outcome);

  void EnterBootloader();
  void StartWrite(firmware::ImageKind kind);
  void StartRead(firmware::ImageKind kind);

  // Ends the conversation and the filler and tells the host; runs once.
  void Shutdown();
  void TellHostClosed() const;

  // BootloaderEvents, on the GUI thread (through relay_).
  void TargetChanged(const firmware::TargetPanel::Values& values) override;
  void ShowTransfer(bool shown) override;
  void SetProgressRange(std::int32_t maximum) override;
  void SetProgressPosition(std::int32_t position) override;
  void StartBlockTimer() override;
  void StopBlockTimer() override;
  void ImageRead() override;
  void TransferEnded(const firmware::TransferOutcome& outcome) override;

  Host host_;
  // The parent, when it is one of the program's windows: a parent that is going away itself is
  // told nothing.
  OwnerLife ownerLife_;
  FileChooser chooseFile_;
  FileChooser chooseSaveFile_;
  QRect client_;
  int clientTop_ = 0;

  QMenuBar* menuBar_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QGroupBox* targetGroup_ = nullptr;
  std::array<TextLabel*, 13> labels_{};
  firmware::MemoryView* memoryView_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  knoblet::ButtonObject* cancelButton_ = nullptr;
  QLabel* statusLine_ = nullptr;
  // Runs out kEntryPause after the entry frame; the second half of "Jump Boot Program".
  QTimer entryPause_;

  firmware::FirmwareImage image_;
  firmware::SteadyPacer pacer_;
  BootloaderEventRelay relay_;
  firmware::BootloaderProtocol protocol_;
  // Made with the memory view.
  std::unique_ptr<firmware::MemoryViewFiller> viewFiller_;

  bool shutDown_ = false;
};

// The option menu's factory of the firmware dialog (see ProgramOptionDialogs): a
// CBootloader on the host's serial port and push-button library that tells the host when it
// closes.
[[nodiscard]] QWidget* MakeBootloaderDialog(PanelHost& host, QWidget* parent);

} // namespace lamp
