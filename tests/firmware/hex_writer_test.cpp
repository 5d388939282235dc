// Intel HEX writing: record layout, and files that load back byte for byte with the program's own
// reader and with the real tools of binutils and srecord.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/hex_reader.h"
#include "firmware/hex_writer.h"

namespace fs = std::filesystem;
using namespace lamp::firmware;

namespace {

class TempDir {
public:
  TempDir() {
    char pattern[] = "/tmp/lamp-hexw-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> bytes(count);
  for (std::uint8_t& b : bytes) {
    b = static_cast<std::uint8_t>(random());
  }
  return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::uint8_t> ReadBinary(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Layout {
  const char* what;
  std::uint32_t base;
  std::size_t count;
  HexRecordBytes recordBytes;
};

// Bases off record boundaries and images that pass one or two 64 KiB boundaries, or start above.
const std::vector<Layout> kLayouts = {
    {"whole buffer at 0, 16-byte records", 0, kImageBufferBytes, HexRecordBytes::Sixteen},
    {"whole buffer at 0, 32-byte records", 0, kImageBufferBytes, HexRecordBytes::ThirtyTwo},
    {"boot section at 0x1C00", 0x1C00, 1000, HexRecordBytes::Sixteen},
    {"odd base straddling 64 KiB", 0xFFF5, 300, HexRecordBytes::ThirtyTwo},
    {"base above 64 KiB passing 128 KiB", 0x1FF03, 70000, HexRecordBytes::Sixteen},
    {"one byte", 0x12345, 1, HexRecordBytes::ThirtyTwo},
};

} // namespace

TEST(HexWriter, RecordsAreSizedAndAddressedAsTheFormatWants) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.what);
    const std::vector<std::uint8_t> bytes = RandomBytes(layout.count, 3);
    const std::vector<std::string> lines =
        Lines(HexText(bytes.data(), bytes.size(), layout.base, layout.recordBytes));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), ":00000001FF");
    const unsigned perRecord = static_cast<unsigned>(layout.recordBytes);
    std::uint64_t upper = 0;
    std::uint64_t next = layout.base; // address the next data record must start at
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      const std::string& line = lines[i];
      const unsigned count = std::stoul(line.substr(1, 2), nullptr, 16);
      const unsigned offset = std::stoul(line.substr(3, 4), nullptr, 16);
      const unsigned type = std::stoul(line.substr(7, 2), nullptr, 16);
      ASSERT_EQ(line.size(), 11 + 2 * count) << line;
      if (type == 0x04) {
        const std::uint64_t word = std::stoul(line.substr(9, 4), nullptr, 16);
        EXPECT_EQ(word, next >> 16) << "an 04 record only where the upper word changes";
        EXPECT_NE(word, upper);
        upper = word;
        continue;
      }
      ASSERT_EQ(type, 0x00u) << line;
      EXPECT_EQ(upper * 0x10000 + offset, next) << line;
      EXPECT_LE(count, perRecord);
      EXPECT_LE(offset + count, 0x10000u) << "a record never passes a 64 KiB boundary";
      // Only the image's last record or one ending at a 64 KiB boundary is short.
      if (count < perRecord) {
        EXPECT_TRUE(next + count == layout.base + layout.count || (next + count) % 0x10000 == 0)
            << line;
      }
      next += count;
    }
    EXPECT_EQ(next, layout.base + layout.count);
  }
}

TEST(HexWriter, WrittenFilesLoadBackByteForByteWithOurReaderAndRealTools) {
  TempDir dir;
  unsigned seed = 20;
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.what);
    const std::vector<std::uint8_t> bytes = RandomBytes(layout.count, ++seed);
    const fs::path hex = dir.path / "image.hex";
    ASSERT_TRUE(SaveHexFile(hex, bytes.data(), bytes.size(), layout.base, layout.recordBytes));
    EXPECT_FALSE(fs::exists(dir.path / "image.hex.part"));

    ImageBuffer image;
    const HexLoadResult result = LoadHexFile(hex, image);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.baseAddress, layout.base);
    EXPECT_EQ(result.byteCount, layout.count);
    EXPECT_EQ(std::memcmp(image.Data(), bytes.data(), bytes.size()), 0);

    // objcopy's binary starts at the lowest address; srec_cat's at address 0.
    const fs::path objcopyOut = dir.path / "objcopy.bin";
    const fs::path srecOut = dir.path / "srec.bin";
    ASSERT_EQ(std::system(("objcopy -I ihex -O binary " + hex.string() + " " + objcopyOut.string() +
                           " 2>&1")
                              .c_str()),
              0);
    EXPECT_EQ(ReadBinary(objcopyOut), bytes);
    ASSERT_EQ(std::system(
                  ("srec_cat " + hex.string() + " -intel -o " + srecOut.string() + " -binary 2>&1")
                      .c_str()),
              0);
    const std::vector<std::uint8_t> srec = ReadBinary(srecOut);
    ASSERT_EQ(srec.size(), layout.base + layout.count);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), srec.begin() + layout.base));
  }
}

TEST(HexWriter, FailedSaveLeavesNoFileAndTheOldOneUntouched) {
  TempDir dir;
  const std::vector<std::uint8_t> bytes = RandomBytes(64, 5);
  EXPECT_FALSE(SaveHexFile(dir.path / "missing" / "x.hex", bytes.data(), bytes.size(), 0));
  EXPECT_FALSE(fs::exists(dir.path / "missing"));

  // An image that would reach past the 32-bit address space is refused, not wrapped to 0.
  const fs::path kept = dir.path / "kept.hex";
  std::ofstream(kept) << "old";
  EXPECT_EQ(HexText(bytes.data(), bytes.size(), 0xFFFFFFF0u), "");
  EXPECT_FALSE(SaveHexFile(kept, bytes.data(), bytes.size(), 0xFFFFFFF0u));
  EXPECT_EQ(ReadBinary(kept), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(HexText(bytes.data(), 16, 0xFFFFFFF0u).substr(0, 15), ":02000004FFFFFC");

  // Saving over an existing file replaces it whole.
  ASSERT_TRUE(SaveHexFile(kept, bytes.data(), bytes.size(), 0));
  ImageBuffer image;
  ASSERT_TRUE(LoadHexFile(kept, image).ok);
  EXPECT_EQ(std::memcmp(image.Data(), bytes.data(), bytes.size()), 0);
}
