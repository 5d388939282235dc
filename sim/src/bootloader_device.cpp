#include "sim/bootloader_device.h"

#include <algorithm>
#include <array>
#include <numeric>

#include <firmware/bootloader_wire.h>
#include <link/protocol.h>

#include "sim/simulator.h"

namespace sim {
namespace {

using lamp::firmware::BootAnswer;
using lamp::firmware::BootMessage;
using lamp::firmware::kBootAck;
using lamp::firmware::kBootIdentify;
using lamp::firmware::kBootJumpApplication;
using lamp::firmware::kBootMessageBytes;
using lamp::firmware::kBootNak;
using lamp::firmware::kBootReadData;
using lamp::firmware::kBootReadProgram;
using lamp::firmware::kBootWriteData;
using lamp::firmware::kBootWriteProgram;
using lamp::firmware::kEndOfRead;
using lamp::firmware::kEndOfWrite;
using lamp::firmware::kReadBlockDataOffset;

constexpr auto kHeader = lamp::kBootloaderHeader;
constexpr std::size_t kDataBlock = lamp::firmware::kDataBlockBytes;
constexpr auto kForgetAfter = std::chrono::milliseconds(500);

std::uint8_t Sum(const std::uint8_t* bytes, std::size_t count) {
  return static_cast<std::uint8_t>(std::accumulate(bytes, bytes + count, 0u));
}

void PutWord(std::vector<std::uint8_t>& frame, std::uint32_t word) {
  frame.push_back(static_cast<std::uint8_t>(word >> 8));
  frame.push_back(static_cast<std::uint8_t>(word));
}

std::vector<std::uint8_t> Reply(std::uint8_t subCommand) {
  const auto message = BootMessage(subCommand);
  return {message.begin(), message.end()};
}

std::vector<std::uint8_t> Answer(std::uint8_t subCommand, bool accepted) {
  const auto answer = BootAnswer(subCommand, accepted);
  return {answer.begin(), answer.end()};
}

} // namespace

std::optional<BootloaderSettings> BootloaderSettings::ForDevice(const std::string& name) {
  struct Device {
    const char* name;
    std::uint16_t signature, flashKBytes, bootSize, pageSize, pageBytes, eepromSize;
  };
  static constexpr std::array<Device, 5> kDevices = {{
      {"ATmega8", 0x9307, 8, 1024, 32, 64, 512},
      {"ATmega16", 0x9403, 16, 1024, 64, 128, 512},
      {"ATmega32", 0x9502, 32, 2048, 64, 128, 1024},
      {"ATmega64", 0x9602, 64, 4096, 128, 256, 2048},
      {"ATmega128", 0x9702, 128, 1024, 128, 256, 4096},
  }};
  for (const Device& device : kDevices) {
    if (name == device.name) {
      BootloaderSettings settings;
      settings.signature = device.signature;
      settings.flashKBytes = device.flashKBytes;
      settings.bootSize = device.bootSize;
      settings.pageSize = device.pageSize;
      settings.pageBytes = device.pageBytes;
      settings.eepromSize = device.eepromSize;
      return settings;
    }
  }
  return std::nullopt;
}

BootloaderMemory::BootloaderMemory(const BootloaderSettings& settings)
    : flash(std::size_t{settings.flashKBytes} * 1024, 0xFF), eeprom(settings.eepromSize, 0xFF) {}

std::vector<std::uint8_t> BootloaderMemory::Flash() const {
  const std::lock_guard lock(mutex);
  return flash;
}

std::vector<std::uint8_t> BootloaderMemory::Eeprom() const {
  const std::lock_guard lock(mutex);
  return eeprom;
}

BootloaderDevice::BootloaderDevice(BootloaderSettings deviceSettings,
                                   std::shared_ptr<BootloaderMemory> deviceMemory)
    : settings(std::move(deviceSettings)), memory(std::move(deviceMemory)) {}

void BootloaderDevice::OnActivate(TimePoint, Line&) {
  OnLineReset();
}

void BootloaderDevice::OnLineReset() {
  state = State::Request;
  partial.clear();
  held.clear();
}

void BootloaderDevice::Send(std::vector<std::uint8_t> frame, TimePoint due, Line& line) {
  if (held.empty() && due <= lastByte) {
    line.SendFrame(std::move(frame));
    return;
  }
  held.push_back({held.empty() ? due : std::max(due, held.back().due), std::move(frame)});
}

void BootloaderDevice::SendHeld(TimePoint now, Line& line) {
  while (!held.empty() && held.front().due <= now) {
    line.SendFrameDue(std::move(held.front().frame), held.front().due);
    held.pop_front();
  }
}

std::size_t BootloaderDevice::OnBytes(std::span<const std::uint8_t> bytes, TimePoint now,
                                      Line& line) {
  lastByte = now;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    partial.push_back(bytes[i]);
    if (Process(line)) {
      line.SwitchTo(PersonalityKind::Application);
      return i + 1;
    }
  }
  return bytes.size();
}

