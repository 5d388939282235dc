#include "firmware_dialog/bootloader.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <QStringList>
#include <QToolBar>
#include <algorithm>
#include <chrono>
#include <comlane/serial_port.h>
#include <knoblet/button_object.h>
#include <lamp_res/art_files.h>
#include <wndmsg/messages.h>

#include "controls/caption_label.h"
#include "controls/control_factory.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "firmware_dialog/bootloader_menu.h"
#include "firmware_dialog/memory_view.h"
#include "link/panel_host.h"
#include "platform/dialog_shell.h"
#include "platform/notify.h"

namespace lamp {
namespace {

using firmware::ImageKind;

// Dialog template 137: 338 x 338 dialog units in "Verdana" 8 point.
constexpr int kTemplateWidth = 338;
constexpr int kTemplateHeight = 338;

// The dialog's labels: embossed in light blue, heavy slanted Verdana 9 point.
const CaptionLook kLabelLook{.emboss = QColor(128, 128, 255), .points = 9, .slanted = true};

QRect FromEdges(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}

// The fourteen 16 x 16 images of the tool-bar strip, magenta transparent; empty when the strip
// cannot be read.
std::vector<QIcon> ToolBarImages() {
  std::vector<QIcon> icons;
  for (const QPixmap& cell : lamp_res::CutStrip(lamp_res::kToolBar)) {
    icons.emplace_back(cell);
  }
  return icons;
}

} // namespace

QWidget* MakeBootloaderDialog(PanelHost& host, QWidget* parent) {
  return new CBootloader(parent, {host.SerialPort(), &host.Controls(),
                                  [&host] { host.DialogClosed(OptionDialog::Bootloader); }});
}

QString CBootloader::QtFileFilter(const char* pairs) {
  const QStringList parts = QString::fromLatin1(pairs).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (!parts[i].isEmpty()) {
      filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    }
  }
  return filters.join(QStringLiteral(";;"));
}

CBootloader::CBootloader(QWidget* parent, Host host)
    : Dialog(parent), host_(std::move(host)), ownerLife_(parent),
      chooseFile_(&CBootloader::ChooseFileToOpen), chooseSaveFile_(&CBootloader::ChooseFileToSave),
      image_(firmware::ProgramImageBuffer()), relay_(*this, *this),
      protocol_(
          image_,
          [port = host_.port](const std::uint8_t* bytes, std::int32_t count) {
            return port != nullptr ? port->Write(bytes, count) : 0;
          },
          pacer_, relay_) {
  const DialogUnits units = ShapeDialog(*this, {.title = QStringLiteral("Firmware upgrade"),
                                                .face = QStringLiteral("Verdana"),
                                                .points = 8,
                                                .deleteOnClose = true});

  onMessage(WM_COMMAND, &CBootloader::OnCommand);
  onMessage(wndmsg::WM_BOOT_DATA, &CBootloader::OnBootData);
  onMessage(wndmsg::WM_BOOT_IDENTIFY, &CBootloader::OnBootIdentify);
  onMessage(wndmsg::WM_BUTTON_CLICKED, &CBootloader::OnButtonClicked);

  entryPause_.setSingleShot(true);
  // A coarse timer may run out up to 5 % early; the bootloader needs the whole second to start.
  entryPause_.setTimerType(Qt::PreciseTimer);
  entryPause_.setInterval(std::chrono::milliseconds(firmware::kEntryPause));
  QObject::connect(&entryPause_, &QTimer::timeout, this, [this] { protocol_.FinishEntry(); });

  // The menu sits above the client area, as the system's menus did.
  MakeMenu();
  clientTop_ = menuBar_->sizeHint().height();
  client_ =
      QRect(QPoint(0, 0),
            FixTemplateSize(*this, units, QSize(kTemplateWidth, kTemplateHeight), clientTop_));
  menuBar_->setGeometry(0, 0, client_.width(), clientTop_);

  MakeTargetGroup();
  MakeLabels();
  MakeToolBar();
  MakeMemoryView();
  MakeProgressBar();
  MakeCancelButton();

  if (parent != nullptr) {
    const QRect frame = parent->window()->geometry();
    move(frame.center() - rect().center());
  }
}

