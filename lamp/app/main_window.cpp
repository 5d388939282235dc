#include "main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyleHints>
#include <QVBoxLayout>
#include <comlane/serial_port.h>
#include <cstdlib>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>
#include <thread>
#include <wndmsg/messages.h>

#include "auto_repeat.h"
#include "controls/image_static.h"
#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "firmware/bootloader.h"
#include "lamp_res/art_files.h"
#include "link/decimal_text.h"
#include "platform/dialog_units.h"
#include "platform/gui_calls.h"
#include "platform/log_font.h"
#include "platform/message_box.h"
#include "platform/notify.h"
#include "settings/profile_file.h"
#include "settings/serial_settings.h"

namespace lamp {

namespace {

constexpr unsigned WM_SYSCOMMAND = 0x0112;
constexpr int kDisplayId = 0xFFFF;
constexpr int kButtonIdBase = 6000;
constexpr int kLabelId = 20000;
constexpr int kLastMenuCommand = 20000;
constexpr int kFreezeMs = 1000;
constexpr int kFanPeriodMs = 30;
constexpr int kSelectorDelayMs = 30;
constexpr int kEditorFontCellHeight = 60;
constexpr int kLineBackShownMs = 3000;

const QColor kOrange(248, 168, 97);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kUnlit(150, 150, 150);
const QColor kLabelBlue(42, 116, 179);
const QColor kBackground(254, 254, 254);

comlane::SerialPort* programPort = nullptr;

std::array<MainWindow::DialogFactory, kOptionDialogCount>& Factories() {
  static std::array<MainWindow::DialogFactory, kOptionDialogCount> factories;
  return factories;
}

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

QPixmap Cell(const std::vector<QPixmap>& cells, std::size_t index) {
  return index < cells.size() ? cells[index] : QPixmap();
}

QRect ToQRect(const PixelRect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

std::int32_t IndexOf(WParam wParam) {
  return wParam != 0 ? *reinterpret_cast<const std::int32_t*>(wParam) : -1;
}

void SleepFreeze(std::chrono::milliseconds time) {
  std::this_thread::sleep_for(time);
}

} // namespace

void MainWindow::SetOptionDialogFactory(OptionDialog which, DialogFactory factory) {
  Factories()[static_cast<std::size_t>(which)] = std::move(factory);
}

comlane::SerialPort* MainWindow::ProgramSerialPort() {
  return programPort;
}

MainWindow::MainWindow(QWidget* parent, Freeze freeze)
    : Dialog(parent), commands_(state_, *this, *this),
      dispatcher_(
          ring_, state_,
          [this](const std::function<void()>& apply) { return RunOnGui(apply, this); },
          [this](const ReplyRing::Slot& entry) { applier_.Apply(entry); }),
      freeze_(freeze ? std::move(freeze) : Freeze(SleepFreeze)) {
  setWindowTitle(QStringLiteral("Velora"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  const QFont dialogFont = DialogFont(QStringLiteral("MS Shell Dlg"), 9);
  setFont(dialogFont);
  const DialogUnits units(dialogFont);
  setFixedSize(units.size(287, 280));
  QIcon icon;
  icon.addFile(lamp_res::ArtworkPath(lamp_res::kAppIconSmall.file));
  icon.addFile(lamp_res::ArtworkPath(lamp_res::kAppIcon.file));
  setWindowIcon(icon);

  // The template's controls, at their template positions until the layout moves them.
  auto picture = [&](int id, int left, int top, int width, int height) {
    auto* control = new CImageStatic();
    control->Create(WS_VISIBLE, units.rect(left, top, width, height), this, id);
    control->PrepareSurface();
    return control;
  };
  logo_ = picture(1000, 17, 7, 21, 23);
  productName_ = picture(1001, 39, 7, 20, 24);
  firstLine_ = picture(1002, 19, 35, 104, 1);
  percentSigns_[0] = picture(1003, 161, 21, 18, 18);
  percentSigns_[1] = picture(1005, 181, 21, 18, 18);
  percentSigns_[2] = picture(1006, 221, 22, 18, 18);
  percentSigns_[3] = picture(1007, 201, 21, 18, 18);
  secondLine_ = picture(1004, 19, 43, 104, 1);
  cursorMarker_ = picture(1008, 143, 19, 16, 12);
  fanPicture_ = picture(1012, 18, 234, 26, 20);
  thermometer_ = picture(1011, 15, 205, 29, 20);
  editor_ = new CMyEdit(this);
  editor_->setControlId(1010);
  editor_->setGeometry(units.rect(16, 49, 96, 13));
  editor_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  editor_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), editor_));
  editor_->hide();

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

