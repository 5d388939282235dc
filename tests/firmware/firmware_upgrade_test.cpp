// Firmware upgrades end to end: a HEX file is loaded, the controller is sent into its bootloader
// over a real pseudo-terminal through Comlane, the image is written, read back and compared,
// and the controller jumps back to its application. Also the bootloader's faults as the
// conversation meets them on the line.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "firmware/hex_reader.h"
#include "upgrade_rig.h"

using namespace lamp::firmware;
using lamp::firmware::test::UpgradeRig;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes RandomBytes(std::size_t count, unsigned seed) {
  Bytes bytes(count);
  std::mt19937 random(seed);
  for (auto& b : bytes) {
    b = static_cast<std::uint8_t>(random());
  }
  return bytes;
}

// Writes `bytes` as a binary file and turns it into Intel HEX with objcopy.
std::string MakeHexFile(const std::filesystem::path& folder, const Bytes& bytes) {
  const std::filesystem::path bin = folder / "firmware.bin";
  std::ofstream(bin, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::string hex = (folder / "firmware.hex").string();
  EXPECT_EQ(std::system(("objcopy -I binary -O ihex " + bin.string() + " " + hex).c_str()), 0);
  return hex;
}

} // namespace

TEST(FirmwareUpgrade, WriteReadBackAndJumpBackAreByteIdentical) {
  UpgradeRig rig({}, {});
  std::string error;
  ASSERT_TRUE(rig.Start(error)) << error;

  const Bytes program = RandomBytes(70000, 3); // past 64 KiB: the file carries a segment record
  ASSERT_TRUE(rig.image.OpenFile(ImageKind::Program, MakeHexFile(rig.folder.Path(), program)));
  ASSERT_EQ(rig.image.Size(), program.size());

  ASSERT_TRUE(rig.Enter());
  EXPECT_EQ(rig.simulator->ActiveKind(), sim::PersonalityKind::Bootloader);
  EXPECT_EQ(rig.shownDevice, "ATmega128");

  ASSERT_TRUE(rig.protocol.StartWrite(ImageKind::Program));
  ASSERT_TRUE(rig.Run([&] { return !rig.protocol.WorkerRunning(); }));
  const Bytes flash = rig.memory->Flash();
  ASSERT_EQ(flash.size(), 131072u);
  EXPECT_TRUE(std::equal(program.begin(), program.end(), flash.begin()));
  // The last page is written whole, filled with the buffer's 0xFF past the image.
  EXPECT_TRUE(std::all_of(flash.begin() + 70000, flash.end(), [](auto b) { return b == 0xFF; }));

  rig.buffer.Fill(0);
  ASSERT_TRUE(rig.protocol.StartRead(ImageKind::Program));
  ASSERT_TRUE(rig.Run([&] { return rig.reads.load() == 1; }));
  EXPECT_TRUE(rig.image.Loaded(ImageKind::Program));
  ASSERT_EQ(rig.image.Size(), 131072u);
  EXPECT_TRUE(std::equal(flash.begin(), flash.end(), rig.buffer.Data()));
  EXPECT_FALSE(rig.transferShown.load());

  const Bytes data = RandomBytes(1000, 4);
  std::copy(data.begin(), data.end(), rig.buffer.Data());
  rig.image.SetLoaded(ImageKind::Data, 1000, 0);
  ASSERT_TRUE(rig.protocol.StartWrite(ImageKind::Data));
  ASSERT_TRUE(rig.Run([&] { return !rig.protocol.WorkerRunning(); }));
  ASSERT_TRUE(rig.protocol.StartRead(ImageKind::Data));
  ASSERT_TRUE(rig.Run([&] { return rig.reads.load() == 2; }));
  ASSERT_EQ(rig.image.Size(), 4096u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), rig.buffer.Data()));
  EXPECT_EQ(rig.memory->Eeprom(), Bytes(rig.buffer.Data(), rig.buffer.Data() + 4096));

  rig.protocol.JumpToApplication();
  ASSERT_TRUE(rig.Run([&] { return rig.shownDevice == "--------"; }));
  EXPECT_EQ(rig.simulator->ActiveKind(), sim::PersonalityKind::Application);
  EXPECT_FALSE(rig.protocol.Ready());

  // The memory survives the trip to the application and back.
  ASSERT_TRUE(rig.Enter());
  EXPECT_EQ(rig.memory->Flash(), flash);
}

