// velora-flash end to end: the program against the simulated bootloader on a pseudo-terminal,
// its exit codes, its one line per failure, and what reached the simulated device.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include <comlane/serial_port.h>

#include "firmware/hex_reader.h"
#include "firmware/hex_writer.h"
#include "flash_process.h"
#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace flash::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

Bytes RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  // Never 0xFF, so that an unwritten byte of erased memory always differs from the image.
  std::generate(bytes.begin(), bytes.end(),
                [&] { return static_cast<std::uint8_t>(random() % 255); });
  return bytes;
}

class FlashEndToEndTest : public ::testing::Test {
protected:
  FlashEndToEndTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velora-flash-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
    link = folder / "velora";
    std::filesystem::create_directory(folder / "config");
    // The port comes from lamp.INI unless a test names it.
    std::ofstream(folder / "config" / "lamp.INI")
        << "[SERIAL]\nPORT=" << link.string() << "\nBAUDRATE=115200\n";
  }
  ~FlashEndToEndTest() override {
    simulator.reset();
    std::filesystem::remove_all(folder);
  }

  void StartDevice(sim::BootloaderSettings device = *sim::BootloaderSettings::ForDevice("ATmega8"),
                   sim::SimulatorOptions options = {}) {
    options.link = link;
    options.trace = [this](const std::string& line) {
      const std::lock_guard lock(traceMutex);
      trace.push_back(line);
    };
    simulator = std::make_unique<sim::Simulator>(std::move(options));
    memory = sim::InstallBootloader(*simulator, device);
    std::string error;
    ASSERT_TRUE(simulator->Start(&error)) << error;
  }

  std::string HexFile(const std::string& name, const Bytes& bytes, std::uint32_t base = 0) {
    const std::string path = (folder / name).string();
    EXPECT_TRUE(lamp::firmware::SaveHexFile(path, bytes.data(), bytes.size(), base));
    return path;
  }

  std::unique_ptr<FlashProcess> Run(const std::vector<std::string>& arguments) {
    return std::make_unique<FlashProcess>(folder, folder / "config", arguments);
  }

  bool Traced(const std::string& what) {
    const std::lock_guard lock(traceMutex);
    return std::any_of(trace.begin(), trace.end(), [&](const std::string& line) {
      return line.find(what) != std::string::npos;
    });
  }

  std::filesystem::path folder;
  std::filesystem::path link;
  std::unique_ptr<sim::Simulator> simulator;
  std::shared_ptr<sim::BootloaderMemory> memory;
  std::mutex traceMutex;
  std::vector<std::string> trace;
};

TEST_F(FlashEndToEndTest, WriteVerifiesByteForByteAndAnotherFileIsAMismatchAtItsFirstAddress) {
  StartDevice();
  const Bytes image = RandomBytes(3000, 1);
  auto write = Run({"write", HexFile("a.hex", image)});
  ASSERT_TRUE(write->Wait());
  EXPECT_EQ(write->Code(), 0) << write->Err();
  EXPECT_NE(write->Out().find("verified 3000 bytes from 0x000000"), std::string::npos);
  EXPECT_EQ(write->Err(), "");
  const Bytes flash = memory->Flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  EXPECT_TRUE(std::all_of(flash.begin() + 3008, flash.end(), [](auto b) { return b == 0xFF; }));
  EXPECT_TRUE(
      WaitFor([&] { return simulator->ActiveKind() == sim::PersonalityKind::Application; }, 10s));

  Bytes other = image;
  other[1000] ^= 0x5A;
  other[2000] ^= 0x01;
  auto verify = Run({"verify", HexFile("b.hex", other)});
  ASSERT_TRUE(verify->Wait());
  EXPECT_EQ(verify->Code(), 1);
  char expected[96];
  std::snprintf(expected, sizeof expected,
                "velora-flash: mismatch at 0x0003E8: device 0x%02X, file 0x%02X (2 of 3000 bytes "
                "differ)\n",
                image[1000], other[1000]);
  EXPECT_EQ(verify->Err(), expected);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory->Flash().begin()));
}

