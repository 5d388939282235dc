#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleHints>
#include <comlane/serial_port.h>
#include <cstdlib>
#include <thread>
#include <wndmsg/messages.h>

#include "app/about_box.h"
#include "app/auto_repeat.h"
#include "controls/my_edit.h"
#include "firmware_dialog/bootloader.h"
#include "lamp_res/art_files.h"
#include "platform/dialog_shell.h"
#include "platform/gui_calls.h"
#include "platform/message_box.h"
#include "platform/notify.h"
#include "settings/profile_file.h"
#include "settings/serial_settings.h"

namespace lamp {

namespace {

constexpr unsigned WM_SYSCOMMAND = 0x0112;

comlane::SerialPort* programPort = nullptr;

// A library of the program: from LAMP_LIB_DIR when that is set, else by the loader's search
// (the program's folder first).
LoadedLibrary LoadLibrary(const char* fileName) {
  const char* folder = std::getenv("LAMP_LIB_DIR");
  if (folder != nullptr && *folder != '\0') {
    return LoadProgramLibrary(std::string(folder) + "/" + fileName);
  }
  return LoadProgramLibrary(fileName);
}

// The factory `symbol` of `library`, or null when the library or the export is missing.
template <class Fn> Fn Factory(const LoadedLibrary& library, const char* symbol) {
  if (!library) {
    return nullptr;
  }
  return reinterpret_cast<Fn>(FindSymbol(library, symbol).address);
}

std::int32_t IndexOf(WParam wParam) {
  return wParam != 0 ? *reinterpret_cast<const std::int32_t*>(wParam) : -1;
}

void SleepFreeze(std::chrono::milliseconds time) {
  std::this_thread::sleep_for(time);
}

} // namespace

comlane::SerialPort* MainWindow::ProgramSerialPort() {
  return programPort;
}

MainWindow::MainWindow(PanelSetup setup, QWidget* parent)
    : Dialog(parent), dialogs_(std::move(setup.dialogs), *this, *this,
                               [this](OptionDialog which) { AfterDialogClosed(which); }),
      panel_(*this, state_, dialogs_), commands_(state_, panel_, *this),
      applier_(state_, setup.replies ? setup.replies(panel_) : panel_),
      dispatcher_(
          ring_, state_,
          [this](const std::function<void()>& apply) { return RunOnGui(apply, this); },
          [this](const ReplyRing::Slot& entry) { applier_.Apply(entry); }),
      freeze_(setup.freeze ? std::move(setup.freeze)
                           : std::function<void(std::chrono::milliseconds)>(SleepFreeze)) {
  const DialogUnits units = ShapeDialog(*this, {.title = QStringLiteral("Velora"),
                                                .face = QStringLiteral("MS Shell Dlg"),
                                                .points = 9,
                                                .toolWindow = false,
                                                .minimiseBox = true});
  FixTemplateSize(*this, units, QSize(287, 280));
  QIcon icon;
  icon.addFile(lamp_res::ArtworkPath(lamp_res::kAppIconSmall.file));
  icon.addFile(lamp_res::ArtworkPath(lamp_res::kAppIcon.file));
  setWindowIcon(icon);
  panel_.MakeTemplateControls(units);

  onMessage(wndmsg::WM_SERIAL_DATA, &MainWindow::OnSerialData);
  onMessage(wndmsg::WM_SERIAL_LOST, &MainWindow::OnSerialLost);
  onMessage(wndmsg::WM_BUTTON_PRESSED, &MainWindow::OnButtonPressed);
  onMessage(wndmsg::WM_BUTTON_RELEASED, &MainWindow::OnButtonReleased);
  onMessage(wndmsg::WM_BUTTON_IGNORED, [](WParam, LParam) -> LResult { return 0; });
  onMessage(wndmsg::WM_BUTTON_CLICKED, &MainWindow::OnButtonClicked);
  onMessage(wndmsg::WM_DISPLAY_EDIT, &MainWindow::OnDisplayEdit);
  onMessage(wndmsg::WM_DISPLAY_CLICKED, &MainWindow::OnDisplayClicked);
  onMessage(wndmsg::WM_EDITOR_CLOSED, &MainWindow::OnEditorClosed);
  onMessage(WM_COMMAND, &MainWindow::OnCommand);
  onMessage(WM_SYSCOMMAND, &MainWindow::OnSysCommand);
}

MainWindow::~MainWindow() {
  Shutdown();
  if (qApp != nullptr) {
    qApp->removeEventFilter(this);
  }
}

void MainWindow::Initialise() {
  if (initialised_) {
    return;
  }
  initialised_ = true;
  qApp->installEventFilter(this);

  panel_.LayoutHeader();

  segmenta_ = LoadLibrary("libsegmenta.so");
  if (Factory<segmenta::DigitalCharClassFn>(segmenta_, "DigitalCharClass") == nullptr) {
    segmenta_ = {};
    MessageBox(nullptr, QStringLiteral("Segmenta.Dll\n File not found."));
  } else {
    controls_.SetDisplayLibrary(segmenta_);
    panel_.MakeDisplays(controls_);
  }

  knoblet_ = LoadLibrary("libknoblet.so");
  if (Factory<knoblet::BtnClassFn>(knoblet_, "BtnClass") == nullptr) {
    knoblet_ = {};
    MessageBox(nullptr, QStringLiteral("Knoblet.Dll\n File not found."));
  } else {
    controls_.SetButtonLibrary(knoblet_);
    panel_.MakeButtons(controls_);
  }

  comlane_ = LoadLibrary("libcomlane.so");
  if (Factory<comlane::Rs232ClassFn>(comlane_, "Rs232Class") == nullptr) {
    comlane_ = {};
    MessageBox(nullptr, QStringLiteral("Comlane.Dll\n File not found."));
  } else {
    OpenSerialPort();
  }

  panel_.PlacePictures();
  panel_.MakeLabels();
  panel_.MakeEditor();

  SendStateReadBack();
  panel_.RefreshLampButtons();
  setTimer(kPollTimer, CommandSender::kPollPeriodMs);

  panel_.MakeStatusLabel();
}

void MainWindow::OpenSerialPort() {
  if (programPort == nullptr) {
    programPort = Factory<comlane::Rs232ClassFn>(comlane_, "Rs232Class")();
  }
  comlane::SerialPort* port = programPort;
  commands_.SetPort(port);
  if (port == nullptr) {
    return;
  }
  LoadSerialSettings(*port, ProfileFile(ProfileFile::DefaultPath()));
  if (port->Open() == 0) {
    MessageBox(nullptr, QString::asprintf("%s already open.", port->portName.c_str()));
    return;
  }
  port->SetOwner(this);
  port->StartThreads();
  dispatcher_.Start();
}

// Serial bytes and button, display and editor notifications.

LResult MainWindow::OnSerialData(WParam wParam, LParam lParam) {
  auto* boot = dialogs_.OpenedAs<wndmsg::MessageTarget>(OptionDialog::Bootloader);
  const LResult result = serialData_.OnSerialData(wParam, lParam, boot);
  if (ring_.Waiting() > 0) {
    dispatcher_.ApplyOrWake();
  }
  return result;
}

LResult MainWindow::OnSerialLost(WParam, LParam) {
  if (!shutDown_) {
    healer_.OnLineLost();
  }
  return 0;
}

LResult MainWindow::OnButtonPressed(WParam wParam, LParam) {
  state_.heldButton.store(IndexOf(wParam));
  state_.buttonHeld.store(true);
  const int hold = QGuiApplication::styleHints()->mousePressAndHoldInterval();
  setTimer(kHoldTimer, HoldDelayMs(KeyboardDelaySetting(hold)));
  return 0;
}

LResult MainWindow::OnButtonReleased(WParam wParam, LParam) {
  state_.heldButton.store(IndexOf(wParam));
  state_.buttonHeld.store(false);
  return 0;
}

LResult MainWindow::OnButtonClicked(WParam wParam, LParam) {
  const int index = IndexOf(wParam);
  switch (ActionOfButton(index)) {
  case ButtonAction::SwitchLamp:
    ClickLampButton(index);
    break;
  case ButtonAction::MoveCursor:
    MoveCursor(index);
    break;
  case ButtonAction::StepLevels:
    StepLevels(index);
    break;
  case ButtonAction::ToggleAuto:
    ToggleAuto();
    break;
  case ButtonAction::ToggleOnOff:
    ToggleOnOff();
    break;
  case ButtonAction::Reset:
    Reset();
    break;
  case ButtonAction::ShowOptionMenu:
    ShowOptionMenu();
    break;
  case ButtonAction::None:
    break;
  }
  return 0;
}

LResult MainWindow::OnDisplayEdit(WParam wParam, LParam) {
  const int index = IndexOf(wParam);
  if (MayEditLevel(state_, index)) {
    panel_.OpenLevelEditor(index);
  }
  return 0;
}

LResult MainWindow::OnDisplayClicked(WParam wParam, LParam) {
  DisplayClicked(IndexOf(wParam));
  return 0;
}

LResult MainWindow::OnEditorClosed(WParam, LParam) {
  panel_.EndLevelEdit();
  return 0;
}

LResult MainWindow::OnCommand(WParam wParam, LParam) {
  if (const std::optional<OptionDialog> which =
          DialogOfCommand(static_cast<int>(LowWord(wParam)))) {
    dialogs_.Open(*which);
  }
  return 0;
}

LResult MainWindow::OnSysCommand(WParam wParam, LParam) {
  if ((wParam & 0xFFF0u) == kAboutCommand) {
    ShowAboutBox(*this);
  }
  return 0;
}

// Operator actions: the rules decide, the panel shows, the command goes out.

void MainWindow::ClickLampButton(int index) {
  if (!panel_.HasButton(index)) {
    return;
  }
  const LampClick click = lamp::ClickLampButton(state_, index, panel_.ButtonState(index),
                                                dialogs_.Opened(OptionDialog::UserMode) != nullptr);
  if (click.writeSwitchMask) {
    SendCommand(command::kLampSwitch, kWrite);
  }
  if (click.redrawSelector) {
    setTimer(kSelectorTimer, kSelectorDelayMs);
  }
}

void MainWindow::MoveCursor(int index) {
  panel_.MoveCursors(index == kLeftButton);
  SendCommand(command::kCursorDigit, kWrite);
  panel_.PlaceCursorMarker();
}

void MainWindow::StepLevels(int index) {
  panel_.StepDisplays(StepTargets(state_), index == kUpButton);
  SendCommand(command::kLampLevels, kWrite);
}

void MainWindow::ToggleAuto() {
  const AutoToggle toggle = lamp::ToggleAuto(state_);
  if (toggle.ignored) {
    return;
  }
  if (toggle.refreshLampButtons) {
    panel_.RefreshLampButtons();
  }
  if (toggle.restoredLevels) {
    for (int i = 0; i < kDisplayCount; ++i) {
      panel_.ShowLevel(i, (*toggle.restoredLevels)[static_cast<std::size_t>(i)]);
    }
  }
  SendCommand(command::kAutoRun, kWrite);
  ClearStatus();
}

void MainWindow::ToggleOnOff() {
  if (state_.syncingButtons.load() || !panel_.HasButton(kOnOffButton)) {
    return;
  }
  panel_.SetButtonText(kOnOffButton, OnOffCaption(panel_.ButtonState(kOnOffButton)));
  SendCommand(command::kOnOff, kWrite);
}

void MainWindow::Reset() {
  SendCommand(command::kReset, kWrite);
  freeze_(std::chrono::milliseconds(kResetFreezeMs));
  SendStateReadBack();
  panel_.RefreshLampButtons();
  ClearStatus();
}

void MainWindow::ShowOptionMenu() {
  knoblet::ButtonObject* button = panel_.Button(kOptionButton);
  if (button == nullptr) {
    return;
  }
  QMenu menu(this);
  for (const OptionMenuItem& item : OptionMenuItems()) {
    menu.addAction(QString::fromLatin1(item.text))->setData(item.command);
  }
  QWidget* option = button->window;
  const QAction* chosen = menu.exec(option->mapToGlobal(QPoint(0, option->height())));
  if (chosen != nullptr) {
    send(WM_COMMAND, MakeWParam(static_cast<unsigned>(chosen->data().toInt()), 0), 0);
  }
}

void MainWindow::DisplayClicked(int index) {
  const DisplayClick click = ClickDisplay(state_, index);
  if (click.ignored) {
    return;
  }
  if (click.recolour) {
    panel_.SetDisplayColours(index, click.highlighted);
  }
  SendCommand(command::kLampSwitch, kWrite);
}

void MainWindow::AcceptEditor() {
  const int index = state_.editIndex.load();
  const std::optional<std::int32_t> level = TypedLevel(panel_.EditorText());
  if (level && panel_.HasDisplay(index)) {
    panel_.ShowLevel(index, *level);
    SendCommand(command::kLampLevels, kWrite);
  }
  panel_.EndLevelEdit();
}

bool MainWindow::HandleKey(int key) {
  const KeyAction action = ActionOfKey(key);
  switch (action.kind) {
  case KeyAction::Kind::PressButton:
    panel_.SendToButton(action.index, wndmsg::WM_BUTTON_PRESS);
    break;
  case KeyAction::Kind::ClickDisplay:
    DisplayClicked(action.index);
    break;
  case KeyAction::Kind::ShowResetPress:
    panel_.ShowResetPress();
    break;
  case KeyAction::Kind::None:
    break;
  }
  return true;
}

void MainWindow::ClearStatus() {
  // A lost line stays shown until it is back.
  if (healer_.Lost()) {
    ShowLineStatus(kLineLostText);
    return;
  }
  panel_.ShowStatusLabel(false);
  panel_.SetStatusText(std::string());
}

void MainWindow::onTimer(int id) {
  switch (id) {
  case kHoldTimer:
    killTimer(kHoldTimer);
    setTimer(kRepeatTimer, RepeatPeriodMs(KeyboardSpeedSetting(
                               QGuiApplication::styleHints()->keyboardAutoRepeatRate())));
    break;
  case kRepeatTimer:
    if (state_.buttonHeld.load()) {
      const std::int32_t held = state_.heldButton.load();
      send(wndmsg::WM_BUTTON_CLICKED, reinterpret_cast<WParam>(&held), 0);
    } else {
      killTimer(kRepeatTimer);
    }
    break;
  case kPollTimer:
    if (PollDue(panel_.EditorOpen(), healer_.Lost(),
                dialogs_.Opened(OptionDialog::Bootloader) != nullptr)) {
      SendCommand(command::kStatusPoll, kRead);
    }
    if (FanTurns(panel_.FanCaption())) {
      setTimer(kFanTimer, kFanPeriodMs);
    } else {
      killTimer(kFanTimer);
    }
    break;
  case kFanTimer:
    panel_.AnimateFan();
    break;
  case kSelectorTimer:
    panel_.DrawUserSelector();
    killTimer(kSelectorTimer);
    break;
  case kLineRetryTimer:
    if (!shutDown_) {
      healer_.OnRetryTick();
    }
    break;
  case kLineStatusTimer:
    killTimer(kLineStatusTimer);
    if (panel_.StatusLabel() != nullptr && panel_.StatusCaption() == kLineBackText) {
      ClearStatus();
    }
    break;
  default:
    Dialog::onTimer(id);
    break;
  }
}

// Message pre-translation: keys and left clicks bound for this window or any of its controls.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress) {
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) {
    return false;
  }
  if (type == QEvent::MouseButtonPress) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      panel_.EndLevelEdit();
    }
    return false;
  }
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (panel_.EditorOpen()) {
      AcceptEditor();
    }
    return true;
  }
  if (panel_.EditorOpen()) {
    return false;
  }
  return HandleKey(key);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  Shutdown();
  Dialog::closeEvent(event);
}

