// MakeCaptionLabel: the caption look the panel and the dialogs share, and what differs per window.
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include "controls/caption_label.h"
#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "pixels.h"

namespace {

using lamp::CaptionLook;
using lamp::TextLabel;
using lamp::test::CountOf;

const QColor kGround(0, 128, 0);

struct Ground : QWidget {
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), kGround); }
};

TEST(CaptionLabel, IsAVisibleChildInHeavyVerdanaOfTheLooksSizeAndSlant) {
  const struct {
    CaptionLook look;
    std::uint32_t style;
  } cases[] = {
      {{.emboss = QColor(42, 116, 179), .points = 14}, lamp::SS_CENTER | lamp::SS_CENTERIMAGE},
      {{.emboss = QColor(128, 128, 255), .points = 9, .slanted = true}, lamp::SS_RIGHT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.look.points);
    QWidget parent;
    QFont parentFont = parent.font();
    parentFont.setItalic(!c.look.slanted); // the look decides the slant, not the parent's font
    parent.setFont(parentFont);
    TextLabel* label = lamp::MakeCaptionLabel(parent, 20000, c.style, QStringLiteral("25"), c.look);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), &parent);
    EXPECT_EQ(label->controlId(), 20000);
    EXPECT_TRUE(label->hasWindow());
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(label->geometry(), QRect(0, 0, 100, 100));
    EXPECT_EQ(label->GetCaption(), QStringLiteral("25"));
    const lamp::LogFont& font = label->fontDescription();
    EXPECT_EQ(font.faceName, QStringLiteral("Verdana"));
    EXPECT_EQ(font.weight, 700);
    EXPECT_EQ(font.height, lamp::PointsToHeight(c.look.points));
    EXPECT_EQ(font.italic != 0, c.look.slanted);
  }
}

TEST(CaptionLabel, DrawsItsEmbossColourOverTheParentsGround) {
  // A pure red inward copy on the parent's green: see-through, so the ground shows around the
  // letters, and the embossed copy in the look's colour.
  const QColor emboss(255, 0, 0);
  Ground parent;
  parent.resize(120, 60);
  TextLabel* label =
      lamp::MakeCaptionLabel(parent, 20000, lamp::SS_CENTER | lamp::SS_CENTERIMAGE,
                             QStringLiteral("OFF"), {.emboss = emboss, .points = 14});
  label->setGeometry(10, 10, 100, 40);
  parent.show();
  const QImage picture = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(picture.pixelColor(12, 12), kGround);
  EXPECT_GT(CountOf(picture, emboss), 20);
}

} // namespace