  LayoutHeader();

  segmenta_ = LoadLibrary("libsegmenta.so");
  if (Factory<segmenta::DigitalCharClassFn>(segmenta_, "DigitalCharClass") == nullptr) {
    segmenta_ = {};
    MessageBox(nullptr, QStringLiteral("Segmenta.Dll\n File not found."));
  } else {
    controls_.SetDisplayLibrary(segmenta_);
    MakeDisplays();
  }

  knoblet_ = LoadLibrary("libknoblet.so");
  if (Factory<knoblet::BtnClassFn>(knoblet_, "BtnClass") == nullptr) {
    knoblet_ = {};
    MessageBox(nullptr, QStringLiteral("Knoblet.Dll\n File not found."));
  } else {
    controls_.SetButtonLibrary(knoblet_);
    MakeButtons();
  }

  comlane_ = LoadLibrary("libcomlane.so");
  if (Factory<comlane::Rs232ClassFn>(comlane_, "Rs232Class") == nullptr) {
    comlane_ = {};
    MessageBox(nullptr, QStringLiteral("Comlane.Dll\n File not found."));
  } else {
    OpenSerialPort();
  }

  SetImage(cursorMarker_, QStringLiteral("img_cursor.bmp"));
  SetImage(thermometer_, QStringLiteral("img_thermometer.bmp"));
  SetImage(fanPicture_, QStringLiteral("img_fan1.bmp"));
  const PixelRect secondLine = RectOf(secondLine_);
  MoveTo(thermometer_, ThermometerRect(secondLine));
  MoveTo(fanPicture_, FanRect(secondLine));

  MakeLabels();
  MakeEditor();

  SendStateReadBack();
  RefreshLampButtons();
  setTimer(kPollTimer, CommandSender::kPollPeriodMs);

