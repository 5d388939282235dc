#pragma once
// Writing of memory images as Intel HEX files, the format HexReader reads.
//
// The file holds the bytes in order from the base address: data records (00) of `recordBytes`
// bytes each (16 or 32), shorter where the image ends or where a record would pass a 64 KiB
// boundary; an extended linear address record (04) before the first data record when the base
// lies at or above 64 KiB, and wherever the address passes a 64 KiB boundary; the end-of-file
// record (01) last. Lines end with a newline; digits are upper case.
//
// Plain C++ without Qt; no shared state, callable from any thread.

#include <cstddef>
#include <cstdint>
#include <string>

namespace lamp::firmware {

// Data bytes per record; readers of every kind take both.
enum class HexRecordBytes : unsigned { Sixteen = 16, ThirtyTwo = 32 };

// The Intel HEX text of `count` bytes at `bytes`, the first of them at address `base`. An empty
// image gives the end-of-file record alone. Returns an empty string when the image would reach
// past the 32-bit address space.
[[nodiscard]] std::string HexText(const std::uint8_t* bytes, std::size_t count, std::uint32_t base,
                                  HexRecordBytes recordBytes = HexRecordBytes::Sixteen);

// Writes HexText(...) to `path`. The text goes to a file beside it first and replaces `path` only
// once written whole, so a failed save never leaves a cut-off file under the chosen name. Returns
// false (with `path` as before) when the image does not fit the address space or the file cannot
// be written.
[[nodiscard]] bool SaveHexFile(const std::string& path, const std::uint8_t* bytes,
                               std::size_t count, std::uint32_t base,
                               HexRecordBytes recordBytes = HexRecordBytes::Sixteen);

} // namespace lamp::firmware
