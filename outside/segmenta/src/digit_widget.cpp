#include "digit_widget.h"

#include "seven_segment.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <wndmsg/messages.h>

namespace segmenta {
namespace {

constexpr int kEdge = 3;          // sunken edge and rim
constexpr int kPadding = 3;       // between the rim and the digits
constexpr int kCursorBar = 3;     // height of the bar under the cursor digit
constexpr int kUnlitOpacity = 22; // percent of the unlit colour over the ground

QColor Mix(const QColor& a, const QColor& b, int percentOfB) {
  const int t = std::clamp(percentOfB, 0, 100);
  auto blend = [t](int x, int y) { return (x * (100 - t) + y * t) / 100; };
  return QColor(blend(a.red(), b.red()), blend(a.green(), b.green()), blend(a.blue(), b.blue()));
}

} // namespace

DigitWidget::DigitWidget() : format(*LevelFormat::Parse(QStringLiteral("%04d"))) {
  DigitDisplay::window = this;
  setFocusPolicy(Qt::NoFocus);
  shown = Format(level);
}

int DigitWidget::Create(const QString& text, unsigned style, const QRect& rect, QWidget* parent,
                        int id) {
  if (created || parent == nullptr) {
    return 0;
  }
  created = true;
  displayStyle = style;
  setParent(parent);
  setGeometry(rect);
  setAccessibleName(text);
  setProperty("controlId", id);
  if ((style & kStyleVisible) != 0) {
    show();
  }
  return 1;
}

int DigitWidget::SetColourA(const QColor& colour) {
  colourA = colour;
  return 1;
}

int DigitWidget::SetColourB(const QColor& colour) {
  colourB = colour;
  return 1;
}

int DigitWidget::SetDigitColours(const QColor& lit, const QColor& background, const QColor& unlit) {
  litColour = lit;
  groundColour = background;
  unlitColour = unlit;
  return 1;
}

int DigitWidget::SetIndex(std::int32_t value) {
  index = value;
  return 1;
}

int DigitWidget::SetFormat(const QString& text) {
  auto parsed = LevelFormat::Parse(text);
  if (!parsed) {
    return 0;
  }
  format = *parsed;
  return ShowLevel();
}

int DigitWidget::ShowLevel() {
  shown = Format(level);
  UpdateIfChanged();
  return 1;
}

int DigitWidget::Redraw() {
  UpdateIfChanged();
  return 1;
}

DigitWidget::Look DigitWidget::CurrentLook() {
  return Look{GetText(), Cursor(), colourA, colourB, litColour, groundColour, unlitColour};
}

void DigitWidget::UpdateIfChanged() {
  if (CurrentLook() != painted) {
    update();
  }
}

int DigitWidget::SetAltFormat(int from, int to, const QString& text) {
  auto parsed = LevelFormat::Parse(text);
  if (!parsed) {
    return 0;
  }
  altFormat = parsed;
  altFrom = from;
  altTo = to;
  return 1;
}

int DigitWidget::SetRange(int minimum, int maximum) {
  if (minimum > maximum) {
    return 0;
  }
  rangeMin = minimum;
  rangeMax = maximum;
  update();
  return 1;
}

int DigitWidget::SetOption(int value) {
  if (value < 4 || value > 25) {
    return 0;
  }
  thicknessPercent = value;
  update();
  return 1;
}

QString DigitWidget::GetText() {
  return shown.rightJustified(Cells(), QLatin1Char(' '));
}

int DigitWidget::GetCursorDigit() {
  const int c = Cursor();
  cursorDigit = c;
  return c;
}

int DigitWidget::StepUp() {
  return Step(+1);
}

int DigitWidget::StepDown() {
  return Step(-1);
}

int DigitWidget::CursorLeft() {
  const int c = Cursor();
  if (c == 0) {
    cursorDigit = c;
    return 0;
  }
  cursorDigit = c - 1;
  update();
  return 1;
}

int DigitWidget::CursorRight() {
  const int c = Cursor();
  if (c >= Cells() - 1) {
    cursorDigit = c;
    return 0;
  }
  cursorDigit = c + 1;
  update();
  return 1;
}

QString DigitWidget::Format(int value) const {
  if (altFormat && value >= altFrom && value < altTo) {
    return altFormat->Apply(value);
  }
  return format.Apply(value);
}

int DigitWidget::Cells() const {
  const auto longest = std::max({Format(rangeMin).size(), Format(rangeMax).size(), shown.size()});
  return std::max<int>(1, static_cast<int>(longest));
}

int DigitWidget::Cursor() const {
  return std::clamp<int>(cursorDigit, 0, Cells() - 1);
}

int DigitWidget::Step(int direction) {
  const std::int64_t now = level;
  if ((direction > 0 && now >= rangeMax) || (direction < 0 && now <= rangeMin)) {
    return 0;
  }
  std::int64_t unit = 1;
  for (int i = Cursor(); i < Cells() - 1 && unit <= rangeMax - static_cast<std::int64_t>(rangeMin);
       ++i) {
    unit *= format.Base();
  }
  level = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(now + direction * unit, rangeMin, rangeMax));
  return ShowLevel();
}

