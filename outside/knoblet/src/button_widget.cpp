#include "button_widget.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <wndmsg/messages.h>

namespace knoblet {
namespace {

constexpr int kFlashMs = 120;
constexpr int kCaptionMargin = 6;
constexpr qreal kRadius = 6.0;

QColor Mix(const QColor& a, const QColor& b, int percentOfB) {
  const int t = std::clamp(percentOfB, 0, 100);
  auto blend = [t](int x, int y) { return (x * (100 - t) + y * t) / 100; };
  return QColor(blend(a.red(), b.red()), blend(a.green(), b.green()), blend(a.blue(), b.blue()));
}

} // namespace

ButtonWidget::ButtonWidget() {
  ButtonObject::window = this;
  target = this;
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  setMouseTracking(false);
  flash.setSingleShot(true);
  flash.setInterval(kFlashMs);
  QObject::connect(&flash, &QTimer::timeout, this, [this] { update(); });
}

int ButtonWidget::Create(const QString& caption, unsigned style, const QRect& rect, QWidget* parent,
                         int id) {
  if (created || parent == nullptr) {
    return 0;
  }
  created = true;
  buttonStyle = style;
  setParent(parent);
  setGeometry(rect);
  setText(caption);
  setProperty("controlId", id);
  if ((style & kStyleVisible) != 0) {
    show();
  }
  return 1;
}

int ButtonWidget::SetIndex(std::int32_t value) {
  index = value;
  return 1;
}

int ButtonWidget::Prepare() {
  updateGeometry();
  update();
  return 1;
}

int ButtonWidget::SetBackdrop(const QColor& faceColour, int faceOpacity, const QColor& accentColour,
                              int accentOpacity) {
  hasBackdrop = true;
  face = faceColour;
  faceStrength = std::clamp(faceOpacity, 0, 100);
  accent = accentColour;
  accentStrength = std::clamp(accentOpacity, 0, 100);
  update();
  return 1;
}

int ButtonWidget::SetCaptionFont(int points, const QString& family, const QColor& colour, int bold,
                                 const QColor& focus) {
  if (points < 1 || points > 200) {
    return 0;
  }
  QFont font(family);
  font.setPointSize(points);
  font.setBold(bold != 0);
  captionFont = font;
  captionColour = colour;
  focusColour = focus;
  hasCaptionFont = true;
  update();
  return 1;
}

int ButtonWidget::SetPressNotify(int flag) {
  pressNotify = flag != 0;
  return 1;
}

int ButtonWidget::SetIcons(const QPixmap& first, const QPixmap& second) {
  firstIcon = first;
  secondIcon = second;
  update();
  return 1;
}

wndmsg::LResult ButtonWidget::SendMsg(unsigned msg, wndmsg::WParam, wndmsg::LParam) noexcept {
  try {
    if (QThread::currentThread() == thread()) {
      return HandleMsg(msg);
    }
    // The call travels as a queued Qt call; this thread waits on our own condition variable.
    // The ticket is released when Qt has run the call or dropped it (the button went away
    // first), and releasing it ends the wait, with result 0 in the second case.
    struct Call {
      std::mutex lock;
      std::condition_variable finished;
      bool done = false;
      wndmsg::LResult result = 0;
    };
    auto call = std::make_shared<Call>();
    std::shared_ptr<void> ticket(nullptr, [call](void*) {
      const std::lock_guard<std::mutex> hold(call->lock);
      call->done = true;
      call->finished.notify_all();
    });
    QMetaObject::invokeMethod(
        this,
        [this, msg, call, ticket = std::move(ticket)] {
          const wndmsg::LResult result = HandleMsg(msg);
          const std::lock_guard<std::mutex> hold(call->lock);
          call->result = result;
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> wait(call->lock);
    call->finished.wait(wait, [&] { return call->done; });
    return call->result;
  } catch (...) {
    return 0;
  }
}

void ButtonWidget::PostMsg(unsigned msg, wndmsg::WParam, wndmsg::LParam) noexcept {
  try {
    QMetaObject::invokeMethod(
        this, [this, msg] { HandleMsg(msg); }, Qt::QueuedConnection);
  } catch (...) {
  }
}

wndmsg::LResult ButtonWidget::HandleMsg(unsigned msg) {
  switch (msg) {
  case wndmsg::WM_BUTTON_PRESS:
    if (!IsTwoState()) {
      flash.start();
    }
    Click();
    return 1;
  case wndmsg::WM_SETFOCUS:
    focusLook = true;
    update();
    return 1;
  case wndmsg::WM_KILLFOCUS:
    focusLook = false;
    update();
    return 1;
  case wndmsg::WM_MOUSEMOVE:
    update();
    return 1;
  default:
    return 0;
  }
}

bool ButtonWidget::Press() {
  held = true;
  heldInside = true;
  update();
  return !pressNotify || Notify(wndmsg::WM_BUTTON_PRESSED);
}

bool ButtonWidget::Release(bool inside) {
  held = false;
  heldInside = false;
  update();
  if (pressNotify && !Notify(wndmsg::WM_BUTTON_RELEASED)) {
    return false;
  }
  return !inside || Click();
}

bool ButtonWidget::Click() {
  if (IsTwoState()) {
    state = state.load() != 0 ? 0 : 1;
  }
  update();
  return Notify(wndmsg::WM_BUTTON_CLICKED);
}

bool ButtonWidget::Notify(unsigned msg) {
  auto* owner = dynamic_cast<wndmsg::MessageTarget*>(parentWidget());
  if (owner == nullptr) {
    return true;
  }
  // The handler may destroy the parent and with it this button; the index it reads must outlive
  // the button, so it gets a copy.
  QPointer<ButtonWidget> alive(this);
  std::int32_t copy = index;
  owner->SendMsg(msg, reinterpret_cast<wndmsg::WParam>(&copy), 0);
  return !alive.isNull();
}

bool ButtonWidget::event(QEvent* e) {
  if (e->type() == QEvent::Shortcut) {
    Click();
    return true;
  }
  return QAbstractButton::event(e);
}

void ButtonWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || held) {
    e->ignore();
    return;
  }
  e->accept();
  Press();
}

void ButtonWidget::mouseMoveEvent(QMouseEvent* e) {
  if (!held) {
    e->ignore();
    return;
  }
  const bool inside = rect().contains(e->position().toPoint());
  if (inside != heldInside) {
    heldInside = inside;
    update();
  }
}

void ButtonWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !held) {
    e->ignore();
    return;
  }
  e->accept();
  Release(rect().contains(e->position().toPoint()));
}

