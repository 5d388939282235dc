#include "app/panel.h"

#include <QRegularExpressionValidator>
#include <wndmsg/messages.h>

#include "controls/caption_label.h"
#include "controls/control_factory.h"
#include "controls/image_static.h"
#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "lamp_res/art_files.h"
#include "platform/dialog_units.h"
#include "platform/log_font.h"

namespace lamp {

namespace {

constexpr int kDisplayId = 0xFFFF;
constexpr int kButtonIdBase = 6000;
constexpr int kLabelId = 20000;
constexpr int kEditorFontCellHeight = 60;
constexpr int kEditorLength = 4;

const QColor kOrange(248, 168, 97);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kUnlit(150, 150, 150);
const QColor kLabelBlue(42, 116, 179);

QPixmap Cell(const std::vector<QPixmap>& cells, std::size_t index) {
  return index < cells.size() ? cells[index] : QPixmap();
}

QRect ToQRect(const PixelRect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

std::size_t At(int index) {
  return static_cast<std::size_t>(index);
}

} // namespace

Panel::Panel(QWidget& window, MachineState& state, const OptionDialogs& dialogs)
    : window_(window), state_(state), dialogs_(dialogs) {}

void Panel::MakeTemplateControls(const DialogUnits& units) {
  auto picture = [&](int id, int left, int top, int width, int height) {
    auto* control = new CImageStatic();
    control->Create(WS_VISIBLE, units.rect(left, top, width, height), &window_, id);
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
  editor_ = new CMyEdit(&window_);
  editor_->setControlId(1010);
  editor_->setGeometry(units.rect(16, 49, 96, 13));
  editor_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  editor_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), editor_));
  editor_->hide();
}

void Panel::LayoutHeader() {
  const HeaderLayout header = lamp::LayoutHeader(Width(), window_.height());
  MoveTo(logo_, header.logo);
  SetImage(logo_, QStringLiteral("img_logo.bmp"));
  MoveTo(productName_, header.productName);
  SetImage(productName_, QStringLiteral("img_name.bmp"));
  MoveTo(firstLine_, header.firstLine);
  SetImage(firstLine_, QStringLiteral("img_line.bmp"));
  SetImage(cursorMarker_, QStringLiteral("img_cursor.bmp"));
}

void Panel::MakeDisplays(ControlFactory& controls) {
  for (int i = 0; i < kDisplayCount; ++i) {
    segmenta::DigitDisplay* display = controls.MakeDisplay();
    if (display == nullptr) {
      continue;
    }
    displays_[At(i)] = display;
    display->Create(QString(),
                    segmenta::kStyleChild | segmenta::kStyleVisible | segmenta::kStyleSunken |
                        segmenta::kStyleNotify,
                    QRect(0, 0, 300, 100), &window_, kDisplayId);
    display->SetDigitColours(kOrange, kBlack, kUnlit);
    display->SetColourA(kWhite);
    display->SetColourB(kWhite);
    display->SetRange(0, kHighestLevel);
    display->SetFormat(QStringLiteral("%04d"));
    display->SetAltFormat(0, 0, QStringLiteral("%.3d"));
    display->SetOption(10);
    display->SetIndex(i);
  }

  const int firstLineBottom = RectOf(firstLine_).bottom;
  for (int i = 0; i < kDisplayCount; ++i) {
    if (!HasDisplay(i)) {
      continue;
    }
    const PixelRect rect = DisplayRect(Width(), firstLineBottom, i);
    MoveTo(displays_[At(i)]->window, rect);
    MoveTo(percentSigns_[At(i)], PercentRect(rect));
    SetImage(percentSigns_[At(i)], QStringLiteral("img_precent.bmp"));
  }
  if (HasDisplay(3)) {
    const PixelRect last = RectOf(displays_[3]->window);
    MoveTo(secondLine_, SecondLineRect(Width(), last));
    SetImage(secondLine_, QStringLiteral("img_line.bmp"));
    MoveTo(cursorMarker_, InitialCursorRect(last, 0));
  }
}

