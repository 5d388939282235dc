#include "platform/dialog_units.h"

#include <QFontMetrics>

namespace lamp {
namespace {

constexpr int kTemplateDpi = 96;

// a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

} // namespace

QFont DialogFont(const QString& family, int points) {
  QFont font(family);
  font.setPixelSize(MulDiv(points, kTemplateDpi, 72));
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (alphabetWidth / 26 + 1) / 2;
  baseY_ = metrics.height();
}

int DialogUnits::x(int units) const {
  return MulDiv(units, baseX_, 4);
}
int DialogUnits::y(int units) const {
  return MulDiv(units, baseY_, 8);
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
  // Both corners are converted, as the system mapped a template rectangle.
  return QRect(QPoint(x(left), y(top)), QPoint(x(left + width) - 1, y(top + height) - 1));
}

QSize DialogUnits::size(int width, int height) const {
  return QSize(x(width), y(height));
}

} // namespace lamp
