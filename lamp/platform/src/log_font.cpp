#include "platform/log_font.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace lamp {
namespace {

constexpr int kDefaultPixelSize = 12;

} // namespace

QFont FontFromLogFont(const LogFont& description) {
  QFont font(description.faceName.left(kFaceNameLimit));
  int pixels = description.height == 0 ? kDefaultPixelSize : std::abs(description.height);
  font.setPixelSize(std::max(pixels, 1));
  if (description.height > 0) {
    // A positive height is the cell height: scale the character height so that ascent plus
    // descent come to it.
    const int cell = QFontMetrics(font).height();
    if (cell > 0 && cell != pixels) {
      font.setPixelSize(std::max(1, static_cast<int>(std::lround(double(pixels) * pixels / cell))));
    }
  }
  const int weight = description.weight == 0 ? 400 : std::clamp(description.weight, 1, 1000);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setItalic(description.italic != 0);
  font.setUnderline(description.underline != 0);
  font.setStrikeOut(description.strikeOut != 0);
  if (description.quality == kNonAntialiasedQuality) {
    font.setStyleStrategy(QFont::NoAntialias);
  } else if (description.quality == kAntialiasedQuality) {
    font.setStyleStrategy(QFont::PreferAntialias);
  }
  if (description.width > 0) {
    const QFontMetrics metrics(font);
    const int natural = metrics.averageCharWidth();
    if (natural > 0) {
      font.setStretch(std::clamp(description.width * 100 / natural, 1, 4000));
    }
  }
  return font;
}

LogFont LogFontFromFont(const QFont& font) {
  LogFont description;
  const QFontInfo info(font);
  description.height = -info.pixelSize();
  description.weight = font.weight();
  description.italic = font.italic() ? 1 : 0;
  description.underline = font.underline() ? 1 : 0;
  description.strikeOut = font.strikeOut() ? 1 : 0;
  description.faceName = font.family().left(kFaceNameLimit);
  return description;
}

int PointsToHeight(int points) {
  const long long tenths = static_cast<long long>(points) * 10 * 96;
  return -static_cast<int>((tenths + (tenths >= 0 ? 360 : -360)) / 720);
}

} // namespace lamp
