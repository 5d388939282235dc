#pragma once
// The controller's bootloader, as the simulator's second personality: after the entry frame it
// answers requests 5A 01 90 <sub-command> with the FLASH and EEPROM of a chosen AVR device.
//
//   80 identify        reply 5A 01 90 80 + six words (signature, flash K bytes, boot size,
//                      page size, page bytes, EEPROM bytes), most significant byte first
//   81 / 82 write      then blocks: address (2 bytes; page number or byte address), the data
//                      (page bytes or 128), checksum (sum of the data mod 256); each answered
//                      5A 01 90 <81|82> 06, or 15 for a wrong checksum or an address outside the
//                      memory (not stored). FF FF in place of an address ends the write. An
//                      accepted program page is answered only after the page-programming time,
//                      as a real device answers once its page write is through.
//   83 / 84 read       the bootloader sends the whole memory block by block (5A 01 90 <83|84>,
//                      address, data, checksum) and waits for each answer 5A 01 90 <83|84> 06/15;
//                      a NAK'd block is sent once more, then the read moves on. The end is a block
//                      with address FF FF.
//   88 jump            reply 5A 01 90 88 06, and the application takes the line again.
//
// Bytes of an unfinished request or block are forgotten after half a second of silence. The
// memories live in a BootloaderMemory shared by every bootloader the simulator makes, so that
// they survive a jump to the application and a new entry, as a real device's do.
//
// Threads: a BootloaderDevice belongs to the simulator's loop thread; BootloaderMemory may be
// read from any thread.

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/personality.h"

namespace sim {

class Simulator;

struct BootloaderSettings {
  // The device as the identify reply describes it; default the ATmega128.
  std::uint16_t signature = 0x9702;
  std::uint16_t flashKBytes = 128;
  std::uint16_t bootSize = 1024;
  std::uint16_t pageSize = 128;
  std::uint16_t pageBytes = 256;
  std::uint16_t eepromSize = 4096;

  // How long the device takes to program one FLASH page before it acknowledges it. 4.5 ms is
  // the ATmega's longest self-programming page write (the datasheets give 3.7 to 4.5 ms); a
  // bootloader erases the page while its bytes still arrive, so only the write holds the answer
  // back. EEPROM blocks are answered at once.
  std::chrono::microseconds pageTime{4500};

  // Faults. `refuseBlock`: the block with this index in every write (0 = the first) is answered
  // with NAK. `neverAcknowledge`: write blocks get no answer. `badReadChecksums`: every read
  // block carries a wrong checksum. `neverIdentify`: identify requests get no answer.
  std::optional<std::uint32_t> refuseBlock;
  bool neverAcknowledge = false;
  bool badReadChecksums = false;
  bool neverIdentify = false;

  // The settings of a device by name ("ATmega8", "ATmega16", "ATmega32", "ATmega64",
  // "ATmega128"); nullopt for a name not known.
  [[nodiscard]] static std::optional<BootloaderSettings> ForDevice(const std::string& name);
};

// The device's FLASH and EEPROM, erased (0xFF) at first.
class BootloaderMemory {
public:
  explicit BootloaderMemory(const BootloaderSettings& settings);

  [[nodiscard]] std::vector<std::uint8_t> Flash() const;
  [[nodiscard]] std::vector<std::uint8_t> Eeprom() const;

private:
  friend class BootloaderDevice;
  mutable std::mutex mutex;
  std::vector<std::uint8_t> flash;
  std::vector<std::uint8_t> eeprom;
};

class BootloaderDevice final : public Personality {
public:
  BootloaderDevice(BootloaderSettings settings, std::shared_ptr<BootloaderMemory> memory);

  void OnActivate(TimePoint now, Line& line) override;
  std::size_t OnBytes(std::span<const std::uint8_t> bytes, TimePoint now, Line& line) override;
  void OnTime(TimePoint now, Line& line) override;
  [[nodiscard]] TimePoint NextWakeup() const override;
  void OnLineReset() override;

private:
  enum class State { Request, Write, Read };

  // Takes the bytes gathered so far; returns true when the line goes back to the application.
  bool Process(Line& line);
  void HandleRequest(std::uint8_t subCommand, Line& line);
  void HandleBlock(Line& line);
  void HandleReadAnswer(Line& line);
  void SendReadBlock(Line& line);
  // Sends `frame`, after any answer still held back for a page being programmed.
  void Send(std::vector<std::uint8_t> frame, TimePoint due, Line& line);
  void SendHeld(TimePoint now, Line& line);
  [[nodiscard]] std::vector<std::uint8_t>& Memory(bool program);

  const BootloaderSettings settings;
  const std::shared_ptr<BootloaderMemory> memory;
  State state = State::Request;
  std::uint8_t transferCommand = 0;
  std::uint32_t blockIndex = 0; // blocks of the current write, or the current read block
  std::uint32_t readBlocks = 0;
  bool resent = false;
  std::vector<std::uint8_t> partial;
  TimePoint lastByte{};
  struct Held {
    TimePoint due;
    std::vector<std::uint8_t> frame;
  };
  std::deque<Held> held;
};

// Makes `simulator` answer the entry frame with a bootloader of `settings`; returns the memory
// those bootloaders share.
std::shared_ptr<BootloaderMemory> InstallBootloader(Simulator& simulator,
                                                    const BootloaderSettings& settings);

} // namespace sim
