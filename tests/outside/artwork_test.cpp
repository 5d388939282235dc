// The generated artwork: every file the program looks for is there with its size, and each strip
// cut into its cells gives pictures that the transparent colour frames but never fills.

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>
#include <lamp_res/artwork.h>
#include <set>

namespace {

using namespace lamp_res;

QImage Load(const char* file) {
  return QImage(QStringLiteral(LAMP_RES_DIR "/") + file);
}

TEST(Artwork, PanelPicturesHaveTheirSizes) {
  std::vector<Picture> pictures = {kLogo,    kName,        kLine,    kCursor,
                                   kPercent, kThermometer, kAppIcon, kAppIconSmall};
  pictures.insert(pictures.end(), std::begin(kFan), std::end(kFan));
  for (const Picture& picture : pictures) {
    SCOPED_TRACE(picture.file);
    const QImage image = Load(picture.file);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(picture.width, picture.height));
  }
  // The fan turns: no two frames alike.
  std::set<QByteArray> frames;
  for (const Picture& frame : kFan) {
    const QImage image = Load(frame.file).convertToFormat(QImage::Format_RGB32);
    frames.insert(
        QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
  }
  EXPECT_EQ(frames.size(), 4u);
}

TEST(Artwork, StripCellsAreFramedByTheTransparentColour) {
  for (const Strip& strip :
       {kLampButtons, kUserButtons, kArrows, kCommands, kReadWrite, kOkCancel, kToolBar}) {
    SCOPED_TRACE(strip.file);
    const QImage image = Load(strip.file).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(strip.width, strip.height));
    const QRgb key = QColor(strip.transparent.r, strip.transparent.g, strip.transparent.b).rgb();
    std::set<QByteArray> cells;
    for (int x0 = 0; x0 < strip.width; x0 += strip.cellWidth) {
      SCOPED_TRACE(x0 / strip.cellWidth);
      const QImage cell = image.copy(x0, 0, strip.cellWidth, strip.cellHeight);
      int keyed = 0;
      for (int y = 0; y < cell.height(); ++y) {
        for (int x = 0; x < cell.width(); ++x) {
          keyed += cell.pixel(x, y) == key ? 1 : 0;
        }
      }
      EXPECT_EQ(cell.pixel(0, 0), key) << "the corner is transparent";
      EXPECT_LT(keyed, cell.width() * cell.height() * 9 / 10) << "the cell holds a picture";
      cells.insert(QByteArray(reinterpret_cast<const char*>(cell.constBits()), cell.sizeInBytes()));
    }
    EXPECT_EQ(cells.size(), static_cast<std::size_t>(strip.width / strip.cellWidth))
        << "every cell differs from the others";
  }
}

} // namespace
