#include "level_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace segmenta {
namespace {

constexpr int kMaxField = 20;

// Reads up to two decimal digits of a width or precision; false if it is longer or too large.
bool ReadField(const QByteArray& s, qsizetype& i) {
  int value = 0;
  int digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) != 0) {
    value = value * 10 + (s[i] - '0');
    ++i;
    if (++digits > 2) {
      return false;
    }
  }
  return value <= kMaxField;
}

} // namespace

std::optional<LevelFormat> LevelFormat::Parse(const QString& source) {
  LevelFormat f;
  f.text = source.toUtf8();
  const QByteArray& s = f.text;
  if (s.contains('\0')) {
    return std::nullopt;
  }
  int conversions = 0;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      continue;
    }
    ++i;
    if (i < s.size() && s[i] == '%') {
      continue;
    }
    while (i < s.size() && std::strchr("-+ 0#", s[i]) != nullptr) {
      ++i;
    }
    if (!ReadField(s, i)) {
      return std::nullopt;
    }
    if (i < s.size() && s[i] == '.') {
      ++i;
      if (!ReadField(s, i)) {
        return std::nullopt;
      }
    }
    if (i >= s.size() || std::strchr("diuxXo", s[i]) == nullptr) {
      return std::nullopt;
    }
    f.isUnsigned = std::strchr("uxXo", s[i]) != nullptr;
    f.base = s[i] == 'o' ? 8 : (s[i] == 'x' || s[i] == 'X') ? 16 : 10;
    ++conversions;
  }
  if (conversions != 1) {
    return std::nullopt;
  }
  return f;
}

QString LevelFormat::Apply(int value) const {
  // The format was checked in Parse: one integer conversion, fields of at most 20 characters.
  char buffer[256];
  int n = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  if (isUnsigned) {
    n = std::snprintf(buffer, sizeof buffer, text.constData(), static_cast<unsigned>(value));
  } else {
    n = std::snprintf(buffer, sizeof buffer, text.constData(), value);
  }
#pragma GCC diagnostic pop
  if (n < 0) {
    return QString();
  }
  return QString::fromUtf8(buffer, std::min<int>(n, sizeof buffer - 1));
}

} // namespace segmenta
