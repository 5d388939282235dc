#pragma once
// A printf-style format for one integer, checked before use so that a caller's format text can
// never make the formatting read arguments that are not there.

#include <QByteArray>
#include <QString>
#include <optional>

namespace segmenta {

class LevelFormat {
public:
  // The format if `text` holds exactly one integer conversion (see DigitDisplay::SetFormat),
  // otherwise nothing.
  static std::optional<LevelFormat> Parse(const QString& text);

  QString Apply(int value) const;
  // 16 for %x / %X, 8 for %o, else 10: the place value of one digit step.
  int Base() const { return base; }

private:
  QByteArray text;
  bool isUnsigned = false;
  int base = 10;
};

} // namespace segmenta