CBootloader::~CBootloader() {
  Shutdown();
  beginClose();
  TellHostClosed();
}

void CBootloader::TellHostClosed() const {
  if (host_.closed && ownerLife_.alive()) {
    host_.closed();
  }
}

void CBootloader::Place(QWidget* widget, const QRect& rect) const {
  widget->setGeometry(rect.translated(0, clientTop_));
}

void CBootloader::BindCommand(QAction* action, int command) {
  action->setData(command);
  QObject::connect(action, &QAction::triggered, this,
                   [this, command] { send(WM_COMMAND, MakeWParam(unsigned(command), 0)); });
}

void CBootloader::MakeMenu() {
  menuBar_ = new QMenuBar(this);
  const auto addPopup = [this](const QString& title, const auto& items) {
    QMenu* popup = menuBar_->addMenu(title);
    for (const firmware::MenuItem& item : items) {
      if (item.command == 0) {
        popup->addSeparator();
        continue;
      }
      QAction* action =
          popup->addAction(QString::fromLatin1(item.text.data(), qsizetype(item.text.size())));
      BindCommand(action, item.command);
    }
  };
  addPopup(QStringLiteral("&File"), firmware::kFileMenu);
  addPopup(QStringLiteral("&Command"), firmware::kCommandMenu);
}

void CBootloader::MakeTargetGroup() {
  targetGroup_ = new QGroupBox(QStringLiteral("Target"), this);
  targetGroup_->setProperty("controlId", firmware::kTargetGroupId);
  // The system's group box: a thin frame with the caption set into its top edge.
  targetGroup_->setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid rgb(160, 160, 160); border-radius: 2px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 2px; }"));
  Place(targetGroup_, FromEdges(client_.left() + 8, client_.top() + 48, client_.right() + 1 - 8,
                                client_.height() / 2 - 32));
  targetGroup_->show();
}

void CBootloader::MakeLabels() {
  // Rectangles in the system's left, top, right (exclusive), bottom (exclusive) form.
  const QRect g = targetGroup_->geometry().translated(0, -clientTop_);
  const int gLeft = g.left();
  const int gTop = g.top();
  const int gRight = g.left() + g.width();
  const int gBottom = g.top() + g.height();

  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const bool captionColumn = i >= 1 && i <= 6;
    labels_[i] = MakeCaptionLabel(*this, firmware::kLabelId, captionColumn ? SS_RIGHT : SS_LEFT,
                                  QString(), kLabelLook);
  }

  // Label 0 may reach past the window's right edge; it is clipped there.
  Place(labels_[0], FromEdges(gLeft, gBottom + 8, 2 * gRight - 128, gBottom + 8 + 32));
  labels_[0]->SetCaption(QString::fromLatin1(firmware::kNoFileText));

  for (int k = 1; k <= 6; ++k) {
    TextLabel* caption = labels_[std::size_t(k)];
    TextLabel* value = labels_[std::size_t(k + 6)];
    caption->SetCaption(QString::fromLatin1(firmware::kTargetCaptions[std::size_t(k - 1)]));
    value->SetCaption(QString::fromLatin1(firmware::kNoDeviceText)).SetSlanted(false);
    const int top = gTop + 24 * k;
    const int bottom = gBottom + 24 * (k - 1);
    Place(caption, FromEdges(gLeft, top, g.width() / 2, bottom));
    Place(value, FromEdges(g.width() / 2, top, gRight, bottom));
  }
}