void DigitWidget::Notify(unsigned msg) {
  if ((displayStyle & kStyleNotify) == 0) {
    return;
  }
  auto* owner = dynamic_cast<wndmsg::MessageTarget*>(parentWidget());
  if (owner == nullptr) {
    return;
  }
  std::int32_t copy = index;
  owner->SendMsg(msg, reinterpret_cast<wndmsg::WParam>(&copy), 0);
}

void DigitWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    e->ignore();
    return;
  }
  pressed = true;
}

void DigitWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    e->ignore();
    return;
  }
  pressed = true;
  secondOfDouble = true;
  Notify(wndmsg::WM_DISPLAY_EDIT);
}

void DigitWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !pressed) {
    e->ignore();
    return;
  }
  pressed = false;
  if (secondOfDouble) {
    secondOfDouble = false;
    return;
  }
  if (rect().contains(e->position().toPoint())) {
    Notify(wndmsg::WM_DISPLAY_CLICKED);
  }
}

QSize DigitWidget::sizeHint() const {
  return QSize(28 * Cells() + 2 * (kEdge + kPadding), 60);
}

void DigitWidget::paintEvent(QPaintEvent*) {
  painted = CurrentLook();
  QPainter p(this);
  p.fillRect(rect(), groundColour);
  const bool sunken = (displayStyle & kStyleSunken) != 0;
  const int edge = sunken ? kEdge : 1;
  if (sunken) {
    // Dark upper-left, light lower-right: the ground sits below the panel.
    p.setPen(QColor(128, 128, 128));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(1, height() - 1, width() - 1, height() - 1);
    p.drawLine(width() - 1, 1, width() - 1, height() - 1);
    p.setPen(QColor(64, 64, 64));
    p.drawLine(1, 1, width() - 2, 1);
    p.drawLine(1, 1, 1, height() - 2);
  }
  p.setPen(colourB);
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(edge - 1, edge - 1, -edge, -edge));

  const QRect area =
      rect().adjusted(edge + kPadding, edge + kPadding, -edge - kPadding, -edge - kPadding);
  const int cells = Cells();
  if (area.width() < 2 * cells || area.height() < 8) {
    return;
  }
  const QString text = GetText();
  const int cursor = Cursor();
  const qreal cellWidth = static_cast<qreal>(width()) / cells;
  const qreal digitHeight = area.height() - kCursorBar - 2;
  const qreal thickness = std::max<qreal>(1.5, digitHeight * thicknessPercent / 100.0);

  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath lit;
  QPainterPath unlit;
  for (int d = 0; d < cells; ++d) {
    const qreal cellLeft = std::max<qreal>(d * cellWidth, area.left());
    const qreal cellRight = std::min<qreal>((d + 1) * cellWidth, area.right() + 1);
    const qreal digitWidth = std::min((cellRight - cellLeft) * 0.74, digitHeight * 0.56);
    const qreal x = (cellLeft + cellRight - digitWidth) / 2;
    const QRectF box(x, area.top(), digitWidth, digitHeight);
    if (d == cursor) {
      const QRectF cell(cellLeft + 1, area.top() - 1, cellRight - cellLeft - 2, area.height() + 1);
      p.fillRect(cell, Mix(groundColour, colourA, 12));
      p.fillRect(QRectF(box.left(), area.bottom() + 1 - kCursorBar, box.width(), kCursorBar),
                 colourA);
    }
    AddSegments(box, thickness, SegmentMask(text[d]), lit, unlit);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(Mix(groundColour, unlitColour, kUnlitOpacity));
  p.drawPath(unlit);
  // A soft halo under the lit segments, then the segments themselves.
  QColor halo = litColour;
  halo.setAlpha(70);
  p.strokePath(lit, QPen(halo, std::max<qreal>(1.0, thickness * 0.45), Qt::SolidLine, Qt::RoundCap,
                         Qt::RoundJoin));
  p.setBrush(litColour);
  p.drawPath(lit);
}

} // namespace segmenta

extern "C" __attribute__((visibility("default"))) segmenta::DigitDisplay* DigitalCharClass() {
  try {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
      return nullptr;
    }
    return new segmenta::DigitWidget;
  } catch (...) {
    return nullptr;
  }
}
