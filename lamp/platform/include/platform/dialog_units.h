#pragma once
// Dialog templates are measured in dialog units. One horizontal unit is a quarter of the dialog
// font's average character width, one vertical unit an eighth of its height, with the average
// width taken as the system took it: the width of "A".."Z" "a".."z" divided by 26, halved and
// rounded.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

namespace lamp {

// The font of a dialog template: `points` at 96 pixels per inch, as the system built it
// (-MulDiv(points, 96, 72) pixels of character height), independent of the screen's DPI.
[[nodiscard]] QFont DialogFont(const QString& family, int points);

class DialogUnits {
public:
  explicit DialogUnits(const QFont& font);

  [[nodiscard]] int baseX() const { return baseX_; }
  [[nodiscard]] int baseY() const { return baseY_; }

  // Pixels for dialog units, rounded half away from zero like MulDiv.
  [[nodiscard]] int x(int units) const;
  [[nodiscard]] int y(int units) const;
  [[nodiscard]] QRect rect(int left, int top, int width, int height) const;
  [[nodiscard]] QSize size(int width, int height) const;

private:
  int baseX_;
  int baseY_;
};

} // namespace lamp
