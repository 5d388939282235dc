// The idle panel: with the status poll answered and nothing changing on the machine, the panel
// draws nothing again. Paint events are counted on the real widgets while a scripted controller
// repeats the same replies; a reply that does change something closes each round, so that every
// repeated reply has been applied (and any drawing it asked for done) when the counts are read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <segmenta/digit_display.h>

#include "app/main_window.h"
#include "controls/image_static.h"
#include "controls/text_label.h"
#include "lamp_test/panel_settings.h"
#include "lamp_test/pty_peer.h"
#include "platform/message_box.h"

namespace lamp {
namespace {

using test::PtyPeer;
using test::ReplyFrame;

constexpr int kDeadlineMs = 10000;

// Counts the paint events of every widget of the application.
class PaintCounter : public QObject {
public:
  PaintCounter() { qApp->installEventFilter(this); }
  ~PaintCounter() override { qApp->removeEventFilter(this); }
  int Of(const QWidget* widget) const {
    const auto found = paints_.find(widget);
    return found == paints_.end() ? 0 : found->second;
  }
  void Clear() { paints_.clear(); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints_[watched];
    }
    return false;
  }

private:
  std::map<const QObject*, int> paints_;
};

test::Frame Status(std::int16_t degrees, bool fanOn) {
  return ReplyFrame(7, {static_cast<std::uint8_t>(degrees & 0xFF),
                        static_cast<std::uint8_t>((degrees >> 8) & 0xFF),
                        static_cast<std::uint8_t>(fanOn ? 1 : 0)});
}

test::Frame Levels(std::uint8_t base) {
  return ReplyFrame(2, {base, 0, static_cast<std::uint8_t>(base + 1), 0,
                        static_cast<std::uint8_t>(base + 2), 0, static_cast<std::uint8_t>(base + 3),
                        0});
}

class IdlePanel : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(test::WritePanelSettings(config.path(), peer.SlavePath()));
    window = std::make_unique<MainWindow>();
    window->Initialise();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  void TearDown() override {
    window->close();
    window.reset();
  }

  bool Shows(const TextLabel* label, const QString& text) {
    return QTest::qWaitFor([&] { return label->GetCaption() == text; }, kDeadlineMs);
  }
  // Waits until `widget` has been drawn since the counts were cleared.
  bool Drawn(const QWidget* widget) {
    return QTest::qWaitFor([&] { return paints.Of(widget) > 0; }, kDeadlineMs);
  }

  PtyPeer peer;
  QTemporaryDir config;
  MessageBoxRecorder boxes;
  std::unique_ptr<MainWindow> window;
  PaintCounter paints;
};

TEST_F(IdlePanel, RepeatedStatusAndLevelRepliesDrawNothingAndAChangeDrawsOnlyItsLabel) {
  peer.Write(Levels(10));
  peer.Write(Status(25, false));
  ASSERT_TRUE(Shows(window->TemperatureLabel(), QString::fromUtf8("25\u2103")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->Display(3)->level.load() == 13; }, kDeadlineMs));
  // Round 0 only settles: every drawing asked for by start-up and the first replies is done once
  // its closing change has been drawn.
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    paints.Clear();
    for (int i = 0; i < 4; ++i) {
      peer.Write(Status(25 + round, false));
      peer.Write(Levels(10));
    }
    peer.Write(Status(26 + round, false));
    ASSERT_TRUE(Shows(window->TemperatureLabel(), QStringLiteral("%1\u2103").arg(26 + round)));
    ASSERT_TRUE(Drawn(window->TemperatureLabel()));
    if (round == 0) {
      continue;
    }
    EXPECT_EQ(paints.Of(window->FanLabel()), 0);
    for (int lamp = 0; lamp < 4; ++lamp) {
      EXPECT_EQ(paints.Of(window->Display(lamp)->window), 0) << "display " << lamp;
    }
  }
}

TEST_F(IdlePanel, FanIsAnimatedOnlyWhileItRuns) {
  peer.Write(Status(25, false));
  ASSERT_TRUE(Shows(window->FanLabel(), QStringLiteral("OFF")));
  // Two status polls go by: the stopped fan's picture is not drawn again.
  const auto polls = [&] {
    int n = 0;
    for (const test::Frame& frame : peer.TakeFrames()) {
      n += frame == test::Frame{0x5A, 0x06, 0x01, 0x07, 0x01, 0x03} ? 1 : 0;
    }
    return n;
  };
  (void)polls();
  paints.Clear();
  int seen = 0;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (seen += polls()) >= 2; }, kDeadlineMs));
  peer.Write(Status(25, false));
  peer.Write(Status(27, false));
  ASSERT_TRUE(Shows(window->TemperatureLabel(), QString::fromUtf8("27\u2103")));
  ASSERT_TRUE(Drawn(window->TemperatureLabel()));
  EXPECT_EQ(paints.Of(window->FanPicture()), 0);

  // Running, it turns.
  peer.Write(Status(27, true));
  ASSERT_TRUE(Shows(window->FanLabel(), QStringLiteral("ON")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return paints.Of(window->FanPicture()) >= 3; }, kDeadlineMs));
}

} // namespace
} // namespace lamp
