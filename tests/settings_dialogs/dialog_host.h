#pragma once
// The settings dialogs' surroundings for tests: a window that plays the main window's part for
// them with the real controller link. Its SendCommand is the program's CommandSender writing to
// a real Comlane port on a pseudo-terminal; the bytes the peer sends back arrive as
// WM_SERIAL_DATA, go through the reply framer into the ReplyRing and are applied by the
// program's ReplyApplier (the test says when, instead of a dispatcher thread pacing them). The
// panel itself (level displays, lamp buttons) is not part of it.

#include <QPointer>
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/control_factory.h"
#include "lamp_test/pty_pair.h"
#include "link/command_sender.h"
#include "link/panel_host.h"
#include "link/reply_applier.h"
#include "link/reply_framer.h"
#include "link/reply_panel.h"
#include "link/serial_data_handler.h"
#include "platform/library_loader.h"
#include "platform/window.h"
#include "settings_dialogs/serial_port_owner.h"

namespace lamp::test {

using Bytes = std::vector<std::uint8_t>;

class DialogHost : public Dialog,
                   public PanelHost,
                   public CommandSource,
                   public PollTimer,
                   public ReplyPanel,
                   public SerialPortOwner {
public:
  // Opens a serial port on `peer`'s device and becomes its owner; loads the button library
  // unless `withButtons` is false.
  explicit DialogHost(PtyPair& peer, bool withButtons = true);
  // The same on the serial device `device` whose far side is someone else's (the simulator);
  // Frames, Quiet and Reply are not available then.
  explicit DialogHost(const std::string& device, bool withButtons = true);
  ~DialogHost() override;

  // As the option menu does: makes and shows the dialog, or focuses the open one.
  // Unless `activate` is false, the dialog is made the active window (as a click on it would).
  QWidget* Open(OptionDialog which, bool activate = true);
  template <class D> D* OpenAs(OptionDialog which, bool activate = true) {
    return dynamic_cast<D*>(Open(which, activate));
  }
  // As Open, with a dialog the test made itself (parented to this host, not yet shown).
  QWidget* Adopt(OptionDialog which, QWidget* dialog, bool activate = true);
  [[nodiscard]] QWidget* OpenDialogOf(OptionDialog which) const;

  // The frames the peer received: exactly `count`, or fewer when the deadline passed.
  [[nodiscard]] std::vector<Bytes>
  Frames(std::size_t count, std::chrono::milliseconds within = std::chrono::seconds(5));
  // True when nothing more reaches the peer within a short while.
  [[nodiscard]] bool Quiet();
  // Sends `frames` from the peer and applies them once all have arrived in the ring.
  [[nodiscard]] bool Reply(const std::vector<Bytes>& frames);
  // Applies the replies waiting in the ring; returns how many.
  int ApplyWaiting();

  int refreshes = 0;
  int reopened = 0;

  // PanelHost.
  void SendCommand(std::uint8_t command, std::int8_t direction) override;
  void SendStateReadBack() override;
  [[nodiscard]] MachineState& State() override { return state_; }
  void RefreshLampButtons() override { ++refreshes; }
  [[nodiscard]] comlane::SerialPort* SerialPort() override { return port_; }
  [[nodiscard]] ControlFactory& Controls() override { return controls_; }
  void DialogClosed(OptionDialog which) override;

  // SerialPortOwner.
  void SerialPortReopened() override;

  // CommandSource.
  [[nodiscard]] std::int32_t Level(int) const override { return 0; }
  [[nodiscard]] std::int32_t CursorDigit(int) const override { return 0; }
  [[nodiscard]] std::int32_t OnOffState() const override { return 0; }
  [[nodiscard]] const DialogData* OpenDialog(SetupDialog which) const override;

  // PollTimer.
  void StopPoll() override {}
  void StartPoll(int) override {}

  // ReplyPanel.
  void EndLevelEdit() override {}
  void ShowLevel(int, std::int32_t) override {}
  void SetCursorDigits(std::int32_t) override {}
  void PlaceCursorMarker() override {}
  void SetTemperatureText(const std::string&) override {}
  void SetFanText(const std::string&) override {}
  void PressButton(int, std::int32_t) override {}
  void RepaintButton(int, std::int32_t) override {}
  void SetButtonCaption(int, const std::string&) override {}
  void ShowStatusLabel(bool) override {}
  void SetStatusText(const std::string&) override {}
  [[nodiscard]] ReplyDialog* OpenReplyDialog(SetupDialog which) override;

private:
  PtyPair* peer_ = nullptr;
  MachineState state_;
  ReplyRing ring_;
  ReplyFramer framer_{ring_};
  SerialDataHandler serialData_{framer_};
  CommandSender sender_;
  ReplyApplier applier_{state_, *this};
  comlane::SerialPort* port_ = nullptr;
  LibraryControls controls_;
  std::array<QPointer<QWidget>, kOptionDialogCount> dialogs_{};
};

// A command frame: 5A, length, 01, command, direction, payload, 03.
[[nodiscard]] Bytes Frame(std::uint8_t command, std::uint8_t direction, const Bytes& payload = {});

} // namespace lamp::test
