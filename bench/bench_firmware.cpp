// Firmware upgrade figures:
//  - time to load a full 128 KiB program image from an Intel HEX file (32-byte records with an
//    extended linear address record at 64 KiB, as toolchains write it), median of 50 loads.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "firmware/hex_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
using lamp::firmware::kImageBufferBytes;

constexpr int kLoads = 50;

std::string Line(unsigned type, unsigned address, const std::uint8_t* data, unsigned count) {
  char text[16];
  std::snprintf(text, sizeof text, ":%02X%04X%02X", count, address & 0xFFFF, type);
  std::string line = text;
  unsigned sum = count + ((address >> 8) & 0xFF) + (address & 0xFF) + type;
  for (unsigned i = 0; i < count; ++i) {
    std::snprintf(text, sizeof text, "%02X", data[i]);
    line += text;
    sum += data[i];
  }
  std::snprintf(text, sizeof text, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
  return line + text;
}

std::string MakeHex(const std::vector<std::uint8_t>& image) {
  std::string hex;
  for (unsigned address = 0; address < image.size(); address += 32) {
    if (address != 0 && address % 0x10000 == 0) {
      const std::uint8_t upper[2] = {static_cast<std::uint8_t>(address >> 24),
                                     static_cast<std::uint8_t>(address >> 16)};
      hex += Line(0x04, 0, upper, 2);
    }
    hex += Line(0x00, address, image.data() + address, 32);
  }
  return hex + ":00000001FF\n";
}

} // namespace

int main() {
  std::vector<std::uint8_t> image(kImageBufferBytes);
  std::mt19937 random(1);
  std::generate(image.begin(), image.end(), [&] { return static_cast<std::uint8_t>(random()); });
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("bench_firmware_" + std::to_string(::getpid()) + ".hex");
  const std::string hex = MakeHex(image);
  std::ofstream(path, std::ios::binary) << hex;

  lamp::firmware::ImageBuffer buffer;
  std::vector<double> ms;
  for (int i = 0; i < kLoads; ++i) {
    const auto start = Clock::now();
    const lamp::firmware::HexLoadResult result = lamp::firmware::LoadHexFile(path, buffer);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (!result.ok || !std::equal(image.begin(), image.end(), buffer.Data())) {
      std::fprintf(stderr, "load failed or bytes differ\n");
      std::filesystem::remove(path);
      return 1;
    }
  }
  std::filesystem::remove(path);
  std::sort(ms.begin(), ms.end());
  std::printf("HEX load, 128 KiB image (%zu bytes of text): median %.2f ms, min %.2f ms, "
              "max %.2f ms over %d loads (%.0f MB/s of text)\n",
              hex.size(), ms[ms.size() / 2], ms.front(), ms.back(), kLoads,
              hex.size() / 1e3 / ms[ms.size() / 2]);
  return 0;
}