void BootloaderDevice::OnTime(TimePoint now, Line& line) {
  SendHeld(now, line);
  if (!partial.empty() && now - lastByte >= kForgetAfter) {
    // The read's own request given again waits for a fifth byte that is not coming: it restarts
    // the read.
    if (state == State::Read && partial.size() == kBootMessageBytes &&
        std::equal(kHeader.begin(), kHeader.end(), partial.begin())) {
      line.TraceReceived(partial, "request");
      const std::uint8_t subCommand = partial[3];
      partial.clear();
      HandleRequest(subCommand, line);
      return;
    }
    line.TraceReceived(partial, "unfinished, forgotten");
    partial.clear();
  }
}

TimePoint BootloaderDevice::NextWakeup() const {
  const TimePoint forget = partial.empty() ? TimePoint::max() : lastByte + kForgetAfter;
  return held.empty() ? forget : std::min(forget, held.front().due);
}

std::vector<std::uint8_t>& BootloaderDevice::Memory(bool program) {
  return program ? memory->flash : memory->eeprom;
}

bool BootloaderDevice::Process(Line& line) {
  for (;;) {
    if (state == State::Write) {
      if (partial.size() < kEndOfWrite.size()) {
        return false;
      }
      if (std::equal(kEndOfWrite.begin(), kEndOfWrite.end(), partial.begin())) {
        line.TraceReceived({partial.data(), kEndOfWrite.size()}, "end of write");
        partial.erase(partial.begin(), partial.begin() + kEndOfWrite.size());
        state = State::Request;
        continue;
      }
      const std::size_t blockBytes =
          transferCommand == kBootWriteProgram ? settings.pageBytes : kDataBlock;
      if (partial.size() < blockBytes + 3) {
        return false;
      }
      HandleBlock(line);
      partial.erase(partial.begin(), partial.begin() + static_cast<std::ptrdiff_t>(blockBytes + 3));
      continue;
    }
    // Requests and read answers start with the header: drop whatever cannot begin one.
    while (!partial.empty() &&
           !std::equal(partial.begin(),
                       partial.begin() + static_cast<std::ptrdiff_t>(
                                             std::min<std::size_t>(partial.size(), kHeader.size())),
                       kHeader.begin())) {
      line.TraceReceived({partial.data(), 1}, "skipped");
      partial.erase(partial.begin());
    }
    if (partial.size() < kBootMessageBytes) {
      return false;
    }
    if (state == State::Read && partial[3] == transferCommand) {
      if (partial.size() < kBootMessageBytes + 1) {
        return false;
      }
      if (partial[4] == kBootAck || partial[4] == kBootNak) {
        HandleReadAnswer(line);
        partial.erase(partial.begin(), partial.begin() + kBootMessageBytes + 1);
        continue;
      }
    }
    // A request; in the middle of a read it abandons the read.
    const std::uint8_t subCommand = partial[3];
    line.TraceReceived({partial.data(), kBootMessageBytes}, "request");
    partial.erase(partial.begin(), partial.begin() + kBootMessageBytes);
    state = State::Request;
    if (subCommand == kBootJumpApplication) {
      std::vector<std::uint8_t> reply = Answer(kBootJumpApplication, true);
      // The application takes the line at once; a page answer still held back goes first.
      for (Held& page : held) {
        line.SendFrame(std::move(page.frame));
      }
      held.clear();
      line.SendFrame(std::move(reply));
      return true;
    }
    HandleRequest(subCommand, line);
  }
}