void CBootloader::MakeToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setProperty("controlId", firmware::kToolBarId);
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const std::vector<QIcon> images = ToolBarImages();
  std::size_t image = 0;
  for (const int command : firmware::kToolBarButtons) {
    if (command == 0) {
      toolBar_->addSeparator();
      continue;
    }
    const std::string_view tip = firmware::CommandToolTip(command);
    const QString tipText = QString::fromLatin1(tip.data(), qsizetype(tip.size()));
    QAction* action = image < images.size() ? toolBar_->addAction(images[image], tipText)
                                            : toolBar_->addAction(tipText);
    ++image;
    action->setToolTip(tipText);
    BindCommand(action, command);
  }
  Place(toolBar_,
        QRect(client_.left(), client_.top(), client_.width(), toolBar_->sizeHint().height()));
  toolBar_->show();
}

void CBootloader::MakeMemoryView() {
  memoryView_ = new firmware::MemoryView(this);
  viewFiller_ = std::make_unique<firmware::MemoryViewFiller>(image_, *memoryView_, life().get());
  Place(memoryView_, FromEdges(client_.left() + 8, client_.height() / 2, client_.right() + 1 - 8,
                               client_.bottom() + 1 - 32));
  memoryView_->show();
}

void CBootloader::MakeProgressBar() {
  const QRect l = memoryView_->geometry().translated(0, -clientTop_);
  progressBar_ = new QProgressBar(this);
  progressBar_->setProperty("controlId", firmware::kProgressBarId);
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  Place(progressBar_, FromEdges(l.left() + 48, l.top() + l.height() + 8, l.left() + l.width(),
                                client_.bottom() + 1 - 8));
  progressBar_->hide();
  MakeStatusLine(
      FromEdges(l.left(), l.top() + l.height() + 8, l.left() + l.width(), client_.bottom() + 1 - 8)
          .translated(0, clientTop_));
}

void CBootloader::MakeCancelButton() {
  knoblet::ButtonObject* button =
      host_.controls != nullptr ? host_.controls->MakeButton() : nullptr;
  if (button == nullptr ||
      button->Create(QStringLiteral("Cancel"), knoblet::kStylePush | knoblet::kStyleCentred,
                     FromEdges(110, 270, 190, 302), this, firmware::kCancelButtonId) == 0) {
    return;
  }
  cancelButton_ = button;
  button->SetIndex(0);
  button->SetPressNotify(0);
  button->Prepare();
  button->SetCaptionFont(12, QStringLiteral("Verdana"), QColor(0, 0, 0), 0, QColor(180, 180, 180));
  button->SetBackdrop(QColor(255, 255, 255), 100, QColor(80, 120, 150), 40);
  const QRect bar = progressBar_->geometry();
  const QRect l = memoryView_->geometry();
  button->window->setGeometry(FromEdges(l.left(), bar.top(), bar.left(), bar.top() + bar.height()));
  button->window->hide();
}

bool CBootloader::ViewFillerRunning() const {
  return viewFiller_ != nullptr && viewFiller_->Running();
}

void CBootloader::RunCommand(int command) {
  switch (command) {
  case firmware::kCmdOpenProgramFile:
    OpenImageFile(ImageKind::Program);
    break;
  case firmware::kCmdOpenDataFile:
    OpenImageFile(ImageKind::Data);
    break;
  case firmware::kCmdExit:
    // Destroyed directly, without a close request.
    Shutdown();
    hide();
    deleteLater();
    break;
  case firmware::kCmdWriteProgram:
    StartWrite(ImageKind::Program);
    break;
  case firmware::kCmdWriteData:
    StartWrite(ImageKind::Data);
    break;
  case firmware::kCmdReadProgram:
    StartRead(ImageKind::Program);
    break;
  case firmware::kCmdReadData:
    StartRead(ImageKind::Data);
    break;
  case firmware::kCmdJumpBoot:
    EnterBootloader();
    break;
  case firmware::kCmdJumpApplication:
    protocol_.JumpToApplication();
    break;
  case firmware::kCmdSaveProgramFile:
    SaveImageFile(ImageKind::Program);
    break;
  case firmware::kCmdSaveDataFile:
    SaveImageFile(ImageKind::Data);
    break;
  default:
    // Erase and Bootloader Lock have no protocol: they do nothing.
    break;
  }
}

