// Firmware upgrade figures:
//  - time to load a full 128 KiB program image from an Intel HEX file (32-byte records with an
//    extended linear address record at 64 KiB, as toolchains write it), median of 50 loads;
//  - time to write that image into the simulated ATmega128 (512 pages of 256 bytes, each
//    acknowledged after the 4.5 ms page time) and to read it back, through Comlane on a
//    pseudo-terminal: the dialog's conversation (BootloaderProtocol without a window) unpaced
//    and with the simulator modelling a 115200 bit/s line in both directions, and velora-flash
//    on the same paced line; each with the ratio of the least time the line and the device
//    allow to the time measured.
// Prints a markdown section for docs/performance.md; failures go to stderr.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "firmware/hex_reader.h"
#include "firmware/hex_writer.h"
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
// The simulated device's time to program one page (the simulator's default).
constexpr double kPageSeconds = 0.0045;

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

// The least time of a write: every byte of the conversation crossing the line one after the
// other (the request, 512 blocks of 259 bytes, FF FF, 512 acknowledgements of 5 bytes), plus the
// device's page time for each page. The writer's 1 ms pause after each block is not in it.
double WriteLineSeconds() {
  return LineSeconds(4 + kPages * (2 + 256 + 1) + 2 + kPages * 5, kPacedBaud);
}
double WriteLeastSeconds() {
  return WriteLineSeconds() + kPages * kPageSeconds;
}
// The least time of a read: the request, 513 blocks of 263 bytes (the last the end of read) and
// 512 answers of 5 bytes.
double ReadLeastSeconds() {
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

// Seconds after `label` in velora-flash's output ("wrote ... in 12.345 s"), or a negative value.
double SecondsAfter(const std::string& output, const std::string& label) {
  const std::size_t line = output.find(label);
  const std::size_t in = line == std::string::npos ? line : output.find(" in ", line);
  return in == std::string::npos ? -1 : std::strtod(output.c_str() + in + 4, nullptr);
}

// velora-flash writes `image` (saved as HEX at `hex`) with verify into a simulated ATmega128 on
// a paced line; its own figures of the write and of the read-back are taken from its output.
bool FlashWrite(const std::vector<std::uint8_t>& image, const std::filesystem::path& hex,
                Transfer& transfer) {
  sim::SimulatorOptions options;
  options.baud = kPacedBaud;
  lamp::firmware::test::UpgradeRig rig(options, {});
  std::string error;
  if (!rig.simulator->Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return false;
  }
  if (!lamp::firmware::SaveHexFile(hex.string(), image.data(), image.size(), 0)) {
    std::fprintf(stderr, "cannot save %s\n", hex.c_str());
    return false;
  }
  const std::string program = std::string(LAMP_BIN_DIR) + "/velora-flash";
  const std::string port = (rig.folder.Path() / "velora").string();
  const std::string baud = std::to_string(kPacedBaud);
  const std::string file = hex.string();
  const std::filesystem::path log = rig.folder.Path() / "flash.log";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    ::execl(program.c_str(), program.c_str(), "write", file.c_str(), "--port", port.c_str(),
            "--baud", baud.c_str(), nullptr);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::ostringstream output;
  output << std::ifstream(log).rdbuf();
  transfer.writeSeconds = SecondsAfter(output.str(), "wrote ");
  transfer.readSeconds = SecondsAfter(output.str(), "read ");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || transfer.writeSeconds < 0 ||
      transfer.readSeconds < 0 || rig.memory->Flash() != image) {
    std::fprintf(stderr, "velora-flash failed:\n%s", output.str().c_str());
    return false;
  }
  std::fprintf(stderr, "bench_firmware: velora-flash: write %.3f s, read %.3f s\n",
               transfer.writeSeconds, transfer.readSeconds);
  return true;
}