TEST_F(FlashEndToEndTest, DataMemoryWrittenThenSavedAsABackupThatLoadsBackWhole) {
  StartDevice();
  const Bytes data = RandomBytes(300, 2);
  const std::string port = link.string();
  auto write = Run({"--eeprom", "write", HexFile("d.eep", data), "--port", port, "--baud", "9600"});
  ASSERT_TRUE(write->Wait());
  ASSERT_EQ(write->Code(), 0) << write->Err();

  const std::string backup = (folder / "backup.hex").string();
  auto read = Run({"read", backup, "--eeprom", "--no-jump"});
  ASSERT_TRUE(read->Wait());
  EXPECT_EQ(read->Code(), 0) << read->Err();
  lamp::firmware::ImageBuffer buffer;
  const lamp::firmware::HexLoadResult loaded = lamp::firmware::LoadHexFile(backup, buffer);
  ASSERT_TRUE(loaded.ok);
  const Bytes eeprom = memory->Eeprom();
  ASSERT_EQ(loaded.byteCount, eeprom.size());
  EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), buffer.Data()));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin()));
  // --no-jump: the bootloader keeps the line.
  EXPECT_EQ(simulator->ActiveKind(), sim::PersonalityKind::Bootloader);
}

TEST_F(FlashEndToEndTest, ImageLandsAtItsOwnAddressAndAMisalignedOneIsNotWritten) {
  StartDevice();
  const Bytes image = RandomBytes(512, 6);
  auto write = Run({"write", HexFile("high.hex", image, 0x1C00)});
  ASSERT_TRUE(write->Wait());
  EXPECT_EQ(write->Code(), 0) << write->Err();
  EXPECT_NE(write->Out().find("verified 512 bytes from 0x001C00"), std::string::npos);
  const Bytes flash = memory->Flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + 0x1C00));
  EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 0x1C00, [](auto b) { return b == 0xFF; }));

  // Half-way into a 64-byte page: no block may straddle two of the device's pages.
  auto misaligned = Run({"write", HexFile("odd.hex", image, 0x1C20)});
  ASSERT_TRUE(misaligned->Wait());
  EXPECT_EQ(misaligned->Code(), 2);
  EXPECT_NE(misaligned->Err().find("cannot be written to this device"), std::string::npos)
      << misaligned->Err();
  EXPECT_EQ(memory->Flash(), flash);
}

TEST_F(FlashEndToEndTest, SilentDeviceEndsWithItsCodeWithinTheIdentifyTimeout) {
  sim::BootloaderSettings device = *sim::BootloaderSettings::ForDevice("ATmega8");
  device.neverIdentify = true;
  StartDevice(device);
  auto run = Run({"identify", "--timeout", "1"});
  // The entry pause and the one-second identify timeout, with ample room for a loaded machine.
  ASSERT_TRUE(run->Wait(30s));
  EXPECT_EQ(run->Code(), 3);
  EXPECT_NE(run->Err().find("did not answer the identify request within 1 s"), std::string::npos)
      << run->Err();
}

TEST_F(FlashEndToEndTest, BusyOrMissingPortIsNamedAndNothingIsSent) {
  StartDevice();
  comlane::SerialPort* holder = Rs232Class();
  holder->portName = link.string();
  holder->baudRate = 115200;
  ASSERT_NE(holder->Open(), 0);
  auto busy = Run({"identify"});
  ASSERT_TRUE(busy->Wait());
  holder->Destroy(1);
  EXPECT_EQ(busy->Code(), 4);
  EXPECT_EQ(busy->Err(),
            "velora-flash: serial port " + link.string() + " is busy: another program holds it\n");

  const std::string missing = (folder / "nothing").string();
  auto gone = Run({"identify", "--port", missing});
  ASSERT_TRUE(gone->Wait());
  EXPECT_EQ(gone->Code(), 4);
  EXPECT_EQ(gone->Err(), "velora-flash: serial port " + missing + " (" + missing + ") not found\n");
  EXPECT_EQ(simulator->Stats().bytesReceived, 0u);
}