LResult CBootloader::OnCommand(WParam wParam, LParam) {
  if (!shutDown_) {
    RunCommand(int(LowWord(wParam)));
  }
  return 0;
}

LResult CBootloader::OnBootData(WParam wParam, LParam lParam) {
  if (wParam != 0 && lParam > 0) {
    protocol_.OnBootData(reinterpret_cast<const std::uint8_t*>(wParam), std::size_t(lParam));
  }
  return 0;
}

LResult CBootloader::OnBootIdentify(WParam, LParam) {
  protocol_.StartIdentify();
  return 0;
}

LResult CBootloader::OnButtonClicked(WParam wParam, LParam) {
  if (wParam != 0 && *reinterpret_cast<const std::int32_t*>(wParam) == 0) {
    protocol_.Cancel();
  }
  return 0;
}

void CBootloader::onTimer(int id) {
  if (id == firmware::kBlockTimerId) {
    protocol_.OnTimerTick();
  }
}

void CBootloader::EnterBootloader() {
  // The pause after the entry frame lets the controller's application hand over to its
  // bootloader; whatever arrives meanwhile is dropped. The window stays responsive, but reads
  // and writes wait for the pause to end, as they would have behind a frozen window.
  protocol_.BeginEntry();
  entryPause_.start();
}

void CBootloader::LineLost() {
  if (!shutDown_) {
    protocol_.LineLost();
  }
}

void CBootloader::PortReopened() {
  if (!shutDown_) {
    protocol_.PortReopened();
  }
}

void CBootloader::StartWrite(ImageKind kind) {
  if (!entryPause_.isActive()) {
    (void)protocol_.StartWrite(kind);
  }
}

void CBootloader::StartRead(ImageKind kind) {
  if (!entryPause_.isActive()) {
    (void)protocol_.StartRead(kind);
  }
}

// --- Closing ---

void CBootloader::closeEvent(QCloseEvent* event) {
  Shutdown();
  Dialog::closeEvent(event);
}

void CBootloader::reject() {
  Shutdown();
  Dialog::reject();
}

void CBootloader::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  Dialog::keyPressEvent(event);
}

void CBootloader::Shutdown() {
  if (shutDown_) {
    return;
  }
  shutDown_ = true;
  entryPause_.stop();
  // Ends a transfer, releases a writer waiting for its acknowledgement and a poller waiting for
  // the device, and joins them; neither waits for this thread.
  protocol_.Close();
  killTimer(firmware::kBlockTimerId);
  if (viewFiller_ != nullptr) {
    viewFiller_->Stop();
  }
  ShowTransfer(false);
  TellHostClosed();
}

// --- BootloaderEvents ---

void CBootloader::TargetChanged(const firmware::TargetPanel::Values& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    labels_[7 + i]->SetCaption(QString::fromStdString(values[i]));
  }
}

void CBootloader::ShowTransfer(bool shown) {
  progressBar_->setVisible(shown);
  statusLine_->setVisible(!shown && !statusLine_->text().isEmpty());
  if (cancelButton_ != nullptr) {
    cancelButton_->window->setVisible(shown);
  }
}

void CBootloader::SetProgressRange(std::int32_t maximum) {
  progressBar_->setRange(0, std::max(maximum, 0));
}

void CBootloader::SetProgressPosition(std::int32_t position) {
  progressBar_->setValue(std::clamp(position, progressBar_->minimum(), progressBar_->maximum()));
}

void CBootloader::StartBlockTimer() {
  if (!shutDown_) {
    setTimer(firmware::kBlockTimerId, int(firmware::kBlockTimerPeriod.count()));
  }
}

void CBootloader::StopBlockTimer() {
  killTimer(firmware::kBlockTimerId);
}

void CBootloader::ImageRead() {
  viewFiller_->Refresh();
}

void CBootloader::TransferEnded(const firmware::TransferOutcome& outcome) {
  ShowOutcome(outcome);
}

} // namespace lamp
