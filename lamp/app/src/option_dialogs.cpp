#include "app/option_dialogs.h"

#include <QObject>

#include "settings_dialogs/serial_port_owner.h"

namespace lamp {

namespace {

std::size_t Slot(OptionDialog which) {
  return static_cast<std::size_t>(which);
}

// The host one dialog is given. It lives as a child of its dialog, so that it outlasts every
// call the dialog makes, its destructor's included. It is the port's owner when the panel's host
// is (the serial port setup hands a reopened port over through it).
class DialogHost : public QObject, public PanelHost, public SerialPortOwner {
public:
  DialogHost(PanelHost& panel, OptionDialogs& dialogs, OptionDialog which)
      : panel_(panel), dialogs_(dialogs), which_(which) {}

  void Serve(QWidget* dialog) {
    dialog_ = dialog;
    setParent(dialog);
  }

  void SendCommand(std::uint8_t command, std::int8_t direction) override {
    panel_.SendCommand(command, direction);
  }
  void SendStateReadBack() override { panel_.SendStateReadBack(); }
  MachineState& State() override { return panel_.State(); }
  void RefreshLampButtons() override { panel_.RefreshLampButtons(); }
  comlane::SerialPort* SerialPort() override { return panel_.SerialPort(); }
  ControlFactory& Controls() override { return panel_.Controls(); }
  void SerialPortReopened() override {
    if (auto* owner = dynamic_cast<SerialPortOwner*>(&panel_)) {
      owner->SerialPortReopened();
    }
  }
  void DialogClosed(OptionDialog which) override {
    dialogs_.Closed(which, which == which_ ? dialog_ : nullptr);
  }

private:
  PanelHost& panel_;
  OptionDialogs& dialogs_;
  const OptionDialog which_;
  const QWidget* dialog_ = nullptr;
};

} // namespace

OptionDialogs::OptionDialogs(OptionDialogFactories factories, PanelHost& host, QWidget& parent,
                             std::function<void(OptionDialog)> closed)
    : factories_(std::move(factories)), host_(host), parent_(parent), closed_(std::move(closed)) {}

void OptionDialogs::Open(OptionDialog which) {
  QPointer<QWidget>& open = open_[Slot(which)];
  if (!open.isNull()) {
    open->raise();
    open->activateWindow();
    open->setFocus();
    return;
  }
  const DialogFactory& factory = factories_[Slot(which)];
  if (!factory) {
    return;
  }
  auto* host = new DialogHost(host_, *this, which);
  QWidget* dialog = factory(*host, &parent_);
  if (dialog == nullptr) {
    delete host;
    return;
  }
  host->Serve(dialog);
  open = dialog;
  dialog->show();
}

QWidget* OptionDialogs::Opened(OptionDialog which) const {
  return open_[Slot(which)].data();
}

void OptionDialogs::Closed(OptionDialog which, const QWidget* dialog) {
  QPointer<QWidget>& open = open_[Slot(which)];
  if (dialog == nullptr || open.data() != dialog) {
    return;
  }
  open = nullptr;
  if (closed_) {
    closed_(which);
  }
}

} // namespace lamp
