#pragma once
// A full font description in the system's terms (what CreateFontIndirect took), and its
// translation to and from Qt fonts. Heights follow the system's sign rule: negative is the
// character height in pixels, positive the cell height (character height plus internal leading),
// 0 the default size.

#include <QFont>
#include <QString>
#include <cstdint>

namespace lamp {

inline constexpr int kFaceNameLimit = 31; // characters of a face name, as the description held

// Font qualities that change the drawing.
inline constexpr std::uint8_t kNonAntialiasedQuality = 3;
inline constexpr std::uint8_t kAntialiasedQuality = 4;

struct LogFont {
  int height = 0;
  int width = 0;       // average character width in pixels; 0 = the face's own
  int escapement = 0;  // tenths of a degree, counter-clockwise
  int orientation = 0; // tenths of a degree
  int weight = 400;    // 100..900; 0 = normal
  std::uint8_t italic = 0;
  std::uint8_t underline = 0;
  std::uint8_t strikeOut = 0;
  std::uint8_t charSet = 0;
  std::uint8_t outPrecision = 0;
  std::uint8_t clipPrecision = 0;
  std::uint8_t quality = 0;
  std::uint8_t pitchAndFamily = 0;
  QString faceName; // at most kFaceNameLimit characters (longer names are cut)

  friend bool operator==(const LogFont&, const LogFont&) = default;
};

// The font that `description` asks for. The escapement is not part of a QFont: whoever draws
// rotates by it.
[[nodiscard]] QFont FontFromLogFont(const LogFont& description);

// The description of an existing Qt font (character height in pixels, weight, style, face).
[[nodiscard]] LogFont LogFontFromFont(const QFont& font);

// The character height, in the description's negative form, of a font of `points` on a
// 96-pixel-per-inch screen, as a point-size font was built (-MulDiv(points * 10, 96, 720)).
[[nodiscard]] int PointsToHeight(int points);

} // namespace lamp
