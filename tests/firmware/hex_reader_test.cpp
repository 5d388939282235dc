// Intel HEX reading: record rules, base address, extended addresses, and files made by binutils
// and srecord compared byte for byte with the binaries they came from.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "firmware/hex_reader.h"
#include "lamp_test/temp_folder.h"

namespace fs = std::filesystem;
using namespace lamp::firmware;

namespace {

// One record line, newline included, with its checksum.
std::string Record(unsigned type, unsigned address, const std::vector<unsigned>& data) {
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
  char text[16];
  std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                type);
  std::string line = text;
  for (unsigned byte : data) {
    std::snprintf(text, sizeof text, "%02X", byte);
    line += text;
    sum += byte;
  }
  std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
  return line + text;
}

std::string Data(unsigned address, unsigned count, unsigned first = 0) {
  std::vector<unsigned> bytes;
  for (unsigned i = 0; i < count; ++i) {
    bytes.push_back((first + i) & 0xFF);
  }
  return Record(0x00, address, bytes);
}

const std::string kEnd = ":00000001FF\n";

} // namespace

TEST(HexReader, RecordRulesDecideWhetherTheFileLoads) {
  struct Case {
    const char* what;
    std::string text;
    bool ok;
  };
  const std::vector<Case> cases = {
      {"known good record", ":0300300002337A1E\n" + kEnd, true},
      {"lower-case digits", ":0300300002337a1e\n:00000001ff\n", true},
      {"CR LF lines", ":0300300002337A1E\r\n:00000001FF\r\n", true},
      {"end-of-file record only", kEnd, true},
      {"wrong checksum", ":0300300002337A1F\n" + kEnd, false},
      {"checksum off by 0x80", ":0300300002337A9E\n" + kEnd, false},
      {"line one character short", ":0300300002337A1\n" + kEnd, false},
      {"line one character long", ":0300300002337A1E0\n" + kEnd, false},
      {"no colon", "0300300002337A1E\n" + kEnd, false},
      {"empty line before the end", "\n" + kEnd, false},
      {"empty line after the end", kEnd + "\n", false},
      {"record after the end", kEnd + Data(0, 4), false},
      {"no end-of-file record", Data(0, 16), false},
      {"last line without newline", Data(0, 16) + ":00000001FF", false},
      {"empty file", "", false},
      {"record type 03", Record(0x03, 0, {0, 0, 0, 0}) + kEnd, false},
      {"record type 05", Record(0x05, 0, {0, 0, 0, 0}) + kEnd, false},
      {"segment record without its word", Record(0x02, 0, {}) + kEnd, false},
      {"NUL inside a line",
       std::string(":03003000\0"
                   "2337A1E\n",
                   18) +
           kEnd,
       false},
      {"line far too long", std::string(5000, ':') + "\n" + kEnd, false},
  };
  for (const Case& c : cases) {
    ImageBuffer image;
    HexReader reader;
    EXPECT_EQ(reader.LoadText(c.text, image).ok, c.ok) << c.what;
  }
  // A character that is not a digit reads as 0: "7G" is 0x70, and the checksum is made for it.
  ImageBuffer image;
  HexReader reader;
  EXPECT_TRUE(reader.LoadText(":0300300002337G28\n" + kEnd, image).ok);
  EXPECT_EQ(image[2], 0x70);
}

TEST(HexReader, FirstDataRecordFixesTheBase) {
  ImageBuffer image;
  HexReader reader;
  const HexLoadResult result =
      reader.LoadText(Data(0x1C00, 16, 0x40) + Data(0x1C10, 4) + kEnd, image);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.baseAddress, 0x1C00u);
  EXPECT_EQ(result.byteCount, 20u);
  EXPECT_EQ(image[0], 0x40);
  EXPECT_EQ(image[15], 0x4F);
  EXPECT_EQ(image[16], 0x00);
  EXPECT_EQ(image[20], 0xFF); // untouched bytes are 0xFF

  EXPECT_FALSE(reader.LoadText(Data(0x1C00, 16) + Data(0x1BF0, 16) + kEnd, image).ok)
      << "an address below the base fails";
}

TEST(HexReader, BufferEndIsEnforced) {
  ImageBuffer image;
  HexReader reader;
  // Base 0x100, then index 131071 (address 0x200FF) through a linear address record.
  const std::string head = Data(0x100, 1, 0xAA) + Record(0x04, 0, {0x00, 0x02});
  const HexLoadResult last = reader.LoadText(head + Data(0x00FF, 1, 0x5A) + kEnd, image);
  ASSERT_TRUE(last.ok);
  EXPECT_EQ(image[131071], 0x5A);
  // Index 131072, one past the end: fails, and the byte before it in the record is kept.
  const HexLoadResult past = reader.LoadText(head + Data(0x00FF, 2, 0x11) + kEnd, image);
  EXPECT_FALSE(past.ok);
  EXPECT_EQ(image[131071], 0x11);
  EXPECT_EQ(image[0], 0xAA);
}