void BootloaderDevice::HandleRequest(std::uint8_t subCommand, Line& line) {
  switch (subCommand) {
  case kBootIdentify:
    if (!settings.neverIdentify) {
      std::vector<std::uint8_t> reply = Reply(kBootIdentify);
      for (std::uint32_t word : {settings.signature, settings.flashKBytes, settings.bootSize,
                                 settings.pageSize, settings.pageBytes, settings.eepromSize}) {
        PutWord(reply, word);
      }
      Send(std::move(reply), lastByte, line);
    }
    break;
  case kBootWriteProgram:
  case kBootWriteData:
    state = State::Write;
    transferCommand = subCommand;
    blockIndex = 0;
    break;
  case kBootReadProgram:
  case kBootReadData: {
    const bool program = subCommand == kBootReadProgram;
    state = State::Read;
    transferCommand = subCommand;
    blockIndex = 0;
    resent = false;
    const std::size_t size =
        program ? std::size_t{settings.flashKBytes} * 1024 : std::size_t{settings.eepromSize};
    const std::size_t blockBytes = program ? settings.pageBytes : kDataBlock;
    readBlocks = blockBytes == 0 ? 0 : static_cast<std::uint32_t>(size / blockBytes);
    SendReadBlock(line);
    break;
  }
  default:
    break;
  }
}

void BootloaderDevice::HandleBlock(Line& line) {
  const bool program = transferCommand == kBootWriteProgram;
  const std::size_t blockBytes = program ? settings.pageBytes : kDataBlock;
  const std::uint32_t address = partial[0] * 256u + partial[1];
  const std::size_t offset = program ? std::size_t{address} * blockBytes : address;
  const std::uint8_t* data = partial.data() + 2;
  bool accepted = Sum(data, blockBytes) == data[blockBytes] &&
                  !(settings.refuseBlock && *settings.refuseBlock == blockIndex);
  {
    const std::lock_guard lock(memory->mutex);
    std::vector<std::uint8_t>& target = Memory(program);
    accepted = accepted && offset + blockBytes <= target.size();
    if (accepted) {
      std::copy_n(data, blockBytes, target.begin() + static_cast<std::ptrdiff_t>(offset));
    }
  }
  line.TraceReceived({partial.data(), blockBytes + 3}, accepted ? "block" : "block refused");
  ++blockIndex;
  if (!settings.neverAcknowledge) {
    Send(Answer(transferCommand, accepted),
         program && accepted ? lastByte + settings.pageTime : lastByte, line);
  }
}

void BootloaderDevice::HandleReadAnswer(Line& line) {
  line.TraceReceived({partial.data(), kBootMessageBytes + 1}, "read answer");
  // A refused block is sent once more, then the read moves on, so that a host that refuses
  // everything (after Cancel) still reaches the end.
  if (partial[4] == kBootAck || resent) {
    ++blockIndex;
    resent = false;
  } else {
    resent = true;
  }
  SendReadBlock(line);
}

void BootloaderDevice::SendReadBlock(Line& line) {
  const bool program = transferCommand == kBootReadProgram;
  const std::size_t blockBytes = program ? settings.pageBytes : kDataBlock;
  std::vector<std::uint8_t> block = Reply(transferCommand);
  if (blockIndex >= readBlocks) {
    PutWord(block, kEndOfRead);
    block.resize(block.size() + blockBytes + 1, 0);
    Send(std::move(block), lastByte, line);
    state = State::Request;
    return;
  }
  const std::size_t offset = std::size_t{blockIndex} * blockBytes;
  PutWord(block, program ? blockIndex : static_cast<std::uint32_t>(offset));
  {
    const std::lock_guard lock(memory->mutex);
    const std::vector<std::uint8_t>& source = Memory(program);
    block.insert(block.end(), source.begin() + static_cast<std::ptrdiff_t>(offset),
                 source.begin() + static_cast<std::ptrdiff_t>(offset + blockBytes));
  }
  const std::uint8_t checksum = Sum(block.data() + kReadBlockDataOffset, blockBytes);
  block.push_back(settings.badReadChecksums ? static_cast<std::uint8_t>(checksum + 1) : checksum);
  Send(std::move(block), lastByte, line);
}

std::shared_ptr<BootloaderMemory> InstallBootloader(Simulator& simulator,
                                                    const BootloaderSettings& settings) {
  auto memory = std::make_shared<BootloaderMemory>(settings);
  simulator.SetBootloaderFactory(
      [settings, memory] { return std::make_unique<BootloaderDevice>(settings, memory); });
  return memory;
}

} // namespace sim
