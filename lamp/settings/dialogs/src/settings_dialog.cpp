#include "settings_dialogs/settings_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <cstdint>
#include <knoblet/button_object.h>
#include <lamp_res/art_files.h>
#include <wndmsg/messages.h>

#include "controls/caption_label.h"
#include "controls/control_factory.h"
#include "controls/text_label.h"
#include "platform/dialog_shell.h"

namespace lamp {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kCaptionBlue(42, 116, 179);
constexpr int kLabelId = 20000;
constexpr int kGradientBase = 205;

// MulDiv: a * b / c rounded half away from zero, without overflow.
int MulDiv(int a, int b, int c) {
  if (c == 0) {
    return -1;
  }
  const std::int64_t product = std::int64_t{a} * b;
  const std::int64_t half = (c < 0 ? -std::int64_t{c} : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const std::int64_t magnitude = (product < 0 ? -product : product) + half;
  const std::int64_t quotient = magnitude / (c < 0 ? -std::int64_t{c} : c);
  return static_cast<int>(negative ? -quotient : quotient);
}

int GradientChannel(int y, int height, int base) {
  return (250 - MulDiv(y, 255 - base, 2 * height)) & 0xFF;
}

} // namespace

QColor GradientRowColour(int y, int height, const QColor& base) {
  return QColor(GradientChannel(y, height, base.red()), GradientChannel(y, height, base.green()),
                GradientChannel(y, height, base.blue()));
}

SettingsDialog::SettingsDialog(PanelHost& host, OptionDialog which, QWidget* parent,
                               const Template& form, Background background)
    : Dialog(parent), host_(host), ownerLife_(parent), which_(which), background_(background) {
  const DialogUnits units = ShapeDialog(*this, {.title = form.caption,
                                                .face = QStringLiteral("Verdana"),
                                                .points = 8,
                                                .minimiseBox = form.minimiseBox,
                                                .deleteOnClose = true});
  FixTemplateSize(*this, units, form.units);
  if (form.centred) {
    if (const QScreen* screen = QApplication::primaryScreen()) {
      QRect frame(QPoint(), size());
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  } else if (parent != nullptr) {
    // A dialog that is not centred stands at its template position, which counts from the top
    // left of the owner's client area; Qt would centre it over the owner.
    move(parent->mapToGlobal(QPoint(0, 0)));
  }
  onMessage(wndmsg::WM_BUTTON_CLICKED, &SettingsDialog::OnButtonClicked);
}

SettingsDialog::~SettingsDialog() {
  if (ClosedWithHostAlive()) {
    host_.DialogClosed(which_);
  }
}

bool SettingsDialog::ClosedWithHostAlive() const {
  return closed_ && ownerLife_.alive();
}

QRect SettingsDialog::UnitsRect(int x, int y, int width, int height) const {
  return DialogUnits(font()).rect(x, y, width, height);
}

knoblet::ButtonObject* SettingsDialog::MakeButton(const QString& caption, const QRect& provisional,
                                                  int id, int index, const QPixmap& up,
                                                  const QPixmap& down, const ButtonLook& look) {
  knoblet::ButtonObject* button = host_.Controls().MakeButton();
  if (button == nullptr) {
    return nullptr;
  }
  button->Create(caption, knoblet::kStyleChild | knoblet::kStyleVisible | knoblet::kStyleCentred,
                 provisional, this, id);
  button->SetIndex(index);
  button->SetPressNotify(0);
  button->Prepare();
  button->SetCaptionFont(look.points, QStringLiteral("Verdana"), QColor(0, 0, 0), 0,
                         look.focusColour);
  button->SetIcons(up, down);
  button->SetBackdrop(kWhite, 100, look.accent, look.accentStrength);
  return button;
}

TextLabel* SettingsDialog::MakeLabel(const QString& caption, std::uint32_t style, int points,
                                     const QRect& rect) {
  TextLabel* label =
      MakeCaptionLabel(*this, kLabelId, style, caption, {.emboss = kCaptionBlue, .points = points});
  label->setGeometry(rect);
  label->update();
  return label;
}

QRadioButton* SettingsDialog::MakeRadio(const QString& text, const QRect& rect) {
  auto* radio = new QRadioButton(text, this);
  radio->setGeometry(rect);
  radio->setStyleSheet(QStringLiteral("QRadioButton { background: white; color: black; }"));
  return radio;
}

void SettingsDialog::MakeReadWriteButtons(const QRect& read, const QRect& write) {
  const std::vector<QPixmap> images = lamp_res::CutStrip(lamp_res::kReadWrite);
  const auto image = [&images](std::size_t i) { return i < images.size() ? images[i] : QPixmap(); };
  const QRect provisional(QPoint(110, 270), QPoint(189, 301));
  const QRect places[2] = {read, write};
  const QString captions[2] = {QStringLiteral("Read"), QStringLiteral("Write")};
  for (int i = 0; i < 2; ++i) {
    const auto n = static_cast<std::size_t>(i);
    knoblet::ButtonObject* button =
        MakeButton(captions[i], provisional, 11000, i, image(2 * n + 1), image(2 * n), {});
    if (button != nullptr && button->window != nullptr) {
      button->window->setGeometry(places[i]);
    }
  }
}

void SettingsDialog::CloseDialog() {
  if (closed_) {
    return;
  }
  closed_ = true;
  host_.DialogClosed(which_);
  close();
}

void SettingsDialog::reject() {
  if (closed_) {
    return;
  }
  OnEscape();
  CloseDialog();
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    OnCloseBox();
    closed_ = true;
    host_.DialogClosed(which_);
  }
  event->accept();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  Dialog::keyPressEvent(event);
}

void SettingsDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (background_ == Background::Plain) {
    painter.fillRect(rect(), kPlainGround);
    return;
  }
  // The gradient runs over the height of the whole window, frame included, drawn in client
  // coordinates from the top.
  const QRect frame = frameGeometry();
  const int height = frame.height() > 0 ? frame.height() : this->height();
  const int width = std::max(frame.width(), this->width());
  const QColor base(kGradientBase, kGradientBase, kGradientBase);
  for (int y = 0; y < height; ++y) {
    painter.fillRect(0, y, width, 1, GradientRowColour(y, height, base));
  }
}

void SettingsDialog::showEvent(QShowEvent* event) {
  Dialog::showEvent(event);
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
}

LResult SettingsDialog::OnButtonClicked(WParam wParam, LParam) {
  if (wParam != 0) {
    OnButton(*reinterpret_cast<const std::int32_t*>(wParam));
  }
  return 0;
}

} // namespace lamp
