#pragma once
// Shared by the bootloader conversation tests: the test plays the bootloader, feeds its replies,
// and drives the timer ticks and the poller's pauses.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "firmware/bootloader_protocol.h"
#include "firmware/reply_collector.h"
#include "lamp_test/wait.h"

namespace lamp::firmware::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr auto kDeadline = std::chrono::seconds(10);

// Waits for `condition` until the deadline; true if it came.
template <typename Condition> bool Eventually(Condition condition) {
  return lamp::test::WaitUntil(condition, kDeadline);
}

// Everything the protocol sends, from any thread.
class Line {
public:
  int Write(const std::uint8_t* bytes, std::int32_t count) {
    const std::lock_guard lock(mutex);
    sent.insert(sent.end(), bytes, bytes + count);
    arrived.notify_all();
    return count;
  }
  // Waits until `count` bytes in all have been sent.
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, kDeadline, [&] { return sent.size() >= count; });
  }
  Bytes All() {
    const std::lock_guard lock(mutex);
    return sent;
  }
  Bytes Slice(std::size_t from, std::size_t count) {
    const std::lock_guard lock(mutex);
    const std::size_t end = std::min(sent.size(), from + count);
    return from < end ? Bytes(sent.begin() + static_cast<std::ptrdiff_t>(from),
                              sent.begin() + static_cast<std::ptrdiff_t>(end))
                      : Bytes();
  }
  std::size_t Size() {
    const std::lock_guard lock(mutex);
    return sent.size();
  }

private:
  std::mutex mutex;
  std::condition_variable arrived;
  Bytes sent;
};

// The poller's 250 ms pass only when the test steps; the writer's short pauses pass at once.
// Every pause asked for is recorded, so that its length can be held against the protocol's.
class StepPacer final : public Pacer {
public:
  void Pause(std::chrono::milliseconds duration, const std::function<bool()>& stop) override {
    std::unique_lock lock(mutex);
    asked.push_back(duration);
    if (duration < kIdentifyPeriod) {
      return;
    }
    wake.wait(lock, [&] { return steps > 0 || stop(); });
    if (steps > 0) {
      --steps;
    }
  }
  void Wake() override {
    { const std::lock_guard lock(mutex); }
    wake.notify_all();
  }
  std::vector<std::chrono::milliseconds> Asked() {
    const std::lock_guard lock(mutex);
    return asked;
  }
  void Step() {
    {
      const std::lock_guard lock(mutex);
      ++steps;
    }
    wake.notify_all();
  }

private:
  std::mutex mutex;
  std::condition_variable wake;
  int steps = 0;
  std::vector<std::chrono::milliseconds> asked;
};

class EventLog final : public BootloaderEvents {
public:
  void TargetChanged(const TargetPanel::Values& values) override {
    const std::lock_guard lock(mutex);
    targets.push_back(values);
  }
  void ShowTransfer(bool shown) override { Add(shown ? "show" : "hide"); }
  void SetProgressRange(std::int32_t maximum) override { Add("range " + std::to_string(maximum)); }
  void SetProgressPosition(std::int32_t position) override {
    const std::lock_guard lock(mutex);
    positions.push_back(position);
  }
  void StartBlockTimer() override { Add("timer on"); }
  void StopBlockTimer() override { Add("timer off"); }
  void ImageRead() override { Add("read"); }
  void TransferEnded(const TransferOutcome& outcome) override {
    Add("end " + OutcomeText(outcome));
  }

  std::vector<std::string> Entries() {
    const std::lock_guard lock(mutex);
    return entries;
  }
  std::vector<TargetPanel::Values> Targets() {
    const std::lock_guard lock(mutex);
    return targets;
  }
  std::vector<std::int32_t> Positions() {
    const std::lock_guard lock(mutex);
    return positions;
  }

private:
  void Add(std::string entry) {
    const std::lock_guard lock(mutex);
    entries.push_back(std::move(entry));
  }
  std::mutex mutex;
  std::vector<std::string> entries;
  std::vector<TargetPanel::Values> targets;
  std::vector<std::int32_t> positions;
};

