// TextLabel: drawing checked on grabbed pixels, flashing, links and notifications.
#include <QApplication>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "pixels.h"
#include "platform/gui_calls.h"
#include "platform/notify.h"
#include "platform/shell.h"

namespace {

using lamp::TextLabel;
using lamp::test::BoundsOf;
using lamp::test::CountOf;
using lamp::test::Grab;

const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 200);
const QColor kEmboss(42, 116, 179);

// Crisp text: every text pixel has exactly the ink colour.
lamp::LogFont CrispFont() {
  lamp::LogFont font;
  font.height = -20;
  font.weight = 700;
  font.quality = lamp::kNonAntialiasedQuality;
  font.faceName = QStringLiteral("DejaVu Sans");
  return font;
}

struct LabelFixture {
  explicit LabelFixture(const QString& text,
                        std::uint32_t style = lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                        QSize size = QSize(160, 60)) {
    parent.resize(size.width() + 20, size.height() + 20);
    EXPECT_TRUE(
        label.Create(text, lamp::WS_VISIBLE | style, QRect(QPoint(10, 10), size), &parent, 20000));
    label.SetFontDescription(CrispFont()).SetFill(kPaper, kPaper, false).SetInkColour(kInk);
  }
  QWidget parent;
  TextLabel label;
};

TEST(TextLabel, EmbossDrawsASecondCopyOnePixelInwardOrOutward) {
  LabelFixture plain("Velora");
  const QRect glyphs = BoundsOf(Grab(plain.label), kInk);
  ASSERT_FALSE(glyphs.isNull());

  const struct {
    bool inward;
    QPoint shift;
  } cases[] = {{true, QPoint(1, 1)}, {false, QPoint(-1, -1)}};
  for (const auto& c : cases) {
    LabelFixture embossed("Velora");
    embossed.label.SetEmbossed(true, c.inward).SetEmbossColour(kEmboss);
    const QImage image = Grab(embossed.label);
    EXPECT_EQ(BoundsOf(image, kEmboss), glyphs.translated(c.shift)) << "inward " << c.inward;
    // The plain copy stays where it was; its edge away from the shift is never covered.
    const QRect ink = BoundsOf(image, kInk);
    if (c.inward) {
      EXPECT_EQ(ink.topLeft(), glyphs.topLeft());
    } else {
      EXPECT_EQ(ink.bottomRight(), glyphs.bottomRight());
    }
  }
}

TEST(TextLabel, GradientSteps100BandsOrOnePerPixelOnNarrowLabels) {
  const QColor start(0, 0, 0);
  const QColor end(200, 100, 50);

  LabelFixture narrow("", lamp::SS_LEFT, QSize(50, 10));
  narrow.label.SetFill(start, end, true);
  const QImage thin = Grab(narrow.label);
  for (int x = 0; x < 50; ++x) {
    ASSERT_EQ(QColor(thin.pixel(x, 5)), QColor(4 * x, 2 * x, x)) << "x " << x;
  }

  LabelFixture wide("", lamp::SS_LEFT, QSize(300, 10));
  wide.label.SetFill(start, end, true);
  const QImage broad = Grab(wide.label);
  for (int band : {0, 1, 50, 99}) {
    // 100 bands of 3 pixels; each part steps by (end - start) * 256 / 100 in 1/256.
    const QColor expected((200 * 256 / 100) * band / 256, (100 * 256 / 100) * band / 256,
                          (50 * 256 / 100) * band / 256);
    for (int x = 3 * band; x < 3 * band + 3; ++x) {
      ASSERT_EQ(QColor(broad.pixel(x, 5)), expected) << "band " << band << " x " << x;
    }
  }
}