TEST(HexReader, CountsEveryDataByteAsRead) {
  ImageBuffer image;
  HexReader reader;
  HexLoadResult overlap = reader.LoadText(Data(0, 16, 0) + Data(8, 4, 0xE0) + kEnd, image);
  ASSERT_TRUE(overlap.ok);
  EXPECT_EQ(overlap.byteCount, 20u);
  EXPECT_EQ(image[8], 0xE0);
  EXPECT_EQ(image[12], 12);

  std::string gap;
  for (unsigned a = 0; a < 256; a += 16) {
    gap += Data(a, 16);
  }
  for (unsigned a = 4096; a < 4352; a += 16) {
    gap += Data(a, 16, 0x80);
  }
  HexLoadResult spread = reader.LoadText(gap + kEnd, image);
  ASSERT_TRUE(spread.ok);
  EXPECT_EQ(spread.byteCount, 512u);
  EXPECT_EQ(image[4096], 0x80);
}

TEST(HexReader, ExtendedAddressesKeepTheFirstBase) {
  ImageBuffer image;
  HexReader reader;
  // Segment 0x1000 is address 0x10000; the base stays at the first data record, 0x8000.
  HexLoadResult segment = reader.LoadText(
      Data(0x8000, 2, 0x31) + Record(0x02, 0, {0x10, 0x00}) + Data(0x0004, 2, 0x77) + kEnd, image);
  ASSERT_TRUE(segment.ok);
  EXPECT_EQ(segment.baseAddress, 0x8000u);
  EXPECT_EQ(image[0x8004], 0x77);
  EXPECT_EQ(image[0], 0x31);

  // A segment record before any data: the first data record fixes the base within the segment.
  HexLoadResult leading =
      reader.LoadText(Record(0x02, 0, {0x00, 0x10}) + Data(0x20, 1, 0x42) + kEnd, image);
  ASSERT_TRUE(leading.ok);
  EXPECT_EQ(leading.baseAddress, 0x120u);
  EXPECT_EQ(image[0], 0x42);

  // Inside a segment the offset wraps at 64 KiB: FFFF then 0000 of segment 0x1000.
  HexLoadResult wrap = reader.LoadText(
      Record(0x02, 0, {0x10, 0x00}) + Data(0x0000, 1, 0x01) + Data(0xFFFF, 2, 0xA0) + kEnd, image);
  ASSERT_TRUE(wrap.ok);
  EXPECT_EQ(image[0xFFFF], 0xA0);
  EXPECT_EQ(image[0], 0xA1);
}

TEST(HexReader, DataImageSizeIsTheNumberOfBytes) {
  const lamp::test::TempFolder dir;
  std::string hundred;
  for (unsigned a = 0; a < 100; a += 20) {
    hundred += Data(a, 20);
  }
  lamp::test::WriteFile(dir.Path() / "100.eep", hundred + kEnd);
  lamp::test::WriteFile(dir.Path() / "empty.hex", kEnd);
  lamp::test::WriteFile(dir.Path() / "bad.hex", hundred);
  ImageBuffer buffer;
  FirmwareImage image(buffer);
  for (ImageKind kind : {ImageKind::Program, ImageKind::Data}) {
    ASSERT_TRUE(image.OpenFile(kind, dir.Path() / "100.eep"));
    EXPECT_EQ(image.Size(), 100u);
    EXPECT_TRUE(image.Loaded(kind));
    ASSERT_TRUE(image.OpenFile(kind, dir.Path() / "empty.hex"));
    EXPECT_EQ(image.Size(), 0u);
    EXPECT_FALSE(image.OpenFile(kind, dir.Path() / "bad.hex"));
    EXPECT_FALSE(image.Loaded(ImageKind::Program));
    EXPECT_FALSE(image.Loaded(ImageKind::Data));
    EXPECT_FALSE(image.OpenFile(kind, dir.Path() / "missing.hex"));
    EXPECT_FALSE(image.OpenFile(kind, dir.Path()));
  }
}

