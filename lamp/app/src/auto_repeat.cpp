#include "app/auto_repeat.h"

#include <algorithm>
#include <cmath>

namespace lamp {

int KeyboardDelaySetting(int holdIntervalMs) {
  const long steps = std::lround(static_cast<double>(holdIntervalMs) / 250.0);
  return static_cast<int>(std::clamp(steps - 1, 0L, 3L));
}

int KeyboardSpeedSetting(int repeatsPerSecond) {
  constexpr double kSlowest = 2.5;
  constexpr double kFastest = 30.0;
  const long speed = std::lround((repeatsPerSecond - kSlowest) * 31.0 / (kFastest - kSlowest));
  return static_cast<int>(std::clamp(speed, 0L, 31L));
}

} // namespace lamp
