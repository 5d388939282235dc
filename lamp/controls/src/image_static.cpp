#include "controls/image_static.h"

#include <QImageReader>
#include <QPainter>

#include "controls/window_styles.h"

namespace lamp {

CImageStatic::CImageStatic() = default;
CImageStatic::~CImageStatic() = default;

bool CImageStatic::Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id) {
  if (created_ || parent == nullptr) {
    return false;
  }
  setParent(parent);
  setControlId(id);
  setGeometry(rect);
  created_ = true;
  setVisible((style & WS_VISIBLE) != 0);
  return true;
}

int CImageStatic::PrepareSurface() {
  if (!created_) {
    return 0;
  }
  image_.reset();
  surface_ = false;
  LoadImage();
  surface_ = true;
  update();
  return 1;
}

void CImageStatic::SetImageFile(const QString& fileName) {
  fileName_ = fileName;
  LoadImage();
  update();
}

void CImageStatic::LoadImage() {
  // A decode failure leaves a null image, which draws nothing.
  image_ = std::make_unique<QImage>();
  if (fileName_.isEmpty() || fileName_.size() > kFileNameLimit) {
    return;
  }
  QImageReader reader(fileName_);
  reader.setAutoTransform(false);
  (void)reader.read(image_.get());
}

void CImageStatic::paintEvent(QPaintEvent*) {
  if (!surface_ || !hasImage()) {
    return;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(rect()), *image_, QRectF(image_->rect()));
}

} // namespace lamp
