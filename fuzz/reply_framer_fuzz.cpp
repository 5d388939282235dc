// The reply framer on arbitrary received bytes. Besides the sanitizers' checks, three properties:
// - fed byte by byte, it commits exactly the entries of a plain per-byte model of the framing
//   rules (below), each a frame from its start byte on followed by zeros, or all zeros;
// - cutting the stream into chunks anywhere gives the same entries;
// - a ring that is never drained keeps the first 63 entries and drops only later ones.
// Each entry is then applied to a machine state, a panel and open setup dialogs, which check
// that the panel is asked only about its four lamps and twelve buttons.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/machine_state.h"
#include "link/reply_applier.h"
#include "link/reply_framer.h"
#include "link/reply_panel.h"
#include "link/reply_ring.h"

namespace {

using lamp::ReplyFramer;
using lamp::ReplyRing;
using Entries = std::vector<ReplyRing::Slot>;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Every setup dialog open; any row, column or field is accepted (tables skip what they lack).
class AnyDialog final : public lamp::ReplyDialog {
public:
  void SetCellText(int, int, const std::string&) override {}
  void SetFieldText(int, const std::string&) override {}
  void CheckRadio(int, int, int) override {}
  void SetSelectedUser(int) override {}
};

class CheckingPanel final : public lamp::ReplyPanel {
public:
  void EndLevelEdit() override {}
  void RefreshLampButtons() override {}
  std::int32_t Level(int lamp) const override {
    Lamp(lamp);
    return lamp * 100;
  }
  void ShowLevel(int lamp, std::int32_t) override { Lamp(lamp); }
  void SetCursorDigits(std::int32_t) override {}
  void PlaceCursorMarker() override {}
  void SetTemperatureText(const std::string&) override {}
  void SetFanText(const std::string&) override {}
  void PressButton(int index, std::int32_t) override { Button(index); }
  void RepaintButton(int index, std::int32_t) override { Button(index); }
  void SetButtonCaption(int index, const std::string&) override { Button(index); }
  void ShowStatusLabel(bool) override {}
  void SetStatusText(const std::string&) override {}
  lamp::ReplyDialog* OpenReplyDialog(lamp::SetupDialog) override { return &dialog; }

private:
  static void Lamp(int lamp) { Check(lamp >= 0 && lamp < 4); }
  static void Button(int index) { Check(index >= 0 && index < 12); }
  AnyDialog dialog;
};

void Drain(ReplyRing& ring, Entries& into) {
  while (auto entry = ring.Take()) {
    into.push_back(*entry);
  }
}

// The framing rules one byte at a time: hunt for 0x5A; the next byte is the length L; store
// bytes while fewer than L + 1 are stored, committing after the L-th; a frame that reaches 20
// bytes becomes an all-zero entry; a byte that arrives when more than L are stored ends the
// frame and is looked at again. For L of 3 to 19, a third byte other than 0x01 unmakes the frame
// and is looked at again, and a last byte other than 0x03 makes the entry all zeros.
Entries Model(const std::uint8_t* bytes, std::size_t count) {
  Entries entries;
  ReplyRing::Slot slot{};
  bool inFrame = false;
  std::size_t stored = 0;
  for (std::size_t i = 0; i < count;) {
    const std::uint8_t b = bytes[i];
    if (!inFrame) {
      ++i;
      if (b == 0x5A) {
        slot = {};
        slot[0] = b;
        stored = 1;
        inFrame = true;
      }
      continue;
    }
    const bool checked = stored >= 2 && slot[1] >= 3 && slot[1] < ReplyRing::kSlotSize;
    if (stored >= 2 && stored > slot[1]) {
      entries.push_back(slot);
      inFrame = false;
      continue;
    }
    if (checked && stored == 2 && b != 0x01) {
      inFrame = false;
      continue;
    }
    slot[stored++] = b;
    ++i;
    if (stored == ReplyRing::kSlotSize) {
      entries.push_back(ReplyRing::Slot{});
      inFrame = false;
    } else if (stored >= 3 && stored == slot[1]) {
      entries.push_back(checked && b != 0x03 ? ReplyRing::Slot{} : slot);
      inFrame = false;
    }
  }
  return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // The first byte chooses how the rest is cut into chunks.
  const unsigned cutSeed = data[0];
  const std::uint8_t* stream = data + 1;
  const std::size_t count = size - 1;

  Entries byteByByte;
  {
    ReplyRing ring;
    ReplyFramer framer(ring);
    for (std::size_t i = 0; i < count; ++i) {
      framer.Feed(stream + i, 1);
      Drain(ring, byteByByte);
    }
    Check(ring.DroppedCount() == 0);
  }
  Check(byteByByte == Model(stream, count));
  {
    lamp::MachineState state;
    CheckingPanel panel;
    lamp::ReplyApplier applier(state, panel);
    for (const ReplyRing::Slot& entry : byteByByte) {
      applier.Apply(entry);
    }
  }

  {
    ReplyRing ring;
    ReplyFramer framer(ring);
    Entries chunked;
    unsigned state = cutSeed * 2654435761u + 1;
    for (std::size_t at = 0; at < count;) {
      state = state * 1103515245u + 12345u;
      const std::size_t chunk = 1 + (state >> 16) % (cutSeed % 64 + 1);
      const std::size_t take = chunk < count - at ? chunk : count - at;
      framer.Feed(stream + at, take);
      at += take;
      Drain(ring, chunked);
    }
    if (ring.DroppedCount() == 0) {
      Check(chunked == byteByByte);
    }
  }

  {
    ReplyRing ring;
    ReplyFramer framer(ring);
    framer.Feed(stream, count);
    Entries kept;
    Drain(ring, kept);
    const std::size_t capacity = ReplyRing::kSlotCount - 1;
    const std::size_t expected = byteByByte.size() < capacity ? byteByByte.size() : capacity;
    Check(kept.size() == expected);
    Check(ring.DroppedCount() == byteByByte.size() - expected);
    Check(Entries(byteByByte.begin(), byteByByte.begin() + static_cast<std::ptrdiff_t>(expected)) ==
          kept);
  }
  return 0;
}
