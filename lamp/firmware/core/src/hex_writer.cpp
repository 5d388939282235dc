#include "firmware/hex_writer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace lamp::firmware {
namespace {

constexpr unsigned kDataRecord = 0x00;
constexpr unsigned kEndRecord = 0x01;
constexpr unsigned kLinearAddressRecord = 0x04;
constexpr std::uint64_t kSegmentBytes = 0x10000;

void AppendRecord(std::string& text, unsigned type, unsigned offset, const std::uint8_t* data,
                  unsigned count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto appendByte = [&](unsigned byte) {
    text += kDigits[(byte >> 4) & 0xF];
    text += kDigits[byte & 0xF];
  };
  unsigned sum = count + (offset >> 8) + (offset & 0xFF) + type;
  text += ':';
  appendByte(count);
  appendByte(offset >> 8);
  appendByte(offset & 0xFF);
  appendByte(type);
  for (unsigned i = 0; i < count; ++i) {
    appendByte(data[i]);
    sum += data[i];
  }
  appendByte((0x100 - (sum & 0xFF)) & 0xFF);
  text += '\n';
}

} // namespace

std::string HexText(const std::uint8_t* bytes, std::size_t count, std::uint32_t base,
                    HexRecordBytes recordBytes) {
  const std::uint64_t end = std::uint64_t{base} + count;
  if (end > 0x100000000ULL) {
    return {};
  }
  const unsigned perRecord = static_cast<unsigned>(recordBytes);
  std::string text;
  text.reserve(count / perRecord * (11 + 2 * perRecord + 1) + 64);
  std::uint64_t upperWord = 0; // the reader starts with an upper word of 0
  std::size_t index = 0;
  while (index < count) {
    const std::uint64_t address = std::uint64_t{base} + index;
    if (address / kSegmentBytes != upperWord) {
      upperWord = address / kSegmentBytes;
      const std::uint8_t word[2] = {static_cast<std::uint8_t>(upperWord >> 8),
                                    static_cast<std::uint8_t>(upperWord & 0xFF)};
      AppendRecord(text, kLinearAddressRecord, 0, word, 2);
    }
    const std::uint64_t toSegmentEnd = kSegmentBytes - address % kSegmentBytes;
    std::uint64_t length = perRecord;
    length = std::min<std::uint64_t>(length, count - index);
    length = std::min<std::uint64_t>(length, toSegmentEnd);
    AppendRecord(text, kDataRecord, static_cast<unsigned>(address % kSegmentBytes), bytes + index,
                 static_cast<unsigned>(length));
    index += static_cast<std::size_t>(length);
  }
  AppendRecord(text, kEndRecord, 0, nullptr, 0);
  return text;
}

bool SaveHexFile(const std::string& path, const std::uint8_t* bytes, std::size_t count,
                 std::uint32_t base, HexRecordBytes recordBytes) {
  const std::string text = HexText(bytes, count, base, recordBytes);
  if (text.empty()) {
    return false;
  }
  const std::string part = path + ".part";
  {
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
      std::error_code ignored;
      std::filesystem::remove(part, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(part, path, error);
  if (error) {
    std::filesystem::remove(part, error);
    return false;
  }
  return true;
}

} // namespace lamp::firmware
