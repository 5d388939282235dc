// Firmware upgrade figures:
//  - time to load a full 128 KiB program image from an Intel HEX file (32-byte records with an
//    extended linear address record at 64 KiB, as toolchains write it), median of 50 loads;
//  - time to write that image into the simulated ATmega128 (512 pages of 256 bytes, each
//    acknowledged) and to read it back, through Comlane on a pseudo-terminal, unpaced and with the
//    simulator pacing its output at 115200 bit/s, with the ratio to the line's own limit.
// Prints a markdown section for docs/performance.md; failures go to stderr.

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
#include "markdown_table.h"
#include "upgrade_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using lamp::firmware::kImageBufferBytes;

constexpr int kLoads = 50;
constexpr unsigned kPacedBaud = 115200;
constexpr double kPages = 512;
// The writer's pause after every acknowledged block.
constexpr double kPauseSeconds = 0.001;

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

struct Transfer {
  double writeSeconds = 0;
  double readSeconds = 0;
};

// Each block and its answer cross the line one after the other.
double WriteLineSeconds() {
  return LineSeconds(4 + kPages * (2 + 256 + 1) + 2 + kPages * 5, kPacedBaud);
}
double ReadLineSeconds() {
  return LineSeconds(4 + (kPages + 1) * 263 + kPages * 5, kPacedBaud);
}

// Writes and reads back `image` through the simulator; false if anything fails or differs.
bool WriteAndReadBack(const std::vector<std::uint8_t>& image, unsigned baud, Transfer& transfer) {
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
  transfer = {writeSeconds, readSeconds};
  std::fprintf(stderr, "bench_firmware: %s: write %.3f s, read %.3f s\n",
               baud == 0 ? "unpaced" : "paced", writeSeconds, readSeconds);
  return true;
}

void Print(std::size_t hexBytes, const std::vector<double>& sortedMs, const Transfer& unpaced,
           const Transfer& paced) {
  std::printf("## Firmware upgrade (`bench_firmware`)\n\n");
  std::printf("`bench_firmware` measures, in one run:\n\n");
  std::printf("- HEX load: `LoadHexFile` of a 128 KiB program image written as toolchains write "
              "it (32-byte data records, an extended linear address record at 64 KiB; %zu bytes "
              "of text), %d loads, checked byte for byte after each;\n",
              hexBytes, kLoads);
  std::printf("- write and read-back of that image through the bootloader conversation "
              "(`lamp_firmware_core`), Comlane on a pseudo-terminal and the simulated ATmega128 "
              "bootloader (512 pages of 256 bytes, each page acknowledged, each read block "
              "answered), unpaced and with the simulator pacing its output at %u bit/s "
              "(`--baud`). The flash and the read-back are compared with the image after each "
              "transfer.\n\n",
              kPacedBaud);
  std::printf("The \"line limit\" is the stop-and-wait time of every byte that must cross the "
              "line one after the other at %u bit/s, ten bits per character: for the write the "
              "request, 512 blocks of 259 bytes, FF FF and 512 acknowledgements of 5 bytes "
              "(%.2f s); for the read the request, 513 blocks of 263 bytes and 512 answers of 5 "
              "bytes (%.2f s).\n\n",
              kPacedBaud, WriteLineSeconds(), ReadLineSeconds());

  const double medianMs = sortedMs[sortedMs.size() / 2];
  const auto seconds = [](double s) { return bench::Format("%.3f s", s); };
  bench::MarkdownTable table({"figure", "value"});
  table.Row(
      {"HEX load, median (min / max)",
       bench::Format("%.2f ms (%.2f / %.2f ms), %.0f MB/s of text", medianMs, sortedMs.front(),
                     sortedMs.back(), static_cast<double>(hexBytes) / 1e3 / medianMs)});
  table.Row({"write 128 KiB, unpaced", seconds(unpaced.writeSeconds)});
  table.Row({"read 128 KiB, unpaced", seconds(unpaced.readSeconds)});
  table.Row({bench::Format("write 128 KiB, paced at %u", kPacedBaud), seconds(paced.writeSeconds)});
  table.Row({bench::Format("read 128 KiB, paced at %u", kPacedBaud), seconds(paced.readSeconds)});
  table.Row({"read, measured / line limit",
             bench::Format("%.2f", paced.readSeconds / ReadLineSeconds())});
  std::printf("%s\n", table.Text().c_str());

  std::printf("- The HEX reader takes %.1f ms for a full image when it has a core to itself (the "
              "minimum); the median shows the load of the machine.\n",
              sortedMs.front());
  std::printf("- The unpaced write is bound by the writer's 1 ms pause after every acknowledged "
              "block (%.0f ms of the %.2f s), which the conversation keeps as the controller's "
              "bootloader expects it.\n",
              kPages * kPauseSeconds * 1e3, unpaced.writeSeconds);
  std::printf("- The paced read takes %.0f %% more than the line's own limit: the remainder is "
              "the turn-around of each block (Comlane's delivery, the answer, the simulator's "
              "reply to it).\n",
              std::max(0.0, (paced.readSeconds / ReadLineSeconds() - 1) * 100));
  std::printf("- The paced write is not a line figure: a pty paces nothing, and the simulator "
              "paces only its own output (the acknowledgements), so the %.0f bytes towards the "
              "bootloader cross at once. On a real %u bit/s line the write is bound by the %.1f s "
              "above.\n",
              4 + kPages * (2 + 256 + 1) + 2, kPacedBaud, WriteLineSeconds());
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
  Transfer unpaced;
  Transfer paced;
  if (!WriteAndReadBack(image, 0, unpaced) || !WriteAndReadBack(image, kPacedBaud, paced)) {
    return 1;
  }
  Print(hex.size(), ms, unpaced, paced);
  return 0;
}