void MainWindow::reject() {
  Shutdown();
  Dialog::reject();
}

void MainWindow::Shutdown() {
  if (shutDown_) {
    return;
  }
  shutDown_ = true;
  killTimer(kLineRetryTimer);
  dispatcher_.Join([](std::jthread& thread) { JoinServicing(thread); });
  if (comlane_ && programPort != nullptr) {
    comlane::SerialPort* port = programPort;
    WaitServicing([port] { port->Close(); });
    port->SetOwner(nullptr);
  }
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kPlainGround);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("LAMP 정보(&A)..."));
  if (menu.exec(event->globalPos()) == about) {
    send(WM_SYSCOMMAND, kAboutCommand, 0);
  }
}

// PollTimer and PanelHost.

void MainWindow::StopPoll() {
  killTimer(kPollTimer);
}

void MainWindow::StartPoll(int periodMs) {
  setTimer(kPollTimer, periodMs);
}

void MainWindow::SendCommand(std::uint8_t command, std::int8_t direction) {
  commands_.SendCommand(command, direction);
}

void MainWindow::SendStateReadBack() {
  commands_.SendStateReadBack();
}

comlane::SerialPort* MainWindow::SerialPort() {
  return comlane_ ? programPort : nullptr;
}

QWidget* MainWindow::OpenOptionDialog(OptionDialog which) const {
  return dialogs_.Opened(which);
}

void MainWindow::DialogClosed(OptionDialog which) {
  dialogs_.Closed(which, dialogs_.Opened(which));
}

void MainWindow::AfterDialogClosed(OptionDialog which) {
  if (which == OptionDialog::Bootloader && readBackPending_ && !shutDown_ && !healer_.Lost()) {
    readBackPending_ = false;
    SendStateReadBack();
  }
}

} // namespace lamp
