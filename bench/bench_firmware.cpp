// Firmware upgrade figures:
//  - time to load a full 128 KiB program image from an Intel HEX file (32-byte records with an
//    extended linear address record at 64 KiB, as toolchains write it), median of 50 loads;
//  - time to write that image into the simulated ATmega128 (512 pages of 256 bytes, each
//    acknowledged) and to read it back, through Comlane on a pseudo-terminal, unpaced and with the
//    simulator pacing its output at 115200 bit/s, with the ratio to the line's own limit.

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
#include "upgrade_rig.h"

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

// Stop-and-wait time of `bytes` characters on a line of `baud` bit/s, ten bits per character.
double LineSeconds(double bytes, unsigned baud) {
  return bytes * 10 / baud;
}

// Writes and reads back `image` through the simulator; false if anything fails or differs.
bool WriteAndReadBack(const std::vector<std::uint8_t>& image, unsigned baud) {
  sim::SimulatorOptions options;
  options.baud = baud;
  lamp::firmware::test::UpgradeRig rig(options, {});
  std::string error;
  if (!rig.Start(error) || !rig.Enter()) {
    std::fprintf(stderr, "bootloader not reached: %s\n", error.c_str());
    return false;
  }
  std::copy(image.begin(), image.end(), rig.buffer.Data());
  rig.image.SetLoaded(lamp::firmware::ImageKind::Program, kImageBufferBytes, 0);
  const auto deadline = std::chrono::minutes(2);
  auto start = Clock::now();
  if (!rig.protocol.StartWrite(lamp::firmware::ImageKind::Program) ||
      !rig.Run([&] { return !rig.protocol.WorkerRunning(); }, deadline)) {
    std::fprintf(stderr, "write did not finish\n");
    return false;
  }
  const double writeSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (rig.memory->Flash() != image) {
    std::fprintf(stderr, "flash differs from the image\n");
    return false;
  }
  rig.buffer.Fill(0);
  start = Clock::now();
  if (!rig.protocol.StartRead(lamp::firmware::ImageKind::Program) ||
      !rig.Run([&] { return rig.reads.load() == 1; }, deadline)) {
    std::fprintf(stderr, "read did not finish\n");
    return false;
  }
  const double readSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!std::equal(image.begin(), image.end(), rig.buffer.Data())) {
    std::fprintf(stderr, "read-back differs from the image\n");
    return false;
  }
  const char* pace = baud == 0 ? "unpaced" : "paced at 115200 bit/s";
  std::printf("write 128 KiB, %s: %.3f s (%.1f KiB/s)\n", pace, writeSeconds, 128 / writeSeconds);
  std::printf("read 128 KiB, %s: %.3f s (%.1f KiB/s)\n", pace, readSeconds, 128 / readSeconds);
  if (baud != 0) {
    // Each block and its answer cross the line one after the other.
    const double pages = 512;
    const double writeLine = LineSeconds(4 + pages * (2 + 256 + 1) + 2 + pages * 5, baud);
    const double readLine = LineSeconds(4 + (pages + 1) * 263 + pages * 5, baud);
    std::printf("  line limit at %u bit/s: write %.3f s, read %.3f s; measured/limit: write "
                "%.2f, read %.2f\n",
                baud, writeLine, readLine, writeSeconds / writeLine, readSeconds / readLine);
  }
  std::fflush(stdout);
  return true;
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
  std::fflush(stdout);
  return WriteAndReadBack(image, 0) && WriteAndReadBack(image, 115200) ? 0 : 1;
}
