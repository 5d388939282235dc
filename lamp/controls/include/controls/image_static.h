#pragma once
// CImageStatic: a picture control that shows one image file stretched over its whole client
// area, without keeping the aspect ratio. Any format Qt decodes is accepted (the panel's files
// are BMP). A file that is missing or cannot be decoded shows nothing: the parent's background
// stays visible. Bare names are looked up in the current working directory. GUI thread only.

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

#include "platform/window.h"

namespace lamp {

class CImageStatic : public Window {
public:
  // Longest file name the control takes; a longer one is refused and shows nothing.
  static constexpr int kFileNameLimit = 259;

  CImageStatic();
  ~CImageStatic() override;

  // Makes the control's window: a child of `parent` at `rect` with control ID `id`, visible when
  // `style` has WS_VISIBLE. False when it exists already or there is no parent.
  bool Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id);
  [[nodiscard]] bool hasWindow() const { return created_; }

  // Without a window: returns 0. Otherwise drops the image and the drawing surface it holds,
  // decodes the image again from the stored file name, binds a new surface to the window and
  // returns 1. Drawing happens only once a surface exists.
  int PrepareSurface();

  // Stores `fileName`, decodes the file again (every call reads it anew) and repaints.
  void SetImageFile(const QString& fileName);

  [[nodiscard]] const QString& fileName() const { return fileName_; }
  // True when an image was decoded from the file (false for a missing or undecodable file).
  [[nodiscard]] bool hasImage() const { return image_ && !image_->isNull(); }
  [[nodiscard]] bool hasSurface() const { return surface_; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void LoadImage();

  QString fileName_;
  std::unique_ptr<QImage> image_;
  bool surface_ = false;
  bool created_ = false;
};

} // namespace lamp
