#include "firmware/transfer_outcome.h"

#include <cstdio>

namespace lamp::firmware {
namespace {

const char* EndText(TransferEnd end) {
  switch (end) {
  case TransferEnd::Finished:
    return "finished";
  case TransferEnd::Refused:
    return "refused";
  case TransferEnd::NoReply:
    return "no reply";
  case TransferEnd::Cancelled:
    return "cancelled";
  case TransferEnd::LineLost:
    return "line lost";
  case TransferEnd::Closed:
    return "closed";
  }
  return "";
}

} // namespace

std::string OutcomeText(const TransferOutcome& outcome) {
  const bool write = outcome.direction == TransferDirection::Write;
  const bool program = outcome.kind == ImageKind::Program;
  const char* blocks = program ? "pages" : "blocks";
  char text[160];
  char place[48];
  if (program) {
    std::snprintf(place, sizeof place, "page %u", static_cast<unsigned>(outcome.address));
  } else {
    std::snprintf(place, sizeof place, "address 0x%04X", static_cast<unsigned>(outcome.address));
  }
  if (outcome.end == TransferEnd::Finished) {
    std::snprintf(text, sizeof text, "%s finished: %d %s.", write ? "Write" : "Read",
                  static_cast<int>(outcome.block), blocks);
  } else if (!write && outcome.end == TransferEnd::Refused) {
    std::snprintf(text, sizeof text,
                  "Read ended with a bad block at %s (block %d of %d): checksum wrong.", place,
                  static_cast<int>(outcome.block) + 1, static_cast<int>(outcome.blockCount));
  } else if (write) {
    std::snprintf(text, sizeof text, "Write stopped at %s (block %d of %d): %s.", place,
                  static_cast<int>(outcome.block) + 1, static_cast<int>(outcome.blockCount),
                  EndText(outcome.end));
  } else {
    std::snprintf(text, sizeof text, "Read stopped after %d of %d %s: %s.",
                  static_cast<int>(outcome.block), static_cast<int>(outcome.blockCount), blocks,
                  EndText(outcome.end));
  }
  return text;
}

} // namespace lamp::firmware
