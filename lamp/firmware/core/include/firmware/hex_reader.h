#pragma once
// Reading of Intel HEX files into the image buffer.
//
// Records: ":" count(2) address(4) type(2) data(2 x count) checksum(2), one per line. Digits may
// be upper or lower case; any other character where a digit is expected counts as 0. A line must
// be exactly 2 x count + 11 characters followed by its newline; a carriage return right before
// the newline is dropped first, so files made on Windows load like the others. Types: 00 data,
// 01 end of file, 02 extended segment address (address = segment x 16 + offset, the offset
// wrapping inside its 64 KiB segment), 04 extended linear address (address = upper word x 65536
// + offset). Types 03, 05 and above fail the load.
//
// The base address (image index 0) is fixed once, by the first data record of the file. A data
// byte whose address lies below the base, or at base + 131072 or beyond, fails the load.
// A load fails on: an unreadable file, a line not starting with ":", a wrong line length, a
// wrong checksum, an unknown record type, an extended address record without its two data
// bytes, a data byte outside the buffer, any line after the end-of-file record (even an empty
// one), or a missing end-of-file record. What was stored before a failure stays in the buffer.

#include <cstdint>
#include <string>
#include <string_view>

#include "firmware/image_buffer.h"

namespace lamp::firmware {

struct HexLoadResult {
  bool ok = false;
  std::uint32_t byteCount = 0;   // data bytes stored, counting overlapping records each time
  std::uint32_t baseAddress = 0; // address of image index 0
  // One past the highest image index stored: the span from the base to the file's last byte,
  // gaps included. Overlapping records count once.
  std::uint32_t span = 0;
};

// The state of one file read. Not thread-safe; one read at a time per reader.
class HexReader {
public:
  // Fills all of `image` with 0xFF, then reads the file at `path` into it.
  [[nodiscard]] HexLoadResult LoadFile(const std::string& path, ImageBuffer& image);
  // As LoadFile, with the file's contents given as text.
  [[nodiscard]] HexLoadResult LoadText(std::string_view text, ImageBuffer& image);

private:
  enum class Mode { Plain, Segment, Linear };

  void Start(ImageBuffer& image);
  // Takes the next piece of the file; false once the load has failed.
  bool Feed(std::string_view chunk);
  HexLoadResult Finish();
  bool ReadLine(std::string_view line);
  bool StoreData(std::uint32_t address, std::string_view line, unsigned count);

  ImageBuffer* image = nullptr;
  std::string pending; // the line read so far, up to its newline
  Mode mode = Mode::Plain;
  std::uint64_t extendedAddress = 0;
  bool baseTaken = false;
  bool endRead = false;
  bool failed = false;
  std::uint32_t byteCount = 0;
  std::uint32_t baseAddress = 0;
  std::uint32_t span = 0;
};

// Reads `path` into `image` with a fresh HexReader.
[[nodiscard]] HexLoadResult LoadHexFile(const std::string& path, ImageBuffer& image);

} // namespace lamp::firmware
