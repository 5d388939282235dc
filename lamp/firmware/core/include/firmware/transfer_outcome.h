#pragma once
// How a write or read of device memory ended, as the bootloader conversation reports it to the
// firmware dialog and to the command-line upgrader, and the one-line text both show for it.
//
// Plain C++ without Qt; no shared state.

#include <cstdint>
#include <string>

#include "firmware/firmware_image.h"

namespace lamp::firmware {

enum class TransferDirection { Write, Read };

enum class TransferEnd {
  Finished,  // every block went through (a write: each acknowledged; a read: each checksum good)
  Refused,   // a write block refused by the device; a read block whose checksum stayed wrong
  NoReply,   // no acknowledgement (write) or no further block (read) within the block time-out
  Cancelled, // the operator's Cancel
  LineLost,  // the serial line went away
  Closed,    // the dialog (or the conversation) closed
};

struct TransferOutcome {
  TransferDirection direction = TransferDirection::Write;
  ImageKind kind = ImageKind::Program;
  TransferEnd end = TransferEnd::Finished;
  // The block the transfer stopped at, counted from 0: for a write the first block not
  // acknowledged; for a read the first block whose checksum stayed wrong (Refused) or the number
  // of blocks taken so far. For Finished, the number of blocks.
  std::int32_t block = 0;
  // The device address of `block` as the line carries it (program: page number; data: byte
  // address); for a read that stopped (not Refused), the address of the last block taken.
  std::uint32_t address = 0;
  // Blocks of the whole transfer: a write's block count; a read's, from the device's sizes.
  std::int32_t blockCount = 0;

  [[nodiscard]] bool Finished() const { return end == TransferEnd::Finished; }
};

// The operator's line: "Write finished: 300 pages.", "Write stopped at page 30 (block 3 of 300):
// refused.", "Read stopped after 12 of 512 pages: no reply.", "Read ended with a bad block at
// page 7 (block 8 of 512): checksum wrong." Blocks are counted from 1 here. Data memory counts
// blocks of 128 bytes and names byte addresses ("at address 0x0180").
[[nodiscard]] std::string OutcomeText(const TransferOutcome& outcome);

} // namespace lamp::firmware
