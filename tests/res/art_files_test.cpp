#include <lamp_res/art_files.h>

#include <QBitmap>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include "lamp_test/temp_folder.h"

namespace {

// Runs a test with the working directory in a fresh folder, and restores it afterwards.
class InFolder {
public:
  InFolder() : previous_(QDir::currentPath()) {
    QDir::setCurrent(QString::fromStdString(folder_.Path().string()));
  }
  ~InFolder() { QDir::setCurrent(previous_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

  [[nodiscard]] QString Path(const char* name) const {
    return QDir(QString::fromStdString(folder_.Path().string())).filePath(QLatin1String(name));
  }

private:
  lamp::test::TempFolder folder_;
  QString previous_;
};

TEST(ArtworkFiles, WorkingDirectoryComesFirstThenTheBuildsArtwork) {
  const InFolder folder;
  // Without a copy in the working directory, the generated arrow strip of the build: 8 cells.
  EXPECT_TRUE(QFileInfo(lamp_res::ArtworkPath(lamp_res::kArrows.file)).isFile());
  EXPECT_EQ(lamp_res::CutStrip(lamp_res::kArrows).size(), 8u);

  // A strip of two and a half cells in the working directory is the one taken.
  QImage own(lamp_res::kArrows.cellWidth * 5 / 2, lamp_res::kArrows.cellHeight,
             QImage::Format_RGB32);
  own.fill(QColor(10, 20, 30));
  own.setPixelColor(1, 1, QColor(255, 0, 255));
  ASSERT_TRUE(own.save(folder.Path(lamp_res::kArrows.file), "BMP"));
  EXPECT_EQ(lamp_res::ArtworkPath(lamp_res::kArrows.file), folder.Path(lamp_res::kArrows.file));

  const std::vector<QPixmap> cells = lamp_res::CutStrip(lamp_res::kArrows);
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].size(), QSize(lamp_res::kArrows.cellWidth, lamp_res::kArrows.cellHeight));
  // The strip's transparent colour (magenta) is masked out, everything else is kept.
  const QImage mask = cells[0].mask().toImage();
  EXPECT_EQ(mask.pixelIndex(1, 1), 0);
  EXPECT_EQ(mask.pixelIndex(2, 1), 1);
  EXPECT_EQ(cells[1].toImage().pixelColor(1, 1), QColor(10, 20, 30));
}

TEST(ArtworkFiles, MissingOrUnreadableFilesGiveNoPictures) {
  const InFolder folder;
  EXPECT_EQ(lamp_res::ArtworkPath("no_such_art.bmp"), QStringLiteral("no_such_art.bmp"));
  EXPECT_TRUE(lamp_res::ArtworkPath("").isEmpty());

  constexpr lamp_res::Strip kMissing{"no_such_strip.bmp", 64, 16, 16, 16, lamp_res::kMagenta};
  EXPECT_TRUE(lamp_res::CutStrip(kMissing).empty());

  // A file of that name that is no picture, and a strip narrower than one cell.
  lamp::test::WriteFile(folder.Path("bmp_toolbar.bmp").toStdString(), "not a bitmap");
  EXPECT_TRUE(lamp_res::CutStrip(lamp_res::kToolBar).empty());
  QImage narrow(lamp_res::kOkCancel.cellWidth - 1, lamp_res::kOkCancel.cellHeight,
                QImage::Format_RGB32);
  narrow.fill(Qt::white);
  ASSERT_TRUE(narrow.save(folder.Path(lamp_res::kOkCancel.file), "BMP"));
  EXPECT_TRUE(lamp_res::CutStrip(lamp_res::kOkCancel).empty());
}

} // namespace