void ButtonWidget::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Space && !e->isAutoRepeat() && !held) {
    Press();
    return;
  }
  QWidget::keyPressEvent(e);
}

void ButtonWidget::keyReleaseEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Space && !e->isAutoRepeat() && held) {
    Release(true);
    return;
  }
  QWidget::keyReleaseEvent(e);
}

void ButtonWidget::focusInEvent(QFocusEvent*) {
  update();
}

void ButtonWidget::focusOutEvent(QFocusEvent*) {
  // Losing the keyboard focus in the middle of a Space press cancels it, as on other buttons.
  focusLook = false;
  if (held) {
    Release(false);
    return;
  }
  update();
}

// A button that is hidden or disabled while held gets no release from Qt; end the press here so
// that the parent's auto-repeat, started by WM_BUTTON_PRESSED, is told to stop.
void ButtonWidget::hideEvent(QHideEvent*) {
  if (held) {
    Release(false);
  }
}

void ButtonWidget::changeEvent(QEvent* e) {
  QAbstractButton::changeEvent(e);
  if (e->type() == QEvent::EnabledChange && !isEnabled() && held) {
    Release(false);
  }
}

void ButtonWidget::enterEvent(QEnterEvent*) {
  update();
}

void ButtonWidget::leaveEvent(QEvent*) {
  update();
}

QSize ButtonWidget::sizeHint() const {
  const QSize icon = firstIcon.isNull() ? secondIcon.size() : firstIcon.size();
  if (text().isEmpty() && icon.isValid()) {
    return icon;
  }
  return QSize(96, 48);
}

