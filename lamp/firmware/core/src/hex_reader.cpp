#include "firmware/hex_reader.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace lamp::firmware {
namespace {

// Longest line the reader takes, newline not counted; the longest record is 521 characters.
constexpr std::size_t kMaxLineChars = 1022;

unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  return 0;
}

// The byte written as two digits at `pos`; characters past the line count as 0.
unsigned ByteAt(std::string_view line, std::size_t pos) {
  const char high = pos < line.size() ? line[pos] : '0';
  const char low = pos + 1 < line.size() ? line[pos + 1] : '0';
  return DigitValue(high) * 16 + DigitValue(low);
}

} // namespace

void HexReader::Start(ImageBuffer& target) {
  image = &target;
  image->Fill(0xFF);
  pending.clear();
  mode = Mode::Plain;
  extendedAddress = 0;
  baseTaken = false;
  endRead = false;
  failed = false;
  byteCount = 0;
  baseAddress = 0;
  span = 0;
}

bool HexReader::Feed(std::string_view chunk) {
  while (!failed && !chunk.empty()) {
    const std::size_t newline = chunk.find('\n');
    const std::string_view piece = chunk.substr(0, newline);
    if (pending.size() + piece.size() > kMaxLineChars + 1) {
      failed = true; // far longer than any record; also keeps memory bounded
      break;
    }
    pending.append(piece);
    if (newline == std::string_view::npos) {
      break;
    }
    chunk.remove_prefix(newline + 1);
    if (!pending.empty() && pending.back() == '\r') {
      pending.pop_back();
    }
    failed = !ReadLine(pending);
    pending.clear();
  }
  return !failed;
}

HexLoadResult HexReader::Finish() {
  // A last line without its newline has the wrong length, even the end-of-file record.
  if (!pending.empty()) {
    failed = true;
  }
  return {!failed && endRead, byteCount, baseAddress, span};
}

HexLoadResult HexReader::LoadText(std::string_view text, ImageBuffer& target) {
  Start(target);
  (void)Feed(text);
  return Finish();
}

HexLoadResult HexReader::LoadFile(const std::string& path, ImageBuffer& target) {
  Start(target);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    return {false, byteCount, baseAddress, span};
  }
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    if (!Feed(std::string_view(chunk, got))) {
      return {false, byteCount, baseAddress, span};
    }
  }
  if (std::ferror(file.get())) {
    return {false, byteCount, baseAddress, span};
  }
  return Finish();
}

bool HexReader::ReadLine(std::string_view line) {
  if (endRead || line.empty() || line[0] != ':') {
    return false;
  }
  // A NUL ends a line read as text, so such a line cannot have its full length.
  if (line.find('\0') != std::string_view::npos) {
    return false;
  }
  const unsigned count = ByteAt(line, 1);
  if (line.size() != 2 * count + 11) {
    return false;
  }
  const unsigned addressHigh = ByteAt(line, 3);
  const unsigned addressLow = ByteAt(line, 5);
  const unsigned type = ByteAt(line, 7);
  unsigned sum = count + addressHigh + addressLow + type;
  for (unsigned i = 0; i < count; ++i) {
    sum += ByteAt(line, 9 + 2 * i);
  }
  const unsigned checksum = ByteAt(line, 9 + 2 * count);
  if (((sum + checksum) & 0xFF) != 0) {
    return false;
  }
  const std::uint32_t offset = addressHigh * 256 + addressLow;
  switch (type) {
  case 0x00:
    return StoreData(offset, line, count);
  case 0x01:
    endRead = true;
    return true;
  case 0x02:
  case 0x04: {
    if (count != 2) {
      return false;
    }
    const std::uint64_t value = ByteAt(line, 9) * 256 + ByteAt(line, 11);
    mode = type == 0x02 ? Mode::Segment : Mode::Linear;
    extendedAddress = type == 0x02 ? value * 16 : value * 65536;
    return true;
  }
  default:
    return false;
  }
}

bool HexReader::StoreData(std::uint32_t offset, std::string_view line, unsigned count) {
  const auto addressOf = [&](unsigned i) -> std::uint64_t {
    switch (mode) {
    case Mode::Segment:
      return extendedAddress + ((offset + i) & 0xFFFF);
    case Mode::Linear:
      return extendedAddress + offset + i;
    case Mode::Plain:
      break;
    }
    return std::uint64_t{offset} + i;
  };
  if (!baseTaken) {
    // The base lies within 32 bits: the upper word is at most 0xFFFF.
    baseAddress = static_cast<std::uint32_t>(addressOf(0));
    baseTaken = true;
  }
  for (unsigned i = 0; i < count; ++i) {
    const std::uint64_t address = addressOf(i);
    if (address < baseAddress || address - baseAddress >= kImageBufferBytes) {
      return false;
    }
    const auto index = static_cast<std::uint32_t>(address - baseAddress);
    (*image)[index] = static_cast<std::uint8_t>(ByteAt(line, 9 + 2 * i));
    ++byteCount;
    span = std::max(span, index + 1);
  }
  return true;
}

HexLoadResult LoadHexFile(const std::string& path, ImageBuffer& image) {
  HexReader reader;
  return reader.LoadFile(path, image);
}

} // namespace lamp::firmware