inline Bytes IdentifyReply(unsigned signature, unsigned pageBytes, unsigned eeprom = 4096,
                           unsigned flashK = 128) {
  return {0x5A,
          0x01,
          0x90,
          0x80,
          static_cast<std::uint8_t>(signature >> 8),
          static_cast<std::uint8_t>(signature),
          static_cast<std::uint8_t>(flashK >> 8),
          static_cast<std::uint8_t>(flashK),
          0x04,
          0x00,
          0x00,
          0x80,
          static_cast<std::uint8_t>(pageBytes >> 8),
          static_cast<std::uint8_t>(pageBytes),
          static_cast<std::uint8_t>(eeprom >> 8),
          static_cast<std::uint8_t>(eeprom)};
}

inline Bytes Ack(std::uint8_t subCommand, std::uint8_t status) {
  return {0x5A, 0x01, 0x90, subCommand, status};
}

// A read block: header, address, data, checksum (or `checksum` when given).
inline Bytes ReadBlock(std::uint8_t subCommand, unsigned address, const Bytes& data,
                       int checksum = -1) {
  Bytes block(6 + data.size() + 1);
  const std::uint8_t head[6] = {0x5A,
                                0x01,
                                0x90,
                                subCommand,
                                static_cast<std::uint8_t>(address >> 8),
                                static_cast<std::uint8_t>(address)};
  std::copy(std::begin(head), std::end(head), block.begin());
  std::copy(data.begin(), data.end(), block.begin() + 6);
  block.back() = checksum >= 0
                     ? static_cast<std::uint8_t>(checksum)
                     : static_cast<std::uint8_t>(std::accumulate(data.begin(), data.end(), 0u));
  return block;
}

inline Bytes Pattern(std::size_t count, std::uint8_t first) {
  Bytes bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

inline const Bytes kIdentifyRequest = {0x5A, 0x01, 0x90, 0x80};

class BootloaderProtocolTest : public ::testing::Test {
protected:
  void Feed(const Bytes& bytes) { protocol.OnBootData(bytes.data(), bytes.size()); }

  // Enters the bootloader and answers the first identify request.
  void Identify(unsigned pageBytes = 256) {
    const std::size_t start = line.Size();
    protocol.BeginEntry();
    protocol.FinishEntry();
    ASSERT_TRUE(line.WaitFor(start + 6 + 4));
    Feed(IdentifyReply(0x9702, pageBytes));
    ASSERT_TRUE(protocol.Ready());
    ASSERT_FALSE(protocol.WorkerRunning());
  }

  // Plays the bootloader for a write of `blocks` blocks of `blockBytes`, answering block
  // `refuse` (if any) with NAK, and returns what was sent from `start` (the request) on.
  Bytes AnswerBlocks(std::size_t start, std::uint8_t subCommand, int blocks, std::size_t blockBytes,
                     int refuse = -1) {
    const std::size_t frame = blockBytes + 3;
    start += 4;
    for (int k = 0; k < blocks; ++k) {
      EXPECT_TRUE(line.WaitFor(start + (k + 1) * frame)) << "block " << k;
      Feed(Ack(subCommand, k == refuse ? 0x15 : 0x06));
    }
    EXPECT_TRUE(line.WaitFor(start + blocks * frame + 2));
    EXPECT_TRUE(Eventually([&] { return !protocol.WorkerRunning(); }));
    return line.Slice(start - 4, line.Size() - start + 4);
  }

  ImageBuffer buffer;
  FirmwareImage image{buffer};
  Line line;
  StepPacer pacer;
  EventLog events;
  BootloaderProtocol protocol{
      image, [this](const std::uint8_t* b, std::int32_t n) { return line.Write(b, n); }, pacer,
      events};
};

} // namespace lamp::firmware::test
