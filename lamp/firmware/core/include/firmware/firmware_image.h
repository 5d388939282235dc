#pragma once
// The memory image the firmware dialog works on: the image buffer with its attributes (which kind
// of image is loaded, its size and base address), the two "Open ... File" commands after their
// file dialog, and the texts of the hexadecimal memory view.
//
// Threads: the commands run on the user-interface thread. The attributes are atomic, so the
// memory view filler and the bootloader writer may read them from their own threads.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "firmware/image_buffer.h"

namespace lamp::firmware {

enum class ImageKind { Program, Data }; // program memory (FLASH), data memory (EEPROM)

// Filters of the file-open dialogs: pairs of description and pattern, each ended by "|".
inline constexpr const char* kProgramFileFilter = "*.*|*.*|*.a90|*.a90|*.hex|*.hex|*.rom|*.rom|";
inline constexpr const char* kDataFileFilter = "*.*|*.*|*.hex|*.hex|*.eep|*.eep|";

// Text of the file label until a file has been loaded.
inline constexpr const char* kNoFileText = "Cdd";

// Columns of one memory view row: the address "%08X", then sixteen bytes "%02X".
using MemoryViewRow = std::array<std::string, 17>;

class FirmwareImage {
public:
  explicit FirmwareImage(ImageBuffer& imageBuffer) : buffer(imageBuffer) {}

  [[nodiscard]] ImageBuffer& Buffer() { return buffer; }
  [[nodiscard]] const ImageBuffer& Buffer() const { return buffer; }

  // First step of both "Open" commands, before the file dialog shows: no image counts as loaded,
  // whatever follows (a cancelled dialog leaves it so).
  void ClearLoaded();

  // Reads `path` as Intel HEX (whatever its extension) after the operator chose it. On success
  // the image of `kind` is loaded: its size is the span from the file's base address to the last
  // byte it stored (bytes in gaps are 0xFF), its base the file's base address; the caller then
  // refreshes the memory view and shows the path. On failure returns false silently: nothing counts
  // as loaded, and the buffer holds what the reader stored before it failed.
  [[nodiscard]] bool OpenFile(ImageKind kind, const std::string& path);

  // Marks an image of `kind` with `size` bytes (at most the buffer's size) at `base` as loaded;
  // the other kind is no longer loaded. Used at the end of a device read.
  void SetLoaded(ImageKind kind, std::uint32_t size, std::uint32_t base);

  [[nodiscard]] bool Loaded(ImageKind kind) const;
  [[nodiscard]] std::uint32_t Size() const { return size.load(); }
  [[nodiscard]] std::uint32_t Base() const { return base.load(); }
  void SetSize(std::uint32_t bytes) {
    size.store(bytes < kImageBufferBytes ? bytes : kImageBufferBytes);
  }
  void SetBase(std::uint32_t address) { base.store(address); }

  // Rows the memory view shows for the current size: size / 16 rounded up.
  [[nodiscard]] std::uint32_t ViewRowCount() const;
  // The texts of row `row` (below ViewRowCount): address base + 16 x row, then image bytes
  // 16 x row to 16 x row + 15. The last row shows all sixteen, including bytes past the image.
  [[nodiscard]] MemoryViewRow ViewRow(std::uint32_t row) const;

private:
  ImageBuffer& buffer;
  std::atomic<bool> programLoaded{false};
  std::atomic<bool> dataLoaded{false};
  std::atomic<std::uint32_t> size{0};
  std::atomic<std::uint32_t> base{0};
};

} // namespace lamp::firmware