void Panel::MakeButtons(ControlFactory& controls) {
  lampImages_ = lamp_res::CutStrip(lamp_res::kLampButtons);
  userImages_ = lamp_res::CutStrip(lamp_res::kUserButtons);
  const std::vector<QPixmap> arrows = lamp_res::CutStrip(lamp_res::kArrows);
  const std::vector<QPixmap> commands = lamp_res::CutStrip(lamp_res::kCommands);
  const int firstLineBottom = RectOf(firstLine_).bottom;

  auto create = [&](int i, const QString& caption, unsigned kind) -> knoblet::ButtonObject* {
    knoblet::ButtonObject* button = controls.MakeButton();
    if (button == nullptr) {
      return nullptr;
    }
    buttons_[At(i)] = button;
    button->Create(caption, knoblet::kStyleChild | knoblet::kStyleVisible | kind,
                   QRect(0, 0, 100, 100), &window_, kButtonIdBase + i);
    return button;
  };

  for (int i = 0; i < kLampButtonCount; ++i) {
    knoblet::ButtonObject* button = create(i, QString(), knoblet::kStyleTwoState);
    if (button == nullptr) {
      continue;
    }
    button->SetIcons(Cell(lampImages_, At(2 * i)), Cell(lampImages_, At(2 * i + 1)));
    button->SetPressNotify(1);
    button->Prepare();
    button->SetIndex(i);
    MoveTo(button->window, LampButtonRect(Width(), firstLineBottom, i));
  }

  for (int i = kLeftButton; i <= kDownButton; ++i) {
    knoblet::ButtonObject* button = create(i, QString(), knoblet::kStylePush);
    if (button == nullptr) {
      continue;
    }
    const auto k = At(i - kLeftButton);
    button->SetIcons(Cell(arrows, 2 * k + 1), Cell(arrows, 2 * k));
    button->SetPressNotify(1);
    button->Prepare();
    button->SetIndex(i);
  }
  if (HasDisplay(3)) {
    const PixelRect last = RectOf(displays_[3]->window);
    for (int i = kLeftButton; i <= kDownButton; ++i) {
      if (HasButton(i)) {
        MoveTo(buttons_[At(i)]->window, ArrowButtonRect(last, i - kLeftButton));
      }
    }
  }

  const QString captions[] = {QStringLiteral("AUTO"), QStringLiteral("ON"), QStringLiteral("RESET"),
                              QStringLiteral("OPTION")};
  for (int i = kAutoButton; i <= kOptionButton; ++i) {
    const auto k = At(i - kAutoButton);
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
      MoveTo(buttons_[At(i)]->window, CommandButtonRect(Width(), secondLine, i - kAutoButton));
    }
  }
}

void Panel::PlacePictures() {
  SetImage(cursorMarker_, QStringLiteral("img_cursor.bmp"));
  SetImage(thermometer_, QStringLiteral("img_thermometer.bmp"));
  SetImage(fanPicture_, QStringLiteral("img_fan1.bmp"));
  const PixelRect secondLine = RectOf(secondLine_);
  MoveTo(thermometer_, ThermometerRect(secondLine));
  MoveTo(fanPicture_, FanRect(secondLine));
}

TextLabel* Panel::MakeLabel(const QString& text) {
  return MakeCaptionLabel(window_, kLabelId, SS_CENTER | SS_CENTERIMAGE, text,
                          {.emboss = kLabelBlue, .points = 14});
}

void Panel::MakeLabels() {
  temperatureLabel_ = MakeLabel(QStringLiteral("25\u2103"));
  MoveTo(temperatureLabel_, LabelBeside(RectOf(thermometer_)));
  fanLabel_ = MakeLabel(QStringLiteral("OFF"));
  MoveTo(fanLabel_, LabelBeside(RectOf(fanPicture_)));
}

