// The main panel's pixel layout, for the client area the panel has at its dialog font and for
// other sizes.
#include <gtest/gtest.h>

#include "app/auto_repeat.h"
#include "app/panel_layout.h"

namespace lamp {
namespace {

bool Overlap(const PixelRect& a, const PixelRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const PixelRect& r, int w, int h) {
  return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h;
}

TEST(PanelLayoutTest, PanelOfTheDialogFontSize) {
  const int w = 502;
  const int h = 525;
  const HeaderLayout header = LayoutHeader(w, h);
  EXPECT_EQ(header.logo, (PixelRect{0, 0, 125, 87}));
  EXPECT_EQ(header.productName, (PixelRect{125, 0, 502, 87}));
  EXPECT_EQ(header.firstLine, (PixelRect{0, 90, 502, 92}));

  const int l = header.firstLine.bottom;
  EXPECT_EQ(DisplayRect(w, l, 0), (PixelRect{251, 100, 376, 160}));
  EXPECT_EQ(DisplayRect(w, l, 3), (PixelRect{251, 292, 376, 352}));
  EXPECT_EQ(LampButtonRect(w, l, 2), (PixelRect{75, 228, 235, 288}));
  EXPECT_EQ(PercentRect(DisplayRect(w, l, 1)), (PixelRect{379, 164, 411, 224}));

  const PixelRect d3 = DisplayRect(w, l, 3);
  EXPECT_EQ(SecondLineRect(w, d3), (PixelRect{0, 384, 502, 386}));
  EXPECT_EQ(ArrowButtonRect(d3, 0), (PixelRect{384, 357, 406, 376}));
  EXPECT_EQ(ArrowButtonRect(d3, 3), (PixelRect{450, 357, 472, 376}));
  // Digit 0 at start-up puts the marker under the rightmost of the four digits.
  EXPECT_EQ(InitialCursorRect(d3, 0), (PixelRect{352, 357, 372, 377}));
  EXPECT_EQ(CursorRect(d3, 3), (PixelRect{351, 357, 371, 377}));
  EXPECT_EQ(CursorRect(d3, 0), (PixelRect{255, 357, 275, 377}));

  const PixelRect line2 = SecondLineRect(w, d3);
  EXPECT_EQ(CommandButtonRect(w, line2, 0), (PixelRect{109, 418, 205, 466}));
  EXPECT_EQ(CommandButtonRect(w, line2, 3), (PixelRect{403, 418, 499, 466}));
  EXPECT_EQ(ThermometerRect(line2), (PixelRect{16, 402, 48, 434}));
  EXPECT_EQ(FanRect(line2), (PixelRect{16, 436, 48, 468}));
  EXPECT_EQ(LabelBeside(FanRect(line2)), (PixelRect{50, 436, 102, 468}));
  EXPECT_EQ(StatusLabelRect(CommandButtonRect(w, line2, 0), w, h), (PixelRect{109, 466, 502, 525}));
}

TEST(PanelLayoutTest, ControlsNeitherOverlapNorLeaveTheClientArea) {
  for (const auto& [w, h] : {std::pair{502, 525}, std::pair{574, 595}, std::pair{660, 700}}) {
    SCOPED_TRACE(w);
    const int l = LayoutHeader(w, h).firstLine.bottom;
    std::vector<PixelRect> rects;
    for (int i = 0; i < 4; ++i) {
      const PixelRect display = DisplayRect(w, l, i);
      EXPECT_EQ(display.left, w / 2);
      EXPECT_EQ(LampButtonRect(w, l, i).right, w / 2 - 16);
      EXPECT_EQ(LampButtonRect(w, l, i).top, display.top);
      rects.push_back(display);
      rects.push_back(PercentRect(display));
      rects.push_back(LampButtonRect(w, l, i));
    }
    const PixelRect d3 = DisplayRect(w, l, 3);
    const PixelRect line2 = SecondLineRect(w, d3);
    for (int i = 0; i < 4; ++i) {
      rects.push_back(ArrowButtonRect(d3, i));
      rects.push_back(CommandButtonRect(w, line2, i));
    }
    rects.push_back(line2);
    rects.push_back(ThermometerRect(line2));
    rects.push_back(FanRect(line2));
    rects.push_back(LabelBeside(ThermometerRect(line2)));
    rects.push_back(LabelBeside(FanRect(line2)));
    for (std::size_t i = 0; i < rects.size(); ++i) {
      EXPECT_TRUE(Inside(rects[i], w, h)) << i;
      for (std::size_t j = i + 1; j < rects.size(); ++j) {
        EXPECT_FALSE(Overlap(rects[i], rects[j])) << i << " " << j;
      }
    }
  }
}

TEST(AutoRepeatTest, DesktopPreferencesMapOntoTheKeyboardSettings) {
  struct Case {
    int holdMs;
    int delayMs;
  };
  for (const Case c : {Case{0, 250}, Case{250, 250}, Case{500, 500}, Case{800, 750},
                       Case{1000, 1000}, Case{5000, 1000}, Case{-3, 250}}) {
    EXPECT_EQ(HoldDelayMs(KeyboardDelaySetting(c.holdMs)), c.delayMs) << c.holdMs;
  }
  struct Rate {
    int perSecond;
    int periodMs;
  };
  for (const Rate r : {Rate{0, 500}, Rate{2, 500}, Rate{30, 128}, Rate{100, 128}, Rate{16, 320}}) {
    EXPECT_EQ(RepeatPeriodMs(KeyboardSpeedSetting(r.perSecond)), r.periodMs) << r.perSecond;
  }
}

} // namespace
} // namespace lamp