TEST_F(FlashEndToEndTest, BadHexFileIsRefusedBeforeAnythingIsSent) {
  StartDevice();
  std::ofstream(folder / "bad.hex") << ":10000000000102030405060708090A0B0C0D0E0F00\n";
  auto bad = Run({"write", (folder / "bad.hex").string()});
  ASSERT_TRUE(bad->Wait());
  EXPECT_EQ(bad->Code(), 2);
  EXPECT_EQ(bad->Err(),
            "velora-flash: " + (folder / "bad.hex").string() + ": not a valid Intel HEX file\n");

  auto none = Run({"verify", (folder / "none.hex").string()});
  ASSERT_TRUE(none->Wait());
  EXPECT_EQ(none->Code(), 2);
  EXPECT_NE(none->Err().find("cannot open the file"), std::string::npos);

  // An image reaching past the ATmega8's 8 KiB is refused once the device is known.
  auto big = Run({"write", HexFile("big.hex", RandomBytes(9000, 3))});
  ASSERT_TRUE(big->Wait());
  EXPECT_EQ(big->Code(), 2);
  EXPECT_NE(big->Err().find("beyond the device's FLASH of 8192 bytes"), std::string::npos);
  EXPECT_TRUE(std::all_of(memory->Flash().begin(), memory->Flash().end(),
                          [](auto b) { return b == 0xFF; }));
}

TEST_F(FlashEndToEndTest, RefusedUnacknowledgedOrDamagedBlocksEndTheWorkAndSayWhere) {
  sim::BootloaderSettings device = *sim::BootloaderSettings::ForDevice("ATmega8");
  device.refuseBlock = 2;
  StartDevice(device);
  auto refused = Run({"write", HexFile("a.hex", RandomBytes(1000, 4))});
  ASSERT_TRUE(refused->Wait());
  EXPECT_EQ(refused->Code(), 5);
  EXPECT_NE(refused->Err().find("the device refused the block at 0x000080 (block 2)"),
            std::string::npos)
      << refused->Err();
  EXPECT_TRUE(Traced("end of write"));

  device.refuseBlock.reset();
  device.neverAcknowledge = true;
  StartDevice(device);
  auto silent = Run({"write", HexFile("a.hex", RandomBytes(1000, 4))});
  ASSERT_TRUE(silent->Wait());
  EXPECT_EQ(silent->Code(), 3);
  EXPECT_NE(silent->Err().find("no acknowledgement for the block at 0x000000 (block 0)"),
            std::string::npos)
      << silent->Err();

  // Read blocks whose checksums stay wrong are never taken for the device's memory.
  device.neverAcknowledge = false;
  device.badReadChecksums = true;
  StartDevice(device);
  auto damaged = Run({"verify", HexFile("a.hex", RandomBytes(1000, 4))});
  ASSERT_TRUE(damaged->Wait());
  EXPECT_EQ(damaged->Code(), 3);
  EXPECT_NE(damaged->Err().find("blocks kept failing their checksum (3 reads, the last at "
                                "0x000000)"),
            std::string::npos)
      << damaged->Err();
}

TEST_F(FlashEndToEndTest, CtrlCDuringAWriteEndsItAsCancelDoesAndSaysSo) {
  sim::SimulatorOptions options;
  options.baud = 19200; // 128 pages of 64 bytes take several seconds
  StartDevice(*sim::BootloaderSettings::ForDevice("ATmega8"), options);
  const Bytes image = RandomBytes(8192, 5);
  auto run = Run({"write", HexFile("a.hex", image)});
  ASSERT_TRUE(WaitFor([&] { return memory->Flash()[64] == image[64]; }, 60s));
  run->Interrupt();
  ASSERT_TRUE(run->Wait());
  EXPECT_EQ(run->Code(), 130);
  EXPECT_NE(run->Err().find("write cancelled by Ctrl-C after the block at"), std::string::npos)
      << run->Err();
  EXPECT_NE(run->Err().find("FF FF sent"), std::string::npos);
  EXPECT_TRUE(WaitFor([&] { return Traced("end of write"); }, 10s));
  EXPECT_EQ(memory->Flash()[8191], 0xFF);
}

} // namespace
} // namespace flash::test