void ButtonWidget::PaintCaption(QPainter& p, const QRect& full, int iconRight) const {
  // Centred on the whole button when the style asks for it and the text clears the icon;
  // otherwise centred in the room right of the icon, with the font made smaller if the caption
  // would not fit there.
  QFont f = hasCaptionFont ? captionFont : font();
  const QString caption = text();
  QRect area = full;
  const int beside = iconRight > full.left() ? iconRight + kCaptionMargin : full.left();
  const qreal width = QFontMetricsF(f).horizontalAdvance(caption);
  const bool centred = (buttonStyle & kStyleCentred) == kStyleCentred;
  if (!centred || full.center().x() - width / 2 < beside) {
    area.setLeft(beside);
  }
  if (width > area.width() && area.width() > 0) {
    const qreal scale = area.width() / width;
    if (f.pointSizeF() > 0) {
      f.setPointSizeF(std::max<qreal>(5.0, f.pointSizeF() * scale));
    } else {
      f.setPixelSize(std::max(7, static_cast<int>(f.pixelSize() * scale)));
    }
  }
  p.setFont(f);
  p.setPen(hasCaptionFont ? captionColour : palette().color(QPalette::ButtonText));
  p.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

bool ButtonWidget::Hot() const {
  return hasFocus() || focusLook || underMouse();
}

void ButtonWidget::PaintFace(QPainter& p, bool sunk) const {
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor top = face;
  top.setAlpha(face.alpha() * faceStrength / 100);
  const int tint = sunk ? std::min(100, accentStrength * 2 + 10) : accentStrength;
  QColor bottom = Mix(face, accent, tint);
  bottom.setAlpha(top.alpha());
  if (Hot() && !sunk) {
    top = top.lighter(104);
  }
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  if (sunk) {
    g.setColorAt(0.0, bottom);
    g.setColorAt(1.0, top);
  } else {
    g.setColorAt(0.0, top);
    g.setColorAt(0.45, top);
    g.setColorAt(1.0, bottom);
  }
  QPainterPath path;
  path.addRoundedRect(r, kRadius, kRadius);
  p.fillPath(path, g);
  // A thin light line under the top edge lifts a raised face; a sunk face has none.
  if (!sunk) {
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.0));
    p.drawLine(QPointF(r.left() + kRadius, r.top() + 1.5),
               QPointF(r.right() - kRadius, r.top() + 1.5));
  }
  p.setPen(QPen(accent.darker(sunk ? 170 : 135), 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void ButtonWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!isEnabled()) {
    p.setOpacity(0.45);
  }
  const bool pressedNow = (held && heldInside) || flash.isActive();
  const bool down = state.load() != 0;
  const bool sunk = down || pressedNow;
  const bool second = down || (!IsTwoState() && (pressedNow || Hot()));

  if (hasBackdrop) {
    PaintFace(p, sunk);
  }

  QRect content = rect();
  if (pressedNow) {
    content.translate(1, 1);
  }

  const QPixmap& chosen = second ? secondIcon : firstIcon;
  const QPixmap& icon = chosen.isNull() ? (second ? firstIcon : secondIcon) : chosen;
  const bool hasCaption = !text().isEmpty();
  int iconRight = content.left();
  if (!icon.isNull()) {
    const QRect room = hasCaption ? content.adjusted(kCaptionMargin, 2, 0, -2) : content;
    QSize size = icon.deviceIndependentSize().toSize();
    if (size.width() > room.width() || size.height() > room.height()) {
      size.scale(room.size(), Qt::KeepAspectRatio);
    }
    QRect place(QPoint(0, 0), size);
    place.moveCenter(room.center());
    if (hasCaption) {
      place.moveLeft(room.left());
      iconRight = place.right();
    }
    p.drawPixmap(place, icon);
  }

  if (hasCaption) {
    PaintCaption(p, content.adjusted(kCaptionMargin, 0, -kCaptionMargin, 0), iconRight);
  }

  if (hasFocus() || focusLook) {
    p.setPen(QPen(focusColour, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5), kRadius - 2, kRadius - 2);
  }
}

} // namespace knoblet

extern "C" __attribute__((visibility("default"))) knoblet::ButtonObject* BtnClass() {
  try {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || QThread::currentThread() != app->thread()) {
      return nullptr;
    }
    return new knoblet::ButtonWidget;
  } catch (...) {
    return nullptr;
  }
}