void Panel::MakeEditor() {
  editor_->setMaxLength(kEditorLength);
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

void Panel::MakeStatusLabel() {
  statusLabel_ = MakeLabel(QStringLiteral("AA BB CC"));
  if (HasButton(kAutoButton)) {
    MoveTo(statusLabel_,
           StatusLabelRect(RectOf(buttons_[kAutoButton]->window), Width(), window_.height()));
  }
  statusLabel_->hide();
}

bool Panel::HasButton(int index) const {
  return index >= 0 && index < kPanelButtonCount && buttons_[At(index)] != nullptr &&
         buttons_[At(index)]->window != nullptr;
}

bool Panel::HasDisplay(int index) const {
  return index >= 0 && index < kDisplayCount && displays_[At(index)] != nullptr &&
         displays_[At(index)]->window != nullptr;
}

knoblet::ButtonObject* Panel::Button(int index) const {
  return HasButton(index) ? buttons_[At(index)] : nullptr;
}

segmenta::DigitDisplay* Panel::Display(int index) const {
  return HasDisplay(index) ? displays_[At(index)] : nullptr;
}

std::int32_t Panel::ButtonState(int index) const {
  return HasButton(index) ? buttons_[At(index)]->state.load() : 0;
}

void Panel::SetButtonText(int index, const char* caption) {
  if (HasButton(index)) {
    buttons_[At(index)]->window->setText(QString::fromLatin1(caption));
  }
}

void Panel::SendToButton(int index, unsigned msg) {
  if (HasButton(index)) {
    buttons_[At(index)]->target->SendMsg(msg, 0, 0);
  }
}

void Panel::ShowResetPress() {
  SendToButton(kResetButton, wndmsg::WM_SETFOCUS);
  SendToButton(kResetButton, wndmsg::WM_MOUSEMOVE);
  SendToButton(kResetButton, wndmsg::WM_BUTTON_PRESS);
  SendToButton(kResetButton, wndmsg::WM_KILLFOCUS);
}

void Panel::MoveCursors(bool left) {
  for (int i = 0; i < kDisplayCount; ++i) {
    if (HasDisplay(i)) {
      segmenta::DigitDisplay* display = displays_[At(i)];
      (void)(left ? display->CursorLeft() : display->CursorRight());
    }
  }
}

void Panel::StepDisplays(const std::array<bool, kDisplayCount>& chosen, bool up) {
  for (int i = 0; i < kDisplayCount; ++i) {
    if (chosen[At(i)] && HasDisplay(i)) {
      segmenta::DigitDisplay* display = displays_[At(i)];
      (void)(up ? display->StepUp() : display->StepDown());
    }
  }
}

void Panel::SetDisplayColours(int index, bool highlighted) {
  if (!HasDisplay(index)) {
    return;
  }
  segmenta::DigitDisplay* display = displays_[At(index)];
  display->SetDigitColours(highlighted ? kWhite : kOrange, kBlack, kUnlit);
  display->SetColourA(highlighted ? kOrange : kWhite);
  display->SetColourB(highlighted ? kOrange : kWhite);
}

void Panel::DrawUserSelector() {
  state_.syncingButtons.store(true);
  for (int n = 0; n < kLampButtonCount; ++n) {
    PressButton(n, 0);
  }
  if (const std::optional<int> chosen = ChosenUserLamp(state_.userLampMask.load())) {
    PressButton(*chosen, 1);
  }
  state_.syncingButtons.store(false);
}

std::string Panel::FanCaption() const {
  return fanLabel_ != nullptr ? fanLabel_->GetCaption().toStdString() : std::string();
}

void Panel::AnimateFan() {
  SetImage(fanPicture_, QString::fromStdString(FanPictureFile(fanFrame_)));
  fanFrame_ = NextFanFrame(fanFrame_);
}

std::string Panel::StatusCaption() const {
  return statusLabel_ != nullptr ? statusLabel_->GetCaption().toStdString() : std::string();
}

bool Panel::EditorOpen() const {
  return editor_->isVisible();
}

void Panel::OpenLevelEditor(int index) {
  if (!HasDisplay(index)) {
    return;
  }
  state_.editIndex.store(index);
  segmenta::DigitDisplay* display = displays_[At(index)];
  const QRect rect = display->window->geometry();
  display->window->hide();
  QString text = display->GetText();
  text.remove(QLatin1Char(' '));
  editor_->setGeometry(rect);
  editor_->setText(text);
  editor_->show();
  editor_->setFocus();
  editor_->selectAll();
}

std::string Panel::EditorText() const {
  return editor_->text().toStdString();
}

std::int32_t Panel::Level(int lamp) const {
  return HasDisplay(lamp) ? displays_[At(lamp)]->level.load() : 0;
}

std::int32_t Panel::CursorDigit(int lamp) const {
  return HasDisplay(lamp) ? displays_[At(lamp)]->cursorDigit.load() : 0;
}

std::int32_t Panel::OnOffState() const {
  return ButtonState(kOnOffButton);
}

const DialogData* Panel::OpenDialog(SetupDialog which) const {
  return dialogs_.OpenedAs<const DialogData>(OptionOf(which));
}

ReplyDialog* Panel::OpenReplyDialog(SetupDialog which) {
  return dialogs_.OpenedAs<ReplyDialog>(OptionOf(which));
}

void Panel::RefreshLampButtons() {
  const LampButtonsLook look = LookOfLampButtons(state_);
  const std::vector<QPixmap>& images = look.userMode ? userImages_ : lampImages_;
  for (int n = 0; n < kLampButtonCount; ++n) {
    if (!HasButton(n)) {
      continue;
    }
    buttons_[At(n)]->SetIcons(Cell(images, At(2 * n)), Cell(images, At(2 * n + 1)));
    state_.syncingButtons.store(true);
    if (look.userMode) {
      RepaintButton(n, look.buttonState[At(n)]);
    } else {
      PressButton(n, look.buttonState[At(n)]);
    }
    state_.syncingButtons.store(false);
  }
  if (!look.highlighted) {
    return;
  }
  for (int n = 0; n < kDisplayCount; ++n) {
    if (HasDisplay(n)) {
      SetDisplayColours(n, (*look.highlighted)[At(n)]);
      displays_[At(n)]->Redraw();
    }
  }
}

void Panel::EndLevelEdit() {
  if (!editor_->isVisible()) {
    return;
  }
  editor_->hide();
  const int index = state_.editIndex.load();
  if (HasDisplay(index)) {
    displays_[At(index)]->window->show();
  }
}

void Panel::ShowLevel(int lamp, std::int32_t level) {
  if (HasDisplay(lamp)) {
    segmenta::DigitDisplay* display = displays_[At(lamp)];
    display->level.store(level);
    display->ShowLevel();
  }
}

void Panel::SetCursorDigits(std::int32_t digit) {
  for (int i = 0; i < kDisplayCount; ++i) {
    if (HasDisplay(i)) {
      displays_[At(i)]->cursorDigit.store(digit);
      displays_[At(i)]->Redraw();
    }
  }
}

void Panel::PlaceCursorMarker() {
  if (!HasDisplay(3)) {
    return;
  }
  segmenta::DigitDisplay* last = displays_[3];
  MoveTo(cursorMarker_, CursorRect(RectOf(last->window), last->GetCursorDigit()));
}

void Panel::SetTemperatureText(const std::string& text) {
  if (temperatureLabel_ != nullptr) {
    temperatureLabel_->SetCaption(QString::fromStdString(text));
  }
}

void Panel::SetFanText(const std::string& text) {
  if (fanLabel_ != nullptr) {
    fanLabel_->SetCaption(QString::fromStdString(text));
  }
}

void Panel::PressButton(int index, std::int32_t state) {
  if (HasButton(index)) {
    buttons_[At(index)]->state.store(state);
    SendToButton(index, wndmsg::WM_BUTTON_PRESS);
  }
}

void Panel::RepaintButton(int index, std::int32_t state) {
  if (HasButton(index)) {
    buttons_[At(index)]->state.store(state);
    SendToButton(index, wndmsg::WM_SETFOCUS);
    SendToButton(index, wndmsg::WM_MOUSEMOVE);
  }
}

void Panel::SetButtonCaption(int index, const std::string& caption) {
  if (HasButton(index)) {
    buttons_[At(index)]->window->setText(QString::fromStdString(caption));
  }
}

void Panel::ShowStatusLabel(bool visible) {
  if (statusLabel_ != nullptr) {
    statusLabel_->setVisible(visible);
  }
}

void Panel::SetStatusText(const std::string& text) {
  if (statusLabel_ != nullptr) {
    statusLabel_->SetCaption(QString::fromStdString(text));
  }
}

PixelRect Panel::RectOf(const QWidget* widget) const {
  const QRect r = widget->geometry();
  return RectAt(r.x(), r.y(), r.width(), r.height());
}

void Panel::MoveTo(QWidget* widget, const PixelRect& rect) {
  if (widget != nullptr) {
    widget->setGeometry(ToQRect(rect));
  }
}

void Panel::SetImage(CImageStatic* picture, const QString& name) {
  if (picture != nullptr) {
    picture->SetImageFile(lamp_res::ArtworkPath(name));
  }
}

int Panel::Width() const {
  return window_.width();
}

} // namespace lamp
