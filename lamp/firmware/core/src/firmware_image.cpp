#include "firmware/firmware_image.h"

#include <cstdio>

#include "firmware/hex_reader.h"

namespace lamp::firmware {

void FirmwareImage::ClearLoaded() {
  programLoaded.store(false);
  dataLoaded.store(false);
}

bool FirmwareImage::OpenFile(ImageKind kind, const std::string& path) {
  ClearLoaded();
  const HexLoadResult result = LoadHexFile(path, buffer);
  if (!result.ok) {
    return false;
  }
  // The size is the span from the base to the last byte the file stored, for both kinds: the
  // number of data bytes would cut a file with gaps short (and grow with overlapping records),
  // and one less would leave the last byte of a data image unwritten and unshown.
  SetLoaded(kind, result.span, result.baseAddress);
  return true;
}

void FirmwareImage::SetLoaded(ImageKind kind, std::uint32_t bytes, std::uint32_t address) {
  SetSize(bytes);
  base.store(address);
  programLoaded.store(kind == ImageKind::Program);
  dataLoaded.store(kind == ImageKind::Data);
}

bool FirmwareImage::Loaded(ImageKind kind) const {
  return kind == ImageKind::Program ? programLoaded.load() : dataLoaded.load();
}

std::uint32_t FirmwareImage::ViewRowCount() const {
  return (Size() + 15) / 16;
}

MemoryViewRow FirmwareImage::ViewRow(std::uint32_t row) const {
  MemoryViewRow texts;
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(Base() + 16 * row));
  texts[0] = text;
  for (std::uint32_t column = 0; column < 16; ++column) {
    const std::uint32_t index = 16 * row + column;
    if (index >= kImageBufferBytes) {
      break;
    }
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(buffer[index]));
    texts[column + 1] = text;
  }
  return texts;
}

} // namespace lamp::firmware