TEST(TextLabel, BlinkingTextAlternatesWithTheBackgroundUntilSwitchedOff) {
  LabelFixture fixture("ON");
  TextLabel& label = fixture.label;
  label.SetBlinkText(true);
  EXPECT_TRUE(label.timerRunning(TextLabel::kFlashTimer));
  EXPECT_EQ(label.timerInterval(TextLabel::kFlashTimer), 500);
  EXPECT_EQ(label.flashPhase(), 0);
  EXPECT_EQ(CountOf(Grab(label), kInk), 0) << "phase 0 hides the text in the fill colour";
  label.onTimer(TextLabel::kFlashTimer);
  EXPECT_GT(CountOf(Grab(label), kInk), 20);
  label.onTimer(TextLabel::kFlashTimer);
  EXPECT_EQ(CountOf(Grab(label), kInk), 0);

  label.SetBlinkText(false);
  EXPECT_FALSE(label.timerRunning(TextLabel::kFlashTimer));
  EXPECT_GT(CountOf(Grab(label), kInk), 20) << "stopped in the hidden phase, the text shows";

  // Without an own fill the text hides in black.
  LabelFixture bare("ON");
  bare.label.SetFill(kPaper, kPaper, true).SetInkColour(QColor(255, 0, 0)).SetBlinkText(true);
  EXPECT_EQ(CountOf(Grab(bare.label), QColor(255, 0, 0)), 0);
  EXPECT_GT(CountOf(Grab(bare.label), QColor(0, 0, 0)), 20);
}

TEST(TextLabel, SeeThroughLabelShowsTheParentsGroundInsteadOfItsFill) {
  // The parent paints itself a colour of its own; a see-through label draws no ground of its
  // own, an ordinary one covers the parent with its fill.
  struct Ground : QWidget {
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 128, 0)); }
  };
  for (const bool seeThrough : {false, true}) {
    SCOPED_TRACE(seeThrough);
    Ground parent;
    parent.resize(180, 80);
    TextLabel label;
    ASSERT_TRUE(label.Create("25", lamp::WS_VISIBLE | lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                             QRect(10, 10, 160, 60), &parent, 20000));
    label.SetFontDescription(CrispFont()).SetFill(kPaper, kPaper, false).SetInkColour(kInk);
    label.SetSeeThrough(seeThrough);
    parent.show();
    const QImage picture = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The label's corner, away from its text.
    const QColor corner = picture.pixelColor(12, 12);
    EXPECT_EQ(corner, seeThrough ? QColor(0, 128, 0) : kPaper);
    EXPECT_GT(CountOf(picture, kInk), 20) << "the text shows either way";
  }
}

TEST(TextLabel, CaptionNeedsTheWindowAndCanBeSetFromAWorker) {
  QWidget parent;
  TextLabel label;
  EXPECT_EQ(&label.SetCaption("early"), &label);
  EXPECT_EQ(label.GetCaption(), QString());

  ASSERT_TRUE(label.Create("first", lamp::WS_VISIBLE, QRect(0, 0, 100, 100), &parent, 20000));
  EXPECT_FALSE(label.Create("again", lamp::WS_VISIBLE, QRect(0, 0, 100, 100), &parent, 20000));
  EXPECT_EQ(label.GetCaption(), "first");

  QString seen;
  std::thread worker([&] {
    label.SetCaption("ON");
    seen = label.GetCaption();
  });
  lamp::JoinServicing(worker);
  EXPECT_EQ(seen, "ON");
}

TEST(TextLabel, VerticalCentringAppliesToSingleLinesOnly) {
  const QSize size(160, 80);
  LabelFixture single("Fan", lamp::SS_CENTER | lamp::SS_CENTERIMAGE, size);
  const QRect one = BoundsOf(Grab(single.label), kInk);
  EXPECT_LE(std::abs((one.top() - 0) - (size.height() - 1 - one.bottom())), 3);
  EXPECT_LE(std::abs(one.left() - (size.width() - 1 - one.right())), 3);

  LabelFixture multi("Fan\r\nOFF", lamp::SS_CENTER | lamp::SS_CENTERIMAGE, size);
  const QRect two = BoundsOf(Grab(multi.label), kInk);
  EXPECT_LT(two.top(), 8) << "multi-line text starts at the top";
  EXPECT_GT(two.height(), one.height() * 3 / 2) << "the line break is honoured";
  EXPECT_LE(std::abs(two.left() - (size.width() - 1 - two.right())), 3);
}