void Print(std::size_t hexBytes, const std::vector<double>& sortedMs, const Transfer& unpaced,
           const Transfer& paced, const Transfer& flash) {
  std::printf("## Firmware upgrade (`bench_firmware`)\n\n");
  std::printf("`bench_firmware` measures, in one run:\n\n");
  std::printf("- HEX load: `LoadHexFile` of a 128 KiB program image written as toolchains write "
              "it (32-byte data records, an extended linear address record at 64 KiB; %zu bytes "
              "of text), %d loads, checked byte for byte after each;\n",
              hexBytes, kLoads);
  std::printf("- write and read-back of that image into the simulated ATmega128 bootloader (512 "
              "pages of 256 bytes, each page acknowledged after the simulator's page time of "
              "%.1f ms, each read block answered) through Comlane on a pseudo-terminal: by the "
              "dialog's conversation (`BootloaderProtocol` of `lamp_firmware_core`, driven without "
              "a window), unpaced and with the simulator modelling a %u bit/s line in both "
              "directions (`--baud`: its replies go out, and the program's bytes are taken, at "
              "ten bits a byte); and by `velora-flash write` (which reads back and compares) on "
              "the same paced line, its own figures of the write and the read-back. The flash "
              "and the read-back are compared with the image after each transfer.\n\n",
              kPageSeconds * 1e3, kPacedBaud);
  std::printf("The \"least time\" is what the line and the device allow: every byte of the "
              "conversation crossing the line one after the other at %u bit/s, ten bits a "
              "byte, plus the device's page time. Write: the request, 512 blocks of 259 bytes, "
              "FF FF and 512 acknowledgements of 5 bytes (%.2f s) plus 512 page times (%.2f s), "
              "%.2f s in all; the writer's 1 ms pause after every block (%.2f s) counts against "
              "the measurement. Read: the request, 513 blocks of 263 bytes and 512 answers of 5 "
              "bytes, %.2f s. The efficiency is least time / measured time.\n\n",
              kPacedBaud, WriteLineSeconds(), kPages * kPageSeconds, WriteLeastSeconds(),
              kPages * kPauseSeconds, ReadLeastSeconds());

  const double medianMs = sortedMs[sortedMs.size() / 2];
  const auto seconds = [](double s) { return bench::Format("%.3f s", s); };
  const auto efficiency = [](double least, double measured) {
    return bench::Format("%.1f %%", least / measured * 100);
  };
  bench::MarkdownTable table({"figure", "value"});
  table.Row(
      {"HEX load, median (min / max)",
       bench::Format("%.2f ms (%.2f / %.2f ms), %.0f MB/s of text", medianMs, sortedMs.front(),
                     sortedMs.back(), static_cast<double>(hexBytes) / 1e3 / medianMs)});
  table.Row({"write 128 KiB, unpaced (dialog's conversation)", seconds(unpaced.writeSeconds)});
  table.Row({"read 128 KiB, unpaced (dialog's conversation)", seconds(unpaced.readSeconds)});
  const struct {
    const char* who;
    const Transfer& transfer;
  } paths[] = {{"dialog's conversation", paced}, {"velora-flash", flash}};
  for (const auto& path : paths) {
    table.Row({bench::Format("write 128 KiB at %u, %s", kPacedBaud, path.who),
               seconds(path.transfer.writeSeconds) + ", " +
                   efficiency(WriteLeastSeconds(), path.transfer.writeSeconds) +
                   " of the least time"});
    table.Row({bench::Format("read 128 KiB at %u, %s", kPacedBaud, path.who),
               seconds(path.transfer.readSeconds) + ", " +
                   efficiency(ReadLeastSeconds(), path.transfer.readSeconds) +
                   " of the least time"});
  }
  std::printf("%s\n", table.Text().c_str());

  std::printf("- The HEX reader takes %.1f ms for a full image when it has a core to itself (the "
              "minimum); the median shows the load of the machine.\n",
              sortedMs.front());
  std::printf("- The unpaced write is bound by the writer's 1 ms pause and the device's page "
              "time after every block (%.0f ms and %.0f ms of the %.2f s).\n",
              kPages * kPauseSeconds * 1e3, kPages * kPageSeconds * 1e3, unpaced.writeSeconds);
  std::printf("- On the paced line the write can reach at most %.1f %% of the least time: the "
              "1 ms pause after each block is the conversation's own. The rest of the gap, in "
              "writes and reads, is the turn-around of each block (Comlane's delivery, the "
              "answer, the simulator's wake-ups on a shared machine).\n",
              WriteLeastSeconds() / (WriteLeastSeconds() + kPages * kPauseSeconds) * 100);
  std::printf("- For comparison: avrdude with an Optiboot-class bootloader needs 6.5 s to write "
              "32 KiB at 115200 bit/s, about 44 %% of line rate.\n");
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
  Transfer flash;
  const std::filesystem::path flashHex =
      std::filesystem::temp_directory_path() /
      ("bench_firmware_flash_" + std::to_string(::getpid()) + ".hex");
  const bool flashed = FlashWrite(image, flashHex, flash);
  std::filesystem::remove(flashHex);
  if (!WriteAndReadBack(image, 0, unpaced) || !WriteAndReadBack(image, kPacedBaud, paced) ||
      !flashed) {
    return 1;
  }
  Print(hex.size(), ms, unpaced, paced, flash);
  return 0;
}
