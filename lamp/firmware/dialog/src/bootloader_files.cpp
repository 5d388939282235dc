// CBootloader's file commands: "Open Program(FLASH) File" and "Open Data(EEPROM) File" read an
// image through the file-open dialog; "Save Program(FLASH) File" and "Save Data(EEPROM) File"
// write the image in the buffer as Intel HEX through the file-save dialog.
#include <QFileDialog>

#include "controls/text_label.h"
#include "firmware/hex_writer.h"
#include "firmware_dialog/bootloader.h"

namespace lamp {

using firmware::ImageKind;

namespace {

QString FilterOf(ImageKind kind) {
  return CBootloader::QtFileFilter(kind == ImageKind::Program ? firmware::kProgramFileFilter
                                                              : firmware::kDataFileFilter);
}

const char* MemoryName(ImageKind kind) {
  return kind == ImageKind::Program ? "Program(FLASH)" : "Data(EEPROM)";
}

} // namespace

QString CBootloader::ChooseFileToOpen(QWidget* owner, const QString& filter) {
  return QFileDialog::getOpenFileName(owner, {}, {}, filter);
}

QString CBootloader::ChooseFileToSave(QWidget* owner, const QString& filter) {
  QString hexFilter = QStringLiteral("*.hex (*.hex)");
  return QFileDialog::getSaveFileName(owner, {}, {}, filter,
                                      filter.contains(hexFilter) ? &hexFilter : nullptr);
}

void CBootloader::OpenImageFile(ImageKind kind) {
  image_.ClearLoaded();
  const QString path = chooseFile_(this, FilterOf(kind));
  if (path.isEmpty() || shutDown_) {
    return;
  }
  if (!image_.OpenFile(kind, path.toLocal8Bit().toStdString())) {
    return;
  }
  viewFiller_->Refresh();
  labels_[0]->SetCaption(path);
}

void CBootloader::SaveImageFile(ImageKind kind) {
  // Only an image of this kind, loaded from a file or read from the device, is saved.
  if (!image_.Loaded(kind) || image_.Size() == 0) {
    return;
  }
  const QString path = chooseSaveFile_(this, FilterOf(kind));
  // The file dialog runs its own event loop: the dialog may have closed, or a read begun.
  if (path.isEmpty() || shutDown_ || !image_.Loaded(kind)) {
    return;
  }
  const std::uint32_t size = image_.Size();
  const bool saved = firmware::SaveHexFile(path.toLocal8Bit().toStdString(), image_.Buffer().Data(),
                                           size, image_.Base());
  const QString memory = QString::fromLatin1(MemoryName(kind));
  ShowStatus(saved
                 ? QStringLiteral("%1 image saved: %2 bytes to %3.").arg(memory).arg(size).arg(path)
                 : QStringLiteral("%1 image not saved: %2 cannot be written.").arg(memory, path),
             saved);
}

} // namespace lamp