// The image reaches from the base to the last byte the file stored: a gap in the file is part of
// the image (erased bytes), and bytes written twice count once.
TEST(HexReader, ImageSizeSpansGapsAndCountsOverlapsOnce) {
  const lamp::test::TempFolder dir;
  std::string gapped;
  for (unsigned a = 0; a < 256; a += 16) {
    gapped += Data(a, 16) + Data(4096 + a, 16, 0x40);
  }
  lamp::test::WriteFile(dir.Path() / "gapped.hex", gapped + kEnd);
  lamp::test::WriteFile(dir.Path() / "overlap.hex",
                        Data(0x1C00, 32) + Data(0x1C10, 32) + Data(0x1C00, 8) + kEnd);
  ImageBuffer buffer;
  FirmwareImage image(buffer);
  for (ImageKind kind : {ImageKind::Program, ImageKind::Data}) {
    ASSERT_TRUE(image.OpenFile(kind, dir.Path() / "gapped.hex"));
    EXPECT_EQ(image.Size(), 4352u);
    EXPECT_EQ(buffer[255], 15);
    EXPECT_EQ(buffer[256], 0xFF);
    EXPECT_EQ(buffer[4095], 0xFF);
    EXPECT_EQ(buffer[4351], 0x4F);
    ASSERT_TRUE(image.OpenFile(kind, dir.Path() / "overlap.hex"));
    EXPECT_EQ(image.Size(), 48u);
    EXPECT_EQ(image.Base(), 0x1C00u);
  }
}

TEST(HexReader, MemoryViewRowsShowSixteenBytesEach) {
  ImageBuffer buffer;
  for (unsigned i = 0; i < 64; ++i) {
    buffer[i] = static_cast<std::uint8_t>(i);
  }
  FirmwareImage image(buffer);
  image.SetLoaded(ImageKind::Program, 40, 0x1C00);
  ASSERT_EQ(image.ViewRowCount(), 3u);
  const MemoryViewRow row = image.ViewRow(2);
  EXPECT_EQ(row[0], "00001C20");
  EXPECT_EQ(row[1], "20");
  EXPECT_EQ(row[16], "2F"); // past the image, still shown
  image.SetLoaded(ImageKind::Data, kImageBufferBytes, 0);
  EXPECT_EQ(image.ViewRow(image.ViewRowCount() - 1)[16], "FF");
}

// Files written by real tools load to exactly the bytes they were made from.
TEST(HexReader, FilesFromObjcopyAndSrecCatMatchTheirBinaries) {
  const lamp::test::TempFolder dir;
  std::vector<char> binary(kImageBufferBytes);
  std::mt19937 random(7);
  for (char& c : binary) {
    c = static_cast<char>(random());
  }
  const fs::path bin = dir.Path() / "image.bin";
  std::ofstream(bin, std::ios::binary)
      .write(binary.data(), static_cast<std::streamsize>(binary.size()));
  struct Tool {
    const char* what;
    std::string command;
    std::uint32_t base;
    const char* record; // an extended address record the file must contain
  };
  const std::string in = bin.string();
  const std::string out = (dir.Path() / "image.hex").string();
  const std::vector<Tool> tools = {
      {"objcopy, segment records, CR LF lines", "objcopy -I binary -O ihex " + in + " " + out, 0,
       ":02000002"},
      {"srec_cat, linear records at 0x1C00",
       "srec_cat " + in + " -binary -offset 0x1C00 -o " + out + " -intel", 0x1C00, ":02000004"},
      {"srec_cat, segment records at 0x1C00",
       "srec_cat " + in + " -binary -offset 0x1C00 -o " + out + " -intel -address-length=3", 0x1C00,
       ":02000002"},
      {"objcopy, LF lines",
       "objcopy -I binary -O ihex " + in + " " + out + " && sed -i 's/\\r$//' " + out, 0,
       ":02000002"},
  };
  for (const Tool& tool : tools) {
    SCOPED_TRACE(tool.what);
    ASSERT_EQ(std::system((tool.command + " 2>&1").c_str()), 0);
    std::ifstream hex(out);
    const std::string text((std::istreambuf_iterator<char>(hex)), std::istreambuf_iterator<char>());
    ASSERT_NE(text.find(tool.record), std::string::npos);
    ImageBuffer image;
    const HexLoadResult result = LoadHexFile(out, image);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.baseAddress, tool.base);
    EXPECT_EQ(result.byteCount, kImageBufferBytes);
    EXPECT_EQ(std::memcmp(image.Data(), binary.data(), binary.size()), 0);
  }
}

// Arbitrary bytes never crash or hang the reader, and never write outside the buffer (the
// sanitizer builds check the latter).
TEST(HexReader, ArbitraryInputFailsCleanly) {
  std::mt19937 random(11);
  const std::string alphabet = std::string(":0123456789ABCDEFabcdef\r\nxZ") + '\0';
  ImageBuffer image;
  HexReader reader;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) {
      text += alphabet[random() % alphabet.size()];
    }
    (void)reader.LoadText(text, image);
  }
  SUCCEED();
}