  statusLabel_ = MakeLabel(QStringLiteral("AA BB CC"));
  if (HasButton(kAutoButton)) {
    MoveTo(statusLabel_, StatusLabelRect(RectOf(buttons_[kAutoButton]->window), width(), height()));
  }
  statusLabel_->hide();
}

void MainWindow::LayoutHeader() {
  const HeaderLayout header = lamp::LayoutHeader(width(), height());
  MoveTo(logo_, header.logo);
  SetImage(logo_, QStringLiteral("img_logo.bmp"));
  MoveTo(productName_, header.productName);
  SetImage(productName_, QStringLiteral("img_name.bmp"));
  MoveTo(firstLine_, header.firstLine);
  SetImage(firstLine_, QStringLiteral("img_line.bmp"));
  SetImage(cursorMarker_, QStringLiteral("img_cursor.bmp"));
}

void MainWindow::MakeDisplays() {
  for (int i = 0; i < 4; ++i) {
    segmenta::DigitDisplay* display = controls_.MakeDisplay();
    if (display == nullptr) {
      continue;
    }
    displays_[static_cast<std::size_t>(i)] = display;
    display->Create(QString(),
                    segmenta::kStyleChild | segmenta::kStyleVisible | segmenta::kStyleSunken |
                        segmenta::kStyleNotify,
                    QRect(0, 0, 300, 100), this, kDisplayId);
    display->SetDigitColours(kOrange, kBlack, kUnlit);
    display->SetColourA(kWhite);
    display->SetColourB(kWhite);
    display->SetRange(0, 1000);
    display->SetFormat(QStringLiteral("%04d"));
    display->SetAltFormat(0, 0, QStringLiteral("%.3d"));
    display->SetOption(10);
    display->SetIndex(i);
  }

  const int firstLineBottom = RectOf(firstLine_).bottom;
  for (int i = 0; i < 4; ++i) {
    if (!HasDisplay(i)) {
      continue;
    }
    const PixelRect rect = DisplayRect(width(), firstLineBottom, i);
    MoveTo(displays_[static_cast<std::size_t>(i)]->window, rect);
    MoveTo(percentSigns_[static_cast<std::size_t>(i)], PercentRect(rect));
    SetImage(percentSigns_[static_cast<std::size_t>(i)], QStringLiteral("img_precent.bmp"));
  }
  if (HasDisplay(3)) {
    const PixelRect last = RectOf(displays_[3]->window);
    MoveTo(secondLine_, SecondLineRect(width(), last));
    SetImage(secondLine_, QStringLiteral("img_line.bmp"));
    MoveTo(cursorMarker_, InitialCursorRect(last, 0));
  }
}

void MainWindow::MakeButtons() {
  lampImages_ = lamp_res::CutStrip(lamp_res::kLampButtons);
  userImages_ = lamp_res::CutStrip(lamp_res::kUserButtons);
  const std::vector<QPixmap> arrows = lamp_res::CutStrip(lamp_res::kArrows);
  const std::vector<QPixmap> commands = lamp_res::CutStrip(lamp_res::kCommands);
  const int firstLineBottom = RectOf(firstLine_).bottom;

  auto create = [&](int i, const QString& caption, unsigned kind) -> knoblet::ButtonObject* {
    knoblet::ButtonObject* button = controls_.MakeButton();
    if (button == nullptr) {
      return nullptr;
    }
    buttons_[static_cast<std::size_t>(i)] = button;
    button->Create(caption, knoblet::kStyleChild | knoblet::kStyleVisible | kind,
                   QRect(0, 0, 100, 100), this, kButtonIdBase + i);
    return button;
  };

  for (int i = 0; i < kLampButtonCount; ++i) {
    knoblet::ButtonObject* button = create(i, QString(), knoblet::kStyleTwoState);
    if (button == nullptr) {
      continue;
    }
    button->SetIcons(Cell(lampImages_, 2 * i), Cell(lampImages_, 2 * i + 1));
    button->SetPressNotify(1);
    button->Prepare();
    button->SetIndex(i);
    MoveTo(button->window, LampButtonRect(width(), firstLineBottom, i));
  }

  for (int i = kLeftButton; i <= kDownButton; ++i) {
    knoblet::ButtonObject* button = create(i, QString(), knoblet::kStylePush);
    if (button == nullptr) {
      continue;
    }
    const auto k = static_cast<std::size_t>(i - kLeftButton);
    button->SetIcons(Cell(arrows, 2 * k + 1), Cell(arrows, 2 * k));
    button->SetPressNotify(1);
    button->Prepare();
    button->SetIndex(i);
  }
  if (HasDisplay(3)) {
    const PixelRect last = RectOf(displays_[3]->window);
    for (int i = kLeftButton; i <= kDownButton; ++i) {
      if (HasButton(i)) {
        MoveTo(buttons_[static_cast<std::size_t>(i)]->window,
               ArrowButtonRect(last, i - kLeftButton));
      }
    }
  }

  const QString captions[] = {QStringLiteral("AUTO"), QStringLiteral("ON"), QStringLiteral("RESET"),
                              QStringLiteral("OPTION")};
  for (int i = kAutoButton; i <= kOptionButton; ++i) {
    const auto k = static_cast<std::size_t>(i - kAutoButton);
    const bool twoState = i == kAutoButton || i == kOnOffButton;
    knoblet::ButtonObject* button =
        create(i, captions[k], twoState ? knoblet::kStyleTwoState : knoblet::kStylePush);
    if (button == nullptr) {
      continue;
    }
    button->SetIcons(Cell(commands, 2 * k + 1), Cell(commands, 2 * k));
    button->SetPressNotify(1);
    button->Prepare();
    button->SetIndex(i);
    button->SetCaptionFont(14, QStringLiteral("Verdana"), QColor(155, 0, 255), 0,
                           QColor(0, 250, 180));
    button->SetBackdrop(kWhite, 100, QColor(248, 198, 197), 10);
  }
  if (HasButton(kOnOffButton)) {
    RepaintButton(kOnOffButton, 1);
  }
  const PixelRect secondLine = RectOf(secondLine_);
  for (int i = kAutoButton; i <= kOptionButton; ++i) {
    if (HasButton(i)) {
      MoveTo(buttons_[static_cast<std::size_t>(i)]->window,
             CommandButtonRect(width(), secondLine, i - kAutoButton));
    }
  }
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

TextLabel* MainWindow::MakeLabel(const QString& text) {
  auto* label = new TextLabel();
  label->Create(QString(), WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, QRect(0, 0, 100, 100), this,
                kLabelId);
  label->SetCaption(text)
      .SetEmbossed(true, true)
      .SetEmbossColour(kLabelBlue)
      .SetTypeface(QStringLiteral("Verdana"), 0)
      .SetPoints(14)
      .SetHeavy(true)
      .SetSeeThrough(true);
  return label;
}

void MainWindow::MakeLabels() {
  temperatureLabel_ = MakeLabel(QStringLiteral("25\u2103"));
  MoveTo(temperatureLabel_, LabelBeside(RectOf(thermometer_)));
  fanLabel_ = MakeLabel(QStringLiteral("OFF"));
  MoveTo(fanLabel_, LabelBeside(RectOf(fanPicture_)));
}

void MainWindow::MakeEditor() {
  editor_->setMaxLength(4);
  // A positive height is the character cell's height (ascent plus descent), not the size of the
  // characters.
  LogFont description;
  description.height = kEditorFontCellHeight;
  description.weight = 200;
  description.quality = kAntialiasedQuality;
  description.faceName = QStringLiteral("Verdana");
  const QFont font = FontFromLogFont(description);
  editor_->SetBackgroundColour(kOrange);
  editor_->SetTextColour(kLabelBlue);
  editor_->setFont(font);
}

// Serial bytes and button, display and editor notifications.

LResult MainWindow::OnSerialData(WParam wParam, LParam lParam) {
  auto* boot = dynamic_cast<wndmsg::MessageTarget*>(
      dialogs_[static_cast<std::size_t>(OptionDialog::Bootloader)].data());
  return serialData_.OnSerialData(wParam, lParam, boot);
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
  switch (index) {
  case 0:
  case 1:
  case 2:
  case 3:
    ClickLampButton(index);
    break;
  case kLeftButton:
  case kRightButton:
    MoveCursor(index);
    break;
  case kUpButton:
  case kDownButton:
    StepLevels(index);
    break;
  case kAutoButton:
    ToggleAuto();
    break;
  case kOnOffButton:
    ToggleOnOff();
    break;
  case kResetButton:
    Reset();
    break;
  case kOptionButton:
    ShowOptionMenu();
    break;
  default:
    break;
  }
  return 0;
}

LResult MainWindow::OnDisplayEdit(WParam wParam, LParam) {
  const int index = IndexOf(wParam);
  if (index < 0 || index > 3 || !HasDisplay(index) || state_.userMode.load() != 0 ||
      (state_.lampMask.load() & (1u << index)) != 0) {
    return 0;
  }
  state_.editIndex.store(index);
  segmenta::DigitDisplay* display = displays_[static_cast<std::size_t>(index)];
  const QRect rect = display->window->geometry();
  display->window->hide();
  QString text = display->GetText();
  text.remove(QLatin1Char(' '));
  editor_->setGeometry(rect);
  editor_->setText(text);
  editor_->show();
  editor_->setFocus();
  editor_->selectAll();
  return 0;
}

LResult MainWindow::OnDisplayClicked(WParam wParam, LParam) {
  DisplayClicked(IndexOf(wParam));
  return 0;
}

LResult MainWindow::OnEditorClosed(WParam, LParam) {
  EndLevelEdit();
  return 0;
}

LResult MainWindow::OnCommand(WParam wParam, LParam) {
  const int command = static_cast<int>(LowWord(wParam));
  if (command >= kFirstOptionCommand && command <= kLastMenuCommand) {
    OpenOptionDialogCommand(command);
  }
  return 0;
}

LResult MainWindow::OnSysCommand(WParam wParam, LParam) {
  if ((wParam & 0xFFF0u) == kAboutCommand) {
    ShowAbout();
  }
  return 0;
}

// Panel behaviour.

void MainWindow::ClickLampButton(int index) {
  if (state_.syncingButtons.load() || !HasButton(index)) {
    return;
  }
  const std::uint8_t bit = static_cast<std::uint8_t>(1u << index);
  if (state_.userMode.load() == 0) {
    const std::uint8_t mask = state_.lampMask.load();
    state_.lampMask.store(buttons_[static_cast<std::size_t>(index)]->state.load() == 1
                              ? static_cast<std::uint8_t>(mask | bit)
                              : static_cast<std::uint8_t>(mask & ~bit));
    SendCommand(1, 0);
    return;
  }
  if (dialogs_[static_cast<std::size_t>(OptionDialog::UserMode)].isNull()) {
    state_.userLampMask.store((state_.userLampMask.load() ^ bit) & bit);
    SendCommand(1, 0);
  }
  setTimer(kSelectorTimer, kSelectorDelayMs);
}

void MainWindow::MoveCursor(int index) {
  for (int i = 0; i < 4; ++i) {
    if (HasDisplay(i)) {
      segmenta::DigitDisplay* display = displays_[static_cast<std::size_t>(i)];
      (void)(index == kLeftButton ? display->CursorLeft() : display->CursorRight());
    }
  }
  SendCommand(3, 0);
  PlaceCursorMarker();
}

void MainWindow::StepLevels(int index) {
  if (state_.userMode.load() == 0) {
    const std::uint8_t mask = state_.lampMask.load();
    const bool noneHighlighted = (mask & 0xF0u) == 0xF0u;
    for (int i = 0; i < 4; ++i) {
      const bool chosen = noneHighlighted ? (mask & (1u << i)) == 0 : (mask & (0x10u << i)) == 0;
      if (chosen && HasDisplay(i)) {
        segmenta::DigitDisplay* display = displays_[static_cast<std::size_t>(i)];
        (void)(index == kUpButton ? display->StepUp() : display->StepDown());
      }
    }
  }
  SendCommand(2, 0);
}

void MainWindow::ToggleAuto() {
  if (state_.syncingButtons.load()) {
    return;
  }
  const std::int32_t running = state_.autoRunning.load() != 0 ? 0 : 1;
  state_.autoRunning.store(running);
  if (running == 0) {
    RefreshLampButtons();
  }
  if (state_.autoBActive.load()) {
    for (int i = 0; i < 4; ++i) {
      ShowLevel(i, state_.savedLevels[static_cast<std::size_t>(i)].load());
    }
    state_.autoBActive.store(false);
  }
  SendCommand(4, 0);
  ClearStatus();
}

void MainWindow::ToggleOnOff() {
  if (state_.syncingButtons.load() || !HasButton(kOnOffButton)) {
    return;
  }
  knoblet::ButtonObject* button = buttons_[kOnOffButton];
  button->window->setText(button->state.load() != 0 ? QStringLiteral("ON") : QStringLiteral("OFF"));
  SendCommand(5, 0);
}

void MainWindow::Reset() {
  SendCommand(6, 0);
  freeze_(std::chrono::milliseconds(kFreezeMs));
  SendStateReadBack();
  RefreshLampButtons();
  ClearStatus();
}

void MainWindow::ShowOptionMenu() {
  if (!HasButton(kOptionButton)) {
    return;
  }
  static const char* const kItems[] = {"Auto mode setup", "Fan control",      "Serial port setup",
                                       "System setup",    "Firmware upgrade", "User Mode Setting"};
  QMenu menu(this);
  for (int i = 0; i < kOptionDialogCount; ++i) {
    menu.addAction(QString::fromLatin1(kItems[i]))->setData(kFirstOptionCommand + i);
  }
  QWidget* option = buttons_[kOptionButton]->window;
  const QAction* chosen = menu.exec(option->mapToGlobal(QPoint(0, option->height())));
  if (chosen != nullptr) {
    send(WM_COMMAND, MakeWParam(static_cast<unsigned>(chosen->data().toInt()), 0), 0);
  }
}

void MainWindow::OpenOptionDialogCommand(int command) {
  const int index = command - kFirstOptionCommand;
  if (index < 0 || index >= kOptionDialogCount) {
    return;
  }
  QPointer<QWidget>& open = dialogs_[static_cast<std::size_t>(index)];
  if (!open.isNull()) {
    open->raise();
    open->activateWindow();
    open->setFocus();
    return;
  }
  const DialogFactory& factory = Factories()[static_cast<std::size_t>(index)];
  if (!factory) {
    return;
  }
  QWidget* dialog = factory(*this, this);
  if (dialog == nullptr) {
    return;
  }
  open = dialog;
  dialog->show();
}

void MainWindow::DialogClosed(OptionDialog which) {
  dialogs_[static_cast<std::size_t>(which)] = nullptr;
  if (which == OptionDialog::Bootloader && readBackPending_ && !shutDown_ && !healer_.Lost()) {
    readBackPending_ = false;
    SendStateReadBack();
  }
}

void MainWindow::SerialPortReopened() {
  comlane::SerialPort* port = SerialPort();
  if (port == nullptr || shutDown_ || port->IsOpen() == 0) {
    return;
  }
  healer_.OnReopened();
}

CBootloader* MainWindow::OpenBootloader() const {
  return dynamic_cast<CBootloader*>(
      dialogs_[static_cast<std::size_t>(OptionDialog::Bootloader)].data());
}

void MainWindow::ClosePort() {
  if (comlane::SerialPort* port = SerialPort()) {
    WaitServicing([port] { port->Close(); });
  }
}

bool MainWindow::TransferRunning() {
  const CBootloader* dialog = OpenBootloader();
  return dialog != nullptr && dialog->Protocol().Transferring();
}

void MainWindow::EndTransferForLostLine() {
  if (CBootloader* dialog = OpenBootloader()) {
    dialog->LineLost();
  }
}

void MainWindow::SetRetryTimer(int periodMs) {
  if (periodMs > 0) {
    setTimer(kLineRetryTimer, periodMs);
  } else {
    killTimer(kLineRetryTimer);
  }
}

void MainWindow::ShowLineStatus(const std::string& text) {
  SetStatusText(text);
  ShowStatusLabel(true);
  if (text == kLineBackText) {
    setTimer(kLineStatusTimer, kLineBackShownMs);
  } else {
    killTimer(kLineStatusTimer);
  }
}

void MainWindow::TakeLineOver() {
  comlane::SerialPort* port = SerialPort();
  if (port == nullptr || shutDown_) {
    return;
  }
  // A reply cut off when the old line went (an adapter pulled mid-frame) would otherwise be
  // finished with the first bytes of the new line and applied as a reply of the controller.
  // No byte of the new line has been handed over yet: its deliveries wait for this thread.
  framer_.Reset();
  port->SetOwner(this);
  dispatcher_.Start();
  // What the panel showed may never have reached the machine, or the machine may have changed
  // meanwhile. While the firmware dialog holds the line, replies would go to it: read back after.
  if (CBootloader* dialog = OpenBootloader()) {
    dialog->PortReopened();
    readBackPending_ = true;
  } else {
    SendStateReadBack();
  }
  StartPoll(CommandSender::kPollPeriodMs);
}

QWidget* MainWindow::OpenOptionDialog(OptionDialog which) const {
  return dialogs_[static_cast<std::size_t>(which)].data();
}

void MainWindow::DisplayClicked(int index) {
  if (index < 0 || index > 3 || state_.userMode.load() != 0) {
    return;
  }
  const std::uint8_t mask = state_.lampMask.load();
  if ((mask & (1u << index)) == 0) {
    const auto flipped = static_cast<std::uint8_t>(mask ^ (0x10u << index));
    state_.lampMask.store(flipped);
    SetDisplayColours(index, (flipped & (0x10u << index)) == 0);
  }
  SendCommand(1, 0);
}

void MainWindow::AcceptEditor() {
  const int index = state_.editIndex.load();
  const std::int32_t value = DecimalValue(editor_->text().toStdString());
  if (value <= 1000 && HasDisplay(index)) {
    ShowLevel(index, value);
    SendCommand(2, 0);
  }
  EndLevelEdit();
}

bool MainWindow::HandleKey(int key) {
  switch (key) {
  case Qt::Key_Left:
    SendToButton(kLeftButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_Right:
    SendToButton(kRightButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_Up:
    SendToButton(kUpButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_Down:
    SendToButton(kDownButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_1:
  case Qt::Key_2:
  case Qt::Key_3:
  case Qt::Key_4:
    SendToButton(key - Qt::Key_1, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_5:
  case Qt::Key_6:
  case Qt::Key_7:
  case Qt::Key_8:
    DisplayClicked(key - Qt::Key_5);
    break;
  case Qt::Key_A:
    SendToButton(kAutoButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_P:
    SendToButton(kOnOffButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_O:
    SendToButton(kOptionButton, wndmsg::WM_BUTTON_PRESS);
    break;
  case Qt::Key_R:
    SendToButton(kResetButton, wndmsg::WM_SETFOCUS);
    SendToButton(kResetButton, wndmsg::WM_MOUSEMOVE);
    SendToButton(kResetButton, wndmsg::WM_BUTTON_PRESS);
    SendToButton(kResetButton, wndmsg::WM_KILLFOCUS);
    break;
  default:
    break;
  }
  return true;
}

void MainWindow::SendToButton(int index, unsigned msg) {
  if (HasButton(index)) {
    buttons_[static_cast<std::size_t>(index)]->target->SendMsg(msg, 0, 0);
  }
}

void MainWindow::SetDisplayColours(int index, bool highlighted) {
  if (!HasDisplay(index)) {
    return;
  }
  segmenta::DigitDisplay* display = displays_[static_cast<std::size_t>(index)];
  display->SetDigitColours(highlighted ? kWhite : kOrange, kBlack, kUnlit);
  display->SetColourA(highlighted ? kOrange : kWhite);
  display->SetColourB(highlighted ? kOrange : kWhite);
}

void MainWindow::ClearStatus() {
  // A lost line stays shown until it is back.
  if (healer_.Lost()) {
    ShowLineStatus(kLineLostText);
    return;
  }
  ShowStatusLabel(false);
  SetStatusText(std::string());
}

void MainWindow::RefreshLampButtons() {
  const bool userMode = state_.userMode.load() != 0;
  const std::vector<QPixmap>& images = userMode ? userImages_ : lampImages_;
  const std::uint8_t mask = state_.lampMask.load();
  const std::int32_t userMask = state_.userLampMask.load();
  for (int n = 0; n < kLampButtonCount; ++n) {
    if (!HasButton(n)) {
      continue;
    }
    knoblet::ButtonObject* button = buttons_[static_cast<std::size_t>(n)];
    button->SetIcons(Cell(images, 2 * n), Cell(images, 2 * n + 1));
    state_.syncingButtons.store(true);
    if (userMode) {
      RepaintButton(n, (userMask & (1 << n)) != 0 ? 0 : 1);
    } else {
      PressButton(n, (mask & (1u << n)) != 0 ? 0 : 1);
    }
    state_.syncingButtons.store(false);
  }
  if (userMode) {
    return;
  }
  for (int n = 0; n < 4; ++n) {
    if (HasDisplay(n)) {
      SetDisplayColours(n, (mask & (0x10u << n)) == 0);
      displays_[static_cast<std::size_t>(n)]->Redraw();
    }
  }
}

void MainWindow::DrawUserSelector() {
  state_.syncingButtons.store(true);
  for (int n = 0; n < kLampButtonCount; ++n) {
    PressButton(n, 0);
  }
  const std::int32_t userMask = state_.userLampMask.load();
  for (int n = 0; n < kLampButtonCount; ++n) {
    if ((userMask & (1 << n)) != 0) {
      PressButton(n, 1);
      break;
    }
  }
  state_.syncingButtons.store(false);
  killTimer(kSelectorTimer);
}

void MainWindow::AnimateFan() {
  SetImage(fanPicture_, QStringLiteral("img_fan%1.bmp").arg(fanFrame_ + 1));
  fanFrame_ = (fanFrame_ + 1) % 4;
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
    if (!editor_->isVisible() && !healer_.Lost() &&
        dialogs_[static_cast<std::size_t>(OptionDialog::Bootloader)].isNull()) {
      SendCommand(CommandSender::kStatusPoll, 1);
    }
    if (fanLabel_ != nullptr && fanLabel_->GetCaption() == QStringLiteral("ON")) {
      setTimer(kFanTimer, kFanPeriodMs);
    } else {
      killTimer(kFanTimer);
    }
    break;
  case kFanTimer:
    AnimateFan();
    break;
  case kSelectorTimer:
    DrawUserSelector();
    break;
  case kLineRetryTimer:
    if (!shutDown_) {
      healer_.OnRetryTick();
    }
    break;
  case kLineStatusTimer:
    killTimer(kLineStatusTimer);
    if (statusLabel_ != nullptr &&
        statusLabel_->GetCaption() == QString::fromLatin1(kLineBackText)) {
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
      EndLevelEdit();
    }
    return false;
  }
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (editor_->isVisible()) {
      AcceptEditor();
    }
    return true;
  }
  if (editor_->isVisible()) {
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
  painter.fillRect(rect(), kBackground);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("LAMP 정보(&A)..."));
  if (menu.exec(event->globalPos()) == about) {
    send(WM_SYSCOMMAND, kAboutCommand, 0);
  }
}

void MainWindow::ShowAbout() {
  QDialog about(this);
  about.setWindowTitle(QStringLiteral("LAMP 정보"));
  const DialogUnits units(font());
  about.setFixedSize(units.size(235, 55));
  auto* layout = new QHBoxLayout(&about);
  auto* icon = new QLabel(&about);
  icon->setPixmap(windowIcon().pixmap(32, 32));
  layout->addWidget(icon, 0, Qt::AlignTop);
  auto* column = new QVBoxLayout;
  column->addWidget(new QLabel(QStringLiteral("LAMP Version 1.0"), &about));
  column->addWidget(new QLabel(QStringLiteral("Velora lamp controller operator panel"), &about));
  layout->addLayout(column, 1);
  auto* ok = new QDialogButtonBox(&about);
  ok->addButton(QStringLiteral("확인"), QDialogButtonBox::AcceptRole);
  QObject::connect(ok, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignTop);
  about.exec();
}

// CommandSource, PollTimer, ReplyPanel and PanelHost.

std::int32_t MainWindow::Level(int lamp) const {
  return HasDisplay(lamp) ? displays_[static_cast<std::size_t>(lamp)]->level.load() : 0;
}

std::int32_t MainWindow::CursorDigit(int lamp) const {
  return HasDisplay(lamp) ? displays_[static_cast<std::size_t>(lamp)]->cursorDigit.load() : 0;
}

std::int32_t MainWindow::OnOffState() const {
  return HasButton(kOnOffButton) ? buttons_[kOnOffButton]->state.load() : 0;
}

const DialogData* MainWindow::OpenDialog(SetupDialog which) const {
  return dynamic_cast<const DialogData*>(
      dialogs_[static_cast<std::size_t>(OptionOf(which))].data());
}

ReplyDialog* MainWindow::OpenReplyDialog(SetupDialog which) {
  return dynamic_cast<ReplyDialog*>(dialogs_[static_cast<std::size_t>(OptionOf(which))].data());
}

void MainWindow::StopPoll() {
  killTimer(kPollTimer);
}

void MainWindow::StartPoll(int periodMs) {
  setTimer(kPollTimer, periodMs);
}

void MainWindow::EndLevelEdit() {
  if (!editor_->isVisible()) {
    return;
  }
  editor_->hide();
  const int index = state_.editIndex.load();
  if (HasDisplay(index)) {
    displays_[static_cast<std::size_t>(index)]->window->show();
  }
}

void MainWindow::ShowLevel(int lamp, std::int32_t level) {
  if (HasDisplay(lamp)) {
    segmenta::DigitDisplay* display = displays_[static_cast<std::size_t>(lamp)];
    display->level.store(level);
    display->ShowLevel();
  }
}

void MainWindow::SetCursorDigits(std::int32_t digit) {
  for (int i = 0; i < 4; ++i) {
    if (HasDisplay(i)) {
      displays_[static_cast<std::size_t>(i)]->cursorDigit.store(digit);
      displays_[static_cast<std::size_t>(i)]->Redraw();
    }
  }
}

void MainWindow::PlaceCursorMarker() {
  if (!HasDisplay(3)) {
    return;
  }
  segmenta::DigitDisplay* last = displays_[3];
  MoveTo(cursorMarker_, CursorRect(RectOf(last->window), last->GetCursorDigit()));
}

void MainWindow::SetTemperatureText(const std::string& text) {
  if (temperatureLabel_ != nullptr) {
    temperatureLabel_->SetCaption(QString::fromStdString(text));
  }
}

void MainWindow::SetFanText(const std::string& text) {
  if (fanLabel_ != nullptr) {
    fanLabel_->SetCaption(QString::fromStdString(text));
  }
}

void MainWindow::PressButton(int index, std::int32_t state) {
  if (HasButton(index)) {
    buttons_[static_cast<std::size_t>(index)]->state.store(state);
    SendToButton(index, wndmsg::WM_BUTTON_PRESS);
  }
}

void MainWindow::RepaintButton(int index, std::int32_t state) {
  if (HasButton(index)) {
    buttons_[static_cast<std::size_t>(index)]->state.store(state);
    SendToButton(index, wndmsg::WM_SETFOCUS);
    SendToButton(index, wndmsg::WM_MOUSEMOVE);
  }
}

void MainWindow::SetButtonCaption(int index, const std::string& caption) {
  if (HasButton(index)) {
    buttons_[static_cast<std::size_t>(index)]->window->setText(QString::fromStdString(caption));
  }
}

void MainWindow::ShowStatusLabel(bool visible) {
  if (statusLabel_ != nullptr) {
    statusLabel_->setVisible(visible);
  }
}

void MainWindow::SetStatusText(const std::string& text) {
  if (statusLabel_ != nullptr) {
    statusLabel_->SetCaption(QString::fromStdString(text));
  }
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

knoblet::ButtonObject* MainWindow::Button(int index) const {
  return HasButton(index) ? buttons_[static_cast<std::size_t>(index)] : nullptr;
}

segmenta::DigitDisplay* MainWindow::Display(int index) const {
  return HasDisplay(index) ? displays_[static_cast<std::size_t>(index)] : nullptr;
}

bool MainWindow::HasButton(int index) const {
  return index >= 0 && index < kPanelButtonCount &&
         buttons_[static_cast<std::size_t>(index)] != nullptr &&
         buttons_[static_cast<std::size_t>(index)]->window != nullptr;
}

bool MainWindow::HasDisplay(int index) const {
  return index >= 0 && index < 4 && displays_[static_cast<std::size_t>(index)] != nullptr &&
         displays_[static_cast<std::size_t>(index)]->window != nullptr;
}

PixelRect MainWindow::RectOf(const QWidget* widget) const {
  const QRect r = widget->geometry();
  return RectAt(r.x(), r.y(), r.width(), r.height());
}

void MainWindow::MoveTo(QWidget* widget, const PixelRect& rect) {
  if (widget != nullptr) {
    widget->setGeometry(ToQRect(rect));
  }
}

void MainWindow::SetImage(CImageStatic* picture, const QString& name) {
  if (picture != nullptr) {
    picture->SetImageFile(lamp_res::ArtworkPath(name));
  }
}

} // namespace lamp
