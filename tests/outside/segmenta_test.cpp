// The display library through its factory, as the program uses it: the two gestures, stepping
// the digit under the cursor within the range, cursor limits, the shown text and its drawing.

#include "outside_test_support.h"

#include <QImage>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <segmenta/digit_display.h>
#include <wndmsg/messages.h>

namespace {

using namespace outside_test;

const QColor kLit(248, 168, 97);
const QColor kCursorColour(0, 200, 255);

class SegmentaTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    factory =
        LoadFactory<segmenta::DigitalCharClassFn>("libsegmenta.so", "DigitalCharClass", error);
    ASSERT_NE(factory, nullptr) << error;
    parent = std::make_unique<RecordingParent>(recorder);
    parent->show();
  }

  // A display made with the main window's set-up sequence.
  segmenta::DigitDisplay* Make(std::int32_t index) {
    segmenta::DigitDisplay* d = factory();
    EXPECT_NE(d, nullptr);
    EXPECT_NE(d->Create("",
                        segmenta::kStyleChild | segmenta::kStyleVisible | segmenta::kStyleSunken |
                            segmenta::kStyleNotify,
                        QRect(0, 0, 300, 100), parent.get(), 0xFFFF),
              0);
    EXPECT_NE(d->SetDigitColours(kLit, QColor(0, 0, 0), QColor(150, 150, 150)), 0);
    EXPECT_NE(d->SetColourA(QColor(255, 255, 255)), 0);
    EXPECT_NE(d->SetColourB(QColor(255, 255, 255)), 0);
    EXPECT_NE(d->SetRange(0, 1000), 0);
    EXPECT_NE(d->SetFormat("%04d"), 0);
    EXPECT_NE(d->SetAltFormat(0, 0, "%.3d"), 0);
    EXPECT_NE(d->SetOption(10), 0);
    EXPECT_NE(d->SetIndex(index), 0);
    d->window->setGeometry(10, 10, 120, 60);
    return d;
  }

  segmenta::DigitalCharClassFn factory = nullptr;
  Recorder recorder;
  std::unique_ptr<RecordingParent> parent;
};

TEST_F(SegmentaTest, ClickAndDoubleClickAreTwoGestures) {
  segmenta::DigitDisplay* d = Make(2);
  QTest::mouseClick(d->window, Qt::LeftButton);
  EXPECT_EQ(recorder.Kinds(), (std::vector<unsigned>{wndmsg::WM_DISPLAY_CLICKED}));

  recorder.messages.clear();
  // Through the window, so that Qt's own double-click detection produces the real sequence.
  QWindow* window = parent->windowHandle();
  const QPoint at = d->window->mapTo(parent.get(), QPoint(20, 20));
  QTest::mouseDClick(window, Qt::LeftButton, {}, at);
  EXPECT_EQ(recorder.Kinds(),
            (std::vector<unsigned>{wndmsg::WM_DISPLAY_CLICKED, wndmsg::WM_DISPLAY_EDIT}));
  for (const auto& m : recorder.messages) {
    EXPECT_EQ(m.index, 2);
  }

  recorder.messages.clear();
  QTest::mouseClick(d->window, Qt::RightButton);
  QTest::mousePress(d->window, Qt::LeftButton);
  QTest::mouseRelease(d->window, Qt::LeftButton, {}, QPoint(500, 500));
  EXPECT_TRUE(recorder.messages.empty()) << "right clicks and releases outside say nothing";

  segmenta::DigitDisplay* quiet = factory();
  ASSERT_NE(quiet->Create("", segmenta::kStyleVisible, QRect(0, 80, 100, 40), parent.get(), 1), 0);
  QTest::mouseClick(quiet->window, Qt::LeftButton);
  EXPECT_TRUE(recorder.messages.empty()) << "without the notify style";
}

TEST_F(SegmentaTest, StepsChangeTheCursorDigitWithinTheRange) {
  struct Case {
    std::int32_t level;
    std::int32_t cursor;
    bool up;
    std::int32_t expected;
    bool changed;
  };
  const Case cases[] = {
      {0, 3, true, 1, true},      {0, 2, true, 10, true},     {0, 0, true, 1000, true},
      {250, 1, false, 150, true}, {995, 2, true, 1000, true}, {1000, 3, true, 1000, false},
      {5, 2, false, 0, true},     {0, 3, false, 0, false},    {1500, 3, false, 1000, true},
      {-20, 2, true, 0, true},    {999, 3, true, 1000, true}, {1000, 0, false, 0, true},
  };
  segmenta::DigitDisplay* d = Make(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.level << (c.up ? " up" : " down") << " at " << c.cursor);
    d->level = c.level;
    d->cursorDigit = c.cursor;
    d->ShowLevel();
    EXPECT_EQ((c.up ? d->StepUp() : d->StepDown()) != 0, c.changed);
    EXPECT_EQ(d->level, c.expected);
    EXPECT_EQ(d->GetText(), QString::asprintf("%04d", c.expected));
  }
}

