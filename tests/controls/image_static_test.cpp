// CImageStatic: stretched drawing, missing files, the order of set-up calls.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "controls/image_static.h"
#include "controls/window_styles.h"
#include "pixels.h"

namespace {

using lamp::CImageStatic;
using lamp::test::CountOf;
using lamp::test::Grab;

const QColor kLeft(255, 0, 0);
const QColor kRight(0, 0, 255);
const QColor kParent(0, 160, 0);

// A parent that paints its own background, so that whatever the image leaves uncovered shows.
struct Panel {
  Panel() {
    widget.resize(140, 60);
    QPalette colours = widget.palette();
    colours.setColor(QPalette::Window, kParent);
    widget.setPalette(colours);
    widget.setAutoFillBackground(true);
  }
  QWidget widget;
};

// A 1280 x 60 strip: left half red, right half blue.
QString WriteStrip(const QTemporaryDir& dir) {
  QImage strip(1280, 60, QImage::Format_RGB32);
  QPainter painter(&strip);
  painter.fillRect(0, 0, 640, 60, kLeft);
  painter.fillRect(640, 0, 640, 60, kRight);
  painter.end();
  const QString path = dir.filePath("img_strip.bmp");
  EXPECT_TRUE(strip.save(path, "BMP"));
  return path;
}

TEST(CImageStatic, StretchesTheWholeImageOverTheControlIgnoringAspect) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  WriteStrip(dir);
  const QString previous = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path())); // bare names are looked up here

  Panel panel;
  CImageStatic image;
  ASSERT_TRUE(image.Create(lamp::WS_VISIBLE, QRect(20, 20, 100, 20), &panel.widget, 1000));
  EXPECT_EQ(image.PrepareSurface(), 1);
  image.SetImageFile("img_strip.bmp");
  QDir::setCurrent(previous);

  const QImage shown = Grab(panel.widget).copy(20, 20, 100, 20);
  EXPECT_EQ(CountOf(shown, kParent), 0) << "the image covers the control exactly";
  for (const QPoint p : {QPoint(0, 0), QPoint(45, 10), QPoint(0, 19)}) {
    EXPECT_EQ(QColor(shown.pixel(p)), kLeft) << p.x() << "," << p.y();
  }
  for (const QPoint p : {QPoint(99, 19), QPoint(55, 10), QPoint(99, 0)}) {
    EXPECT_EQ(QColor(shown.pixel(p)), kRight) << p.x() << "," << p.y();
  }
  const QImage around = Grab(panel.widget);
  EXPECT_EQ(QColor(around.pixel(19, 30)), kParent);
  EXPECT_EQ(QColor(around.pixel(120, 30)), kParent);
}

TEST(CImageStatic, MissingFileOrNoSurfaceShowsOnlyTheParent) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString strip = WriteStrip(dir);

  CImageStatic early;
  EXPECT_EQ(early.PrepareSurface(), 0) << "no window yet";

  Panel panel;
  CImageStatic missing;
  ASSERT_TRUE(missing.Create(lamp::WS_VISIBLE, QRect(0, 0, 40, 40), &panel.widget, 1));
  EXPECT_EQ(missing.PrepareSurface(), 1);
  missing.SetImageFile(dir.filePath("no_such_file.bmp"));
  EXPECT_FALSE(missing.hasImage());

  CImageStatic unprepared;
  ASSERT_TRUE(unprepared.Create(lamp::WS_VISIBLE, QRect(50, 0, 40, 40), &panel.widget, 2));
  unprepared.SetImageFile(strip);
  EXPECT_TRUE(unprepared.hasImage()) << "decoded, but not drawn without a surface";

  CImageStatic tooLong;
  ASSERT_TRUE(tooLong.Create(lamp::WS_VISIBLE, QRect(100, 0, 40, 40), &panel.widget, 3));
  EXPECT_EQ(tooLong.PrepareSurface(), 1);
  // A real file whose name is beyond the limit is refused, not cut to some other name.
  const QString folder = dir.filePath(QString(CImageStatic::kFileNameLimit - 20, QLatin1Char('d')));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString longName = folder + "/img_strip.bmp";
  ASSERT_TRUE(QFile::copy(strip, longName));
  ASSERT_GT(longName.size(), CImageStatic::kFileNameLimit);
  tooLong.SetImageFile(longName);
  EXPECT_FALSE(tooLong.hasImage());

  const QImage shown = Grab(panel.widget);
  EXPECT_EQ(CountOf(shown, kParent), shown.width() * shown.height());

  // Preparing again keeps the file and now draws it.
  EXPECT_EQ(unprepared.PrepareSurface(), 1);
  EXPECT_EQ(unprepared.PrepareSurface(), 1);
  EXPECT_EQ(QColor(Grab(panel.widget).pixel(55, 20)), kLeft);
}

} // namespace
