#pragma once
// The window behind every DigitDisplay: a QWidget that draws the level as seven-segment digits
// and reports clicks and double-clicks to its parent as window messages.

#include "level_format.h"

#include <QWidget>
#include <segmenta/digit_display.h>

namespace segmenta {

class DigitWidget final : public QWidget, public DigitDisplay {
public:
  DigitWidget();

  int Create(const QString& text, unsigned style, const QRect& rect, QWidget* parent,
             int id) override;
  int SetColourA(const QColor& colour) override;
  int SetColourB(const QColor& colour) override;
  int SetDigitColours(const QColor& lit, const QColor& background, const QColor& unlit) override;
  int SetIndex(std::int32_t index) override;
  int SetFormat(const QString& format) override;
  int ShowLevel() override;
  int Redraw() override;
  int SetAltFormat(int from, int to, const QString& format) override;
  int SetRange(int minimum, int maximum) override;
  int SetOption(int value) override;
  QString GetText() override;
  int GetCursorDigit() override;
  int StepUp() override;
  int StepDown() override;
  int CursorLeft() override;
  int CursorRight() override;

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
  // What a paint shows: a display whose look is unchanged is not drawn again.
  struct Look {
    QString text;
    int cursor = -1;
    QColor colourA, colourB, lit, ground, unlit;
    bool operator==(const Look&) const = default;
  };
  Look CurrentLook();
  void UpdateIfChanged();

  QString Format(int value) const;
  int Cells() const;
  int Cursor() const;
  int Step(int direction);
  void Notify(unsigned msg);

  unsigned displayStyle = 0;
  bool created = false;
  std::int32_t index = 0;
  LevelFormat format;
  std::optional<LevelFormat> altFormat;
  int altFrom = 0;
  int altTo = 0;
  int rangeMin = 0;
  int rangeMax = 9999;
  int thicknessPercent = 10;
  QString shown;

  QColor colourA{255, 255, 255};
  QColor colourB{255, 255, 255};
  QColor litColour{248, 168, 97};
  QColor groundColour{0, 0, 0};
  QColor unlitColour{150, 150, 150};

  Look painted;
  bool pressed = false;        // a left press started inside and has not been released
  bool secondOfDouble = false; // the press under way is the second of a double-click
};

} // namespace segmenta