TEST_F(SegmentaTest, CursorMovesOneDigitAndStopsAtTheEnds) {
  segmenta::DigitDisplay* d = Make(0);
  EXPECT_EQ(d->GetCursorDigit(), 3) << "starts on the rightmost digit";
  EXPECT_EQ(d->CursorRight(), 0);
  EXPECT_EQ(d->cursorDigit, 3);
  for (int expected : {2, 1, 0}) {
    EXPECT_NE(d->CursorLeft(), 0);
    EXPECT_EQ(d->GetCursorDigit(), expected);
    EXPECT_EQ(d->cursorDigit, expected);
  }
  EXPECT_EQ(d->CursorLeft(), 0);
  EXPECT_EQ(d->GetCursorDigit(), 0);
  EXPECT_NE(d->CursorRight(), 0);
  EXPECT_EQ(d->GetCursorDigit(), 1);

  // A cursor written from outside (a controller reply) is taken as the nearest digit.
  d->cursorDigit = 200;
  EXPECT_EQ(d->GetCursorDigit(), 3);
  d->cursorDigit = -7;
  EXPECT_EQ(d->GetCursorDigit(), 0);
}

TEST_F(SegmentaTest, ShownTextFollowsTheFormats) {
  segmenta::DigitDisplay* d = Make(0);
  EXPECT_EQ(d->GetText(), "0000");
  d->level = 42;
  EXPECT_EQ(d->GetText(), "0000") << "a written level shows after ShowLevel";
  d->ShowLevel();
  EXPECT_EQ(d->GetText(), "0042");
  d->level = -5;
  d->ShowLevel();
  EXPECT_EQ(d->GetText(), "-005");

  for (const char* refused : {"%s", "%d %d", "%n", "%ld", "level", "%99d", "%.100d", "%"}) {
    SCOPED_TRACE(refused);
    EXPECT_EQ(d->SetFormat(refused), 0);
    EXPECT_EQ(d->SetAltFormat(0, 10, refused), 0);
  }
  EXPECT_EQ(d->GetText(), "-005");

  d->level = 0;
  d->ShowLevel();
  EXPECT_EQ(d->GetText(), "0000") << "the band 0..0 is empty";
  ASSERT_NE(d->SetAltFormat(0, 10, "%.3d"), 0);
  d->ShowLevel();
  EXPECT_EQ(d->GetText(), " 000") << "shorter texts are padded to the cells";
  d->level = 12345;
  d->ShowLevel();
  EXPECT_EQ(d->GetText(), "12345") << "a longer text gets more cells, nothing is cut";
  ASSERT_NE(d->SetFormat("%x"), 0);
  d->level = 0x3e8;
  d->ShowLevel();
  EXPECT_EQ(d->GetText(), "3e8");
  EXPECT_EQ(d->SetRange(10, 5), 0);
  EXPECT_EQ(d->SetOption(0), 0);
}

// Counts the pixels of `colour` (within a small distance) in each of the display's cells.
std::vector<int> CountPerCell(const QImage& image, int cells, const QColor& colour) {
  std::vector<int> counts(cells, 0);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
              std::abs(c.blue() - colour.blue()) <
          12) {
        ++counts[x * cells / image.width()];
      }
    }
  }
  return counts;
}

TEST_F(SegmentaTest, DrawsSegmentsPerCellAndMarksTheCursorDigit) {
  segmenta::DigitDisplay* d = Make(0);
  d->level = 1;
  d->ShowLevel();
  d->cursorDigit = 1;
  d->SetColourA(kCursorColour);
  d->Redraw();
  const QImage image = d->window->grab().toImage();
  const std::vector<int> lit = CountPerCell(image, 4, kLit);
  EXPECT_GT(lit[3], 0);
  EXPECT_GT(lit[0], 2 * lit[3]) << "'0' lights six segments, '1' two";
  const std::vector<int> cursor = CountPerCell(image, 4, kCursorColour);
  EXPECT_EQ(cursor[0], 0);
  EXPECT_GT(cursor[1], 0);
  EXPECT_EQ(cursor[2], 0);

  // Highlighted colours: lit segments white.
  d->SetDigitColours(QColor(255, 255, 255), QColor(0, 0, 0), QColor(150, 150, 150));
  d->Redraw();
  EXPECT_EQ(CountPerCell(d->window->grab().toImage(), 4, kLit)[0], 0);
}

} // namespace