TEST(TextLabel, RotatedTextTurnsAroundTheCentre) {
  LabelFixture fixture("WWWW", lamp::SS_LEFT, QSize(120, 120));
  fixture.label.SetAngle(90, true);
  const QRect turned = BoundsOf(Grab(fixture.label), kInk);
  EXPECT_GT(turned.height(), turned.width() * 2);
  // Written upward from the centre on its baseline: everything lies above the centre row.
  EXPECT_LE(turned.bottom(), 60);
  EXPECT_EQ(fixture.label.fontDescription().escapement, 900);
}

class NotifyRecorder : public lamp::Window {
public:
  NotifyRecorder() {
    onMessage(lamp::WM_NOTIFY, [this](lamp::WParam w, lamp::LParam l) {
      const auto* header = reinterpret_cast<const lamp::NotifyHeader*>(l);
      codes.push_back(header->code);
      ids.push_back(int(w));
      return lamp::LResult(0);
    });
  }
  std::vector<unsigned> codes;
  std::vector<int> ids;
};

struct AddressRecorder {
  AddressRecorder() {
    previous = lamp::SetOpenAddressHook([this](const QString& a) { addresses.push_back(a); });
  }
  ~AddressRecorder() { lamp::SetOpenAddressHook(previous); }
  std::vector<QString> addresses;
  lamp::OpenAddressHook previous;
};

TEST(TextLabel, ClicksOpenLinksOrNotifyTheParent) {
  AddressRecorder opened;
  NotifyRecorder parent;
  parent.resize(300, 100);
  TextLabel label;
  ASSERT_TRUE(
      label.Create("ops@velora.example", lamp::WS_VISIBLE, QRect(0, 0, 200, 30), &parent, 4711));
  parent.show();

  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_TRUE(opened.addresses.empty()) << "a label without a link lets clicks through";

  label.SetMailAddressLink(true, false);
  QTest::mouseClick(&label, Qt::LeftButton);
  label.SetWebLink(true, false);
  QTest::mouseClick(&label, Qt::LeftButton);
  label.SetLinkAddress("www.velora.example");
  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_EQ(opened.addresses, (std::vector<QString>{"mailto:ops@velora.example",
                                                    "ops@velora.example", "www.velora.example"}));
  EXPECT_TRUE(parent.codes.empty());

  label.SetMailAddressLink(true, true);
  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_EQ(opened.addresses.size(), 3u) << "the notifying label opens nothing";
  EXPECT_EQ(parent.codes, std::vector<unsigned>{TextLabel::kClickedCode});
  EXPECT_EQ(parent.ids, std::vector<int>{4711});
}

TEST(TextLabel, DefaultBackgroundFollowsTheSystemButtonColour) {
  const QPalette saved = QApplication::palette();
  QWidget parent;
  TextLabel plain;
  ASSERT_TRUE(plain.Create("", lamp::WS_VISIBLE, QRect(0, 0, 40, 20), &parent, 1));
  QPalette changed = saved;
  changed.setColor(QPalette::Button, QColor(10, 200, 30));
  QApplication::setPalette(changed);
  QCoreApplication::processEvents();
  EXPECT_EQ(QColor(Grab(plain).pixel(5, 5)), QColor(10, 200, 30));
  QApplication::setPalette(saved);
}

TEST(TextLabel, FontSettersEditTheDescription) {
  LabelFixture fixture("25");
  TextLabel& label = fixture.label;
  label.SetTypeface("Verdana", 0).SetPoints(14).SetHeavy(true).SetUnderlined(true);
  const lamp::LogFont& font = label.fontDescription();
  EXPECT_EQ(font.faceName, "Verdana");
  EXPECT_EQ(font.height, -19);
  EXPECT_EQ(font.width, 0);
  EXPECT_EQ(font.weight, 700);
  EXPECT_EQ(font.underline, 1);
  label.SetTypeface(QString(40, QLatin1Char('x')), 0);
  EXPECT_EQ(label.fontDescription().faceName.size(), lamp::kFaceNameLimit);
}

} // namespace