TEST(FirmwareUpgrade, BootloaderFaultsEndTransfersCleanly) {
  struct Case {
    const char* what;
    sim::BootloaderSettings device;
    std::size_t pagesWritten;
  };
  sim::BootloaderSettings refusing;
  refusing.refuseBlock = 2;
  sim::BootloaderSettings silent;
  silent.neverAcknowledge = true;
  // A silent bootloader still stores block 0; the write then times out.
  for (const Case& c :
       {Case{"refuses block 2", refusing, 2}, Case{"never acknowledges", silent, 1}}) {
    SCOPED_TRACE(c.what);
    UpgradeRig rig({}, c.device);
    std::string error;
    ASSERT_TRUE(rig.Start(error)) << error;
    ASSERT_TRUE(rig.Enter());
    const Bytes program = RandomBytes(256 * 6, 5);
    std::copy(program.begin(), program.end(), rig.buffer.Data());
    rig.image.SetLoaded(ImageKind::Program, static_cast<std::uint32_t>(program.size()), 0);
    ASSERT_TRUE(rig.protocol.StartWrite(ImageKind::Program));
    ASSERT_TRUE(rig.Run([&] { return !rig.protocol.WorkerRunning(); }, std::chrono::seconds(10)));
    const Bytes flash = rig.memory->Flash();
    const std::size_t written = c.pagesWritten * 256;
    EXPECT_TRUE(std::equal(program.begin(), program.begin() + written, flash.begin()));
    EXPECT_TRUE(
        std::all_of(flash.begin() + written, flash.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(rig.protocol.Ready());
    EXPECT_FALSE(rig.transferShown.load());
  }
}

TEST(FirmwareUpgrade, ReadWithBadChecksumsStillReachesItsEnd) {
  sim::BootloaderSettings device = *sim::BootloaderSettings::ForDevice("ATmega8");
  device.badReadChecksums = true;
  UpgradeRig rig({}, device);
  std::string error;
  ASSERT_TRUE(rig.Start(error)) << error;
  ASSERT_TRUE(rig.Enter());
  EXPECT_EQ(rig.shownDevice, "ATmega8");
  ASSERT_TRUE(rig.protocol.StartRead(ImageKind::Data));
  ASSERT_TRUE(rig.Run([&] { return rig.reads.load() == 1; }));
  // Every block was refused and sent once more; both copies were stored and counted.
  EXPECT_EQ(rig.image.Size(), 2u * 512);
  EXPECT_TRUE(rig.image.Loaded(ImageKind::Data));
}

TEST(FirmwareUpgrade, SilentBootloaderIsAskedUntilTheDialogCloses) {
  sim::BootloaderSettings device;
  device.neverIdentify = true;
  auto requests = std::make_shared<std::atomic<int>>(0);
  sim::SimulatorOptions options;
  options.trace = [requests](const std::string& line) {
    if (line.find("<- 5A 01 90 80") != std::string::npos) {
      requests->fetch_add(1);
    }
  };
  UpgradeRig rig(options, device);
  std::string error;
  ASSERT_TRUE(rig.Start(error)) << error;
  EXPECT_FALSE(rig.Enter(std::chrono::seconds(1))) << "no identification";
  EXPECT_TRUE(rig.Run([&] { return requests->load() >= 3; }));
  EXPECT_FALSE(rig.protocol.Ready());
  EXPECT_TRUE(rig.protocol.WorkerRunning());
  rig.protocol.Close(); // wakes the poller out of its pause
  EXPECT_FALSE(rig.protocol.WorkerRunning());
}
