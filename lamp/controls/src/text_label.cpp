#include "controls/text_label.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "controls/window_styles.h"
#include "platform/gui_calls.h"
#include "platform/notify.h"
#include "platform/shell.h"

namespace lamp {
namespace {

constexpr int kHeavyWeight = 700;
constexpr int kNormalWeight = 400;
const QColor kFrameColour(0, 0, 0);
const QColor kEdgeShadow(160, 160, 160);
const QColor kEdgeHighlight(255, 255, 255);

} // namespace

TextLabel::TextLabel() {
  textColour_ = palette().color(QPalette::WindowText);
  defaultFill_ = palette().color(QPalette::Button);
  // A static control without the notify style lets clicks through to its parent.
  setAttribute(Qt::WA_TransparentForMouseEvents, true);
  description_ = LogFontFromFont(font());
  RebuildFont();
}

TextLabel::~TextLabel() = default;

bool TextLabel::Create(const QString& text, std::uint32_t style, const QRect& rect, QWidget* parent,
                       int id) {
  if (created_ || parent == nullptr) {
    return false;
  }
  style_ = style;
  setParent(parent);
  setControlId(id);
  setGeometry(rect);
  setWindowTitle(text);
  description_ = LogFontFromFont(parent->font());
  RebuildFont();
  UpdateFrame();
  setAttribute(Qt::WA_TransparentForMouseEvents, (style_ & SS_NOTIFY) == 0);
  created_ = true;
  setVisible((style & WS_VISIBLE) != 0);
  return true;
}

TextLabel& TextLabel::SetFill(const QColor& colour, const QColor& endColour, bool gradient) {
  background_ = colour;
  gradientEnd_ = endColour;
  gradient_ = gradient;
  ownFill_.reset();
  if (!gradient) {
    ownFill_ = colour;
  }
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetInkColour(const QColor& colour) {
  textColour_ = colour;
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetCaption(const QString& text) {
  if (!IsGuiThread()) {
    (void)callOnGui([&] { SetCaption(text); });
    return *this;
  }
  // The status poll sets the same texts twice a second: an unchanged caption is not drawn again.
  if (created_ && text != windowTitle()) {
    setWindowTitle(text);
    Redraw();
  }
  return *this;
}

QString TextLabel::GetCaption() const {
  if (!IsGuiThread()) {
    QString text;
    (void)const_cast<TextLabel*>(this)->callOnGui([&] { text = GetCaption(); });
    return text;
  }
  return created_ ? windowTitle() : QString();
}

TextLabel& TextLabel::SetHeavy(bool heavy) {
  description_.weight = heavy ? kHeavyWeight : kNormalWeight;
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetTypeface(const QString& face, std::uint8_t charSet) {
  description_.charSet = charSet;
  description_.faceName = face.left(kFaceNameLimit);
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetUnderlined(bool underlined) {
  description_.underline = underlined ? 1 : 0;
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetSlanted(bool slanted) {
  description_.italic = slanted ? 1 : 0;
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetPoints(int points) {
  // A point-size font of the current face keeps only its height; its width is the face's own.
  description_.height = PointsToHeight(points);
  description_.width = 0;
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetEdge(bool edge) {
  staticEdge_ = edge;
  UpdateFrame();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetFramed(bool framed) {
  style_ = framed ? (style_ | WS_BORDER) : (style_ & ~WS_BORDER);
  UpdateFrame();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetSeeThrough(bool seeThrough) {
  transparent_ = seeThrough;
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetBlinkText(bool blink) {
  StopFlashTimer();
  if (blink) {
    StartFlash(FlashMode::Text);
  } else {
    flashMode_ = FlashMode::None;
    // Stopped in its hidden phase, the text would otherwise stay hidden until something else
    // repaints the label.
    Redraw();
  }
  return *this;
}

TextLabel& TextLabel::SetBlinkFill(bool blink) {
  StopFlashTimer();
  if (blink) {
    StartFlash(FlashMode::Fill);
  }
  return *this;
}

void TextLabel::StopFlashTimer() {
  if (flashTimerRunning_) {
    killTimer(kFlashTimer);
    flashTimerRunning_ = false;
  }
}

void TextLabel::StartFlash(FlashMode mode) {
  flashPhase_ = 0;
  flashTimerRunning_ = true;
  setTimer(kFlashTimer, kFlashPeriodMs);
  flashMode_ = mode;
  Redraw();
}

TextLabel& TextLabel::SetWebLink(bool link, bool notifyOnClick) {
  SetLink(link ? LinkKind::Web : LinkKind::None, notifyOnClick);
  return *this;
}

TextLabel& TextLabel::SetMailAddressLink(bool link, bool notifyOnClick) {
  SetLink(link ? LinkKind::Mail : LinkKind::None, notifyOnClick);
  return *this;
}

void TextLabel::SetLink(LinkKind kind, bool notifyOnClick) {
  linkKind_ = kind;
  notifyOnClick_ = notifyOnClick;
  style_ = kind != LinkKind::None ? (style_ | SS_NOTIFY) : (style_ & ~SS_NOTIFY);
  setAttribute(Qt::WA_TransparentForMouseEvents, (style_ & SS_NOTIFY) == 0);
}

TextLabel& TextLabel::SetHoverCursor(const QCursor& cursor) {
  linkCursor_ = cursor;
  setCursor(cursor);
  return *this;
}

TextLabel& TextLabel::SetEmbossed(bool embossed, bool inward) {
  embossed_ = embossed;
  inward_ = inward;
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetAngle(int degrees, bool rotated) {
  description_.escapement = degrees * 10;
  description_.orientation = degrees * 10;
  rotated_ = rotated;
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetEmbossColour(const QColor& colour) {
  embossColour_ = colour;
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetFontDescription(const LogFont& description) {
  description_ = description;
  description_.faceName = description.faceName.left(kFaceNameLimit);
  RebuildFont();
  Redraw();
  return *this;
}

TextLabel& TextLabel::SetLinkAddress(const QString& address) {
  linkAddress_ = address;
  return *this;
}

void TextLabel::onTimer(int id) {
  if (id == kFlashTimer) {
    flashPhase_ ^= 1;
    Redraw();
  }
}

void TextLabel::Redraw() {
  if (!created_) {
    return;
  }
  update();
  // A see-through label shows its parent: the parent has to paint that area again too.
  if (QWidget* parent = parentWidget()) {
    parent->update(geometry());
  }
}

void TextLabel::RebuildFont() {
  font_ = FontFromLogFont(description_);
}

void TextLabel::UpdateFrame() {
  const int margin = ((style_ & WS_BORDER) != 0 ? 1 : 0) + (staticEdge_ ? 1 : 0);
  setContentsMargins(margin, margin, margin, margin);
}

QRect TextLabel::ClientRect() const {
  return contentsRect();
}

void TextLabel::paintEvent(QPaintEvent*) {
  QPainter window(this);
  QRect frame = rect();
  if ((style_ & WS_BORDER) != 0) {
    window.setPen(kFrameColour);
    window.drawRect(frame.adjusted(0, 0, -1, -1));
    frame.adjust(1, 1, -1, -1);
  }
  if (staticEdge_) {
    window.setPen(kEdgeShadow);
    window.drawLine(frame.topLeft(), frame.topRight());
    window.drawLine(frame.topLeft(), frame.bottomLeft());
    window.setPen(kEdgeHighlight);
    window.drawLine(frame.bottomLeft(), frame.bottomRight());
    window.drawLine(frame.topRight(), frame.bottomRight());
  }
  const QRect client = ClientRect();
  if (client.isEmpty()) {
    return;
  }
  const QRect local(QPoint(0, 0), client.size());
  if (transparent_) {
    window.translate(client.topLeft());
    window.setClipRect(local);
    PaintContent(window, local);
    return;
  }
  // Drawn off-screen and copied in one go, so the label never flickers through its layers.
  const qreal ratio = devicePixelRatioF();
  QPixmap offScreen(client.size() * ratio);
  offScreen.setDevicePixelRatio(ratio);
  {
    QPainter painter(&offScreen);
    PaintContent(painter, local);
  }
  window.drawPixmap(client.topLeft(), offScreen);
}

void TextLabel::PaintContent(QPainter& painter, const QRect& client) {
  painter.setFont(font_);
  if (!transparent_) {
    if (gradient_) {
      PaintGradient(painter, client);
    } else {
      painter.fillRect(client, ownFill_.value_or(defaultFill_));
    }
  }
  QColor ink = textColour_;
  if (flashMode_ == FlashMode::Text && flashPhase_ == 0) {
    ink = ownFill_.value_or(QColor(0, 0, 0));
  }

  QString text = windowTitle();
  int flags = 0;
  switch (style_ & SS_TYPEMASK) {
  case SS_CENTER:
    flags = Qt::AlignHCenter | Qt::TextWordWrap;
    break;
  case SS_RIGHT:
    flags = Qt::AlignRight | Qt::TextWordWrap;
    break;
  case SS_LEFTNOWORDWRAP:
    flags = Qt::AlignLeft;
    break;
  default:
    flags = Qt::AlignLeft | Qt::TextWordWrap;
    break;
  }
  if (text.contains(QLatin1Char('\t'))) {
    flags |= Qt::TextExpandTabs;
  }
  flags |= Qt::AlignTop;
  if ((style_ & SS_CENTERIMAGE) != 0) {
    flags = Qt::AlignHCenter | Qt::AlignTop;
    if (!text.contains(QStringLiteral("\r\n"))) {
      flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    }
  }
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

  painter.setPen(ink);
  if (!rotated_) {
    painter.drawText(client, flags, text);
    if (embossed_) {
      painter.setPen(embossColour_);
      const int shift = inward_ ? 1 : -1;
      painter.drawText(client.translated(shift, shift), flags, text);
    }
    return;
  }
  // Rotated text starts at the centre on its baseline and turns with the font's escapement.
  painter.save();
  painter.translate(client.left() + client.width() / 2, client.top() + client.height() / 2);
  painter.rotate(-description_.escapement / 10.0);
  painter.drawText(QPoint(0, 0), text);
  painter.restore();
}

void TextLabel::PaintGradient(QPainter& painter, const QRect& client) const {
  const int width = client.width();
  const int bands = std::min(kGradientBands, width);
  const int divisions = std::max(bands, 1);
  // Each part steps separately in 1/256 fixed point, as the label always stepped it.
  int red = background_.red() * 256;
  int green = background_.green() * 256;
  int blue = background_.blue() * 256;
  const int redStep = (gradientEnd_.red() - background_.red()) * 256 / divisions;
  const int greenStep = (gradientEnd_.green() - background_.green()) * 256 / divisions;
  const int blueStep = (gradientEnd_.blue() - background_.blue()) * 256 / divisions;
  const int bandWidth = width / divisions;
  const int rightEdge = client.left() + width; // exclusive
  int left = client.left();
  for (int band = 0; band < bands; ++band) {
    const int right = band == bands - 1 ? rightEdge : left + bandWidth;
    // One pixel wider than the band, so no seam shows between bands.
    painter.fillRect(QRect(left, client.top(), right - left + 1, client.height()),
                     QColor(red / 256, green / 256, blue / 256));
    left = right;
    red += redStep;
    green += greenStep;
    blue += blueStep;
  }
}

void TextLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    if (notifyOnClick_) {
      NotifyHeader header{this, static_cast<std::uintptr_t>(controlId()), kClickedCode};
      if (wndmsg::MessageTarget* parent = TargetOf(parentWidget())) {
        (void)parent->SendMsg(WM_NOTIFY, header.id, reinterpret_cast<LParam>(&header));
      }
    } else if (linkKind_ == LinkKind::Web) {
      OpenAddress(linkAddress_.isEmpty() ? windowTitle() : linkAddress_);
    } else if (linkKind_ == LinkKind::Mail) {
      OpenAddress(QStringLiteral("mailto:") + windowTitle());
    }
  }
  Window::mousePressEvent(event);
}

void TextLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
    defaultFill_ = palette().color(QPalette::Button);
    Redraw();
  }
  Window::changeEvent(event);
}

} // namespace lamp
