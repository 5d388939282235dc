#pragma once
// Timing of the auto-repeat of a held panel button.
//
// The panel works with the two classic keyboard settings: a delay setting 0..3, giving a first
// repeat after (setting + 1) x 250 ms, and a repeat-speed setting 0..31, giving one repeat every
// 500 - 12 x speed ms. The desktop states its preferences differently, so they are mapped onto
// these settings:
//   - delay: the press-and-hold interval of the style hints (QStyleHints::
//     mousePressAndHoldInterval, in ms), rounded to the nearest multiple of 250 ms;
//   - speed: the keyboard auto-repeat rate (QStyleHints::keyboardAutoRepeatRate, repeats per
//     second), placed linearly on the classic scale, where speed 0 was about 2.5 and speed 31
//     about 30 repeats per second.
// Out-of-range preferences are clamped to the ends of each scale.

namespace lamp {

[[nodiscard]] int KeyboardDelaySetting(int holdIntervalMs);
[[nodiscard]] int KeyboardSpeedSetting(int repeatsPerSecond);

// Period of timer 1 (first repeat) for a delay setting 0..3.
[[nodiscard]] constexpr int HoldDelayMs(int delaySetting) {
  return (delaySetting + 1) * 250;
}
// Period of timer 2 (every further repeat) for a speed setting 0..31.
[[nodiscard]] constexpr int RepeatPeriodMs(int speedSetting) {
  return 500 - 12 * speedSetting;
}

} // namespace lamp
