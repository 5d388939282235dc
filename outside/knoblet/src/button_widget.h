#pragma once
// The window behind every ButtonObject: a QAbstractButton that paints its own skin and speaks the
// system's window messages instead of Qt signals.

#include <QAbstractButton>
#include <QFont>
#include <QTimer>
#include <knoblet/button_object.h>

namespace knoblet {

class ButtonWidget final : public QAbstractButton,
                           public ButtonObject,
                           public wndmsg::MessageTarget {
public:
  ButtonWidget();

  int Create(const QString& caption, unsigned style, const QRect& rect, QWidget* parent,
             int id) override;
  int SetIndex(std::int32_t index) override;
  int Prepare() override;
  int SetBackdrop(const QColor& face, int faceStrength, const QColor& accent,
                  int accentStrength) override;
  int SetCaptionFont(int points, const QString& face, const QColor& colour, int bold,
                     const QColor& focusColour) override;
  int SetPressNotify(int flag) override;
  int SetIcons(const QPixmap& first, const QPixmap& second) override;

  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override;
  void PostMsg(unsigned msg, wndmsg::WParam wParam, wndmsg::LParam lParam) noexcept override;

  QSize sizeHint() const override;

protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void changeEvent(QEvent* e) override;

private:
  wndmsg::LResult HandleMsg(unsigned msg);
  // Operator gestures. Each returns false when the button was destroyed by a handler of its
  // notification, so the caller must not touch it any more.
  bool Press();
  bool Release(bool inside);
  bool Click();
  bool Notify(unsigned msg);

  bool IsTwoState() const { return (buttonStyle & kStyleKindMask) == kStyleTwoState; }
  bool Hot() const;
  void PaintFace(QPainter& p, bool sunk) const;
  void PaintCaption(QPainter& p, const QRect& full, int iconRight) const;

  unsigned buttonStyle = kStylePush;
  bool created = false;
  std::int32_t index = 0;
  bool pressNotify = false;

  bool hasBackdrop = false;
  QColor face;
  int faceStrength = 100;
  QColor accent;
  int accentStrength = 0;

  bool hasCaptionFont = false;
  QFont captionFont;
  QColor captionColour;
  QColor focusColour{0, 250, 180};

  QPixmap firstIcon;
  QPixmap secondIcon;

  bool held = false;       // left button or Space went down on the button and is still down
  bool heldInside = false; // the pointer is inside while held
  bool focusLook = false;  // WM_SETFOCUS arrived and no WM_KILLFOCUS since
  QTimer flash;            // shows a push button pressed for a moment after WM_BUTTON_PRESS
};

} // namespace knoblet
