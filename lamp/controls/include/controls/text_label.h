#pragma once
// TextLabel: the program's static text with its own drawing. Solid or two-colour gradient
// background, a font built from a full description, embossed (double-printed) text, rotated
// text, flashing text, and an optional web or mail link. Every setter returns the label so that
// calls chain:
//
//   label.Create("", WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, {0, 0, 100, 100}, this, 20000);
//   label.SetCaption("25℃").SetEmbossed(true, true).SetEmbossColour(QColor(42, 116, 179));
//
// The label exists as an object before its window: until Create, SetCaption does nothing and the
// other setters only store their values. GUI thread, except SetCaption and GetCaption, which may
// be called from any thread (they run on the GUI thread while the caller waits).

#include <QColor>
#include <QCursor>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/log_font.h"
#include "platform/window.h"

namespace lamp {

class TextLabel : public Window {
public:
  // Notification code of a click on a label that notifies instead of opening its link; sent to
  // the parent as WM_NOTIFY with a NotifyHeader naming the label.
  static constexpr unsigned kClickedCode = 0x8200;
  static constexpr int kFlashTimer = 1;
  static constexpr int kFlashPeriodMs = 500;
  static constexpr int kGradientBands = 100;

  enum class LinkKind { None = 0, Web = 1, Mail = 2 };
  enum class FlashMode { None = 0, Text = 1, Fill = 2 };

  TextLabel();
  ~TextLabel() override;

  // Makes the label's window: a child of `parent` with `text`, the SS_* alignment bits of
  // `style` (WS_VISIBLE shows it, WS_BORDER frames it), at `rect`, with control ID `id`. The font
  // description is taken from the parent's font. Returns false when the window exists already
  // or there is no parent.
  bool Create(const QString& text, std::uint32_t style, const QRect& rect, QWidget* parent, int id);
  [[nodiscard]] bool hasWindow() const { return created_; }

  TextLabel& SetFill(const QColor& colour, const QColor& endColour, bool gradient);
  TextLabel& SetInkColour(const QColor& colour);
  TextLabel& SetCaption(const QString& text);
  TextLabel& SetHeavy(bool heavy);
  TextLabel& SetTypeface(const QString& face, std::uint8_t charSet);
  TextLabel& SetUnderlined(bool underlined);
  TextLabel& SetSlanted(bool slanted);
  TextLabel& SetPoints(int points);
  TextLabel& SetEdge(bool edge);
  TextLabel& SetFramed(bool framed);
  TextLabel& SetSeeThrough(bool seeThrough);
  TextLabel& SetBlinkText(bool blink);
  TextLabel& SetBlinkFill(bool blink);
  TextLabel& SetWebLink(bool link, bool notifyOnClick);
  TextLabel& SetHoverCursor(const QCursor& cursor);
  TextLabel& SetEmbossed(bool embossed, bool inward);
  TextLabel& SetAngle(int degrees, bool rotated);
  TextLabel& SetEmbossColour(const QColor& colour);
  TextLabel& SetFontDescription(const LogFont& description);
  TextLabel& SetMailAddressLink(bool link, bool notifyOnClick);
  TextLabel& SetLinkAddress(const QString& address);

  // The window text; empty before Create.
  [[nodiscard]] QString GetCaption() const;

  [[nodiscard]] const LogFont& fontDescription() const { return description_; }
  [[nodiscard]] int flashPhase() const { return flashPhase_; }
  [[nodiscard]] bool flashTimerRunning() const { return flashTimerRunning_; }
  [[nodiscard]] FlashMode flashMode() const { return flashMode_; }
  [[nodiscard]] LinkKind linkKind() const { return linkKind_; }

  // Flips the flash phase and redraws (timer 1).
  void onTimer(int id) override;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void Redraw();
  void RebuildFont();
  void SetLink(LinkKind kind, bool notifyOnClick);
  void StartFlash(FlashMode mode);
  void StopFlashTimer();
  void UpdateFrame();
  [[nodiscard]] QRect ClientRect() const;
  void PaintContent(QPainter& painter, const QRect& client);
  void PaintGradient(QPainter& painter, const QRect& client) const;

  QColor textColour_;
  QColor embossColour_{255, 255, 255};
  QColor defaultFill_;
  std::optional<QColor> ownFill_;
  LogFont description_;
  QFont font_;
  int flashPhase_ = 0;
  bool flashTimerRunning_ = false;
  LinkKind linkKind_ = LinkKind::None;
  bool transparent_ = false;
  bool embossed_ = false;
  bool notifyOnClick_ = false;
  bool rotated_ = false;
  FlashMode flashMode_ = FlashMode::None;
  std::optional<QCursor> linkCursor_;
  bool inward_ = false;
  bool gradient_ = false;
  QColor gradientEnd_{0, 0, 0};
  QColor background_{0, 0, 0};
  QString linkAddress_;

  bool created_ = false;
  std::uint32_t style_ = 0;
  bool staticEdge_ = false;
};

} // namespace lamp
