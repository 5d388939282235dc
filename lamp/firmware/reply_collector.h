#pragma once
// Collects the bytes of bootloader replies. Replies have no delimiter: each one is cut from the
// stream by the length the last request announced. One chunk may complete several replies and
// one reply may span several chunks.
//
// While no length is expected (0) arriving bytes are dropped, and the collector never holds more
// than 512 bytes: if a reply outgrows the buffer without reaching the expected length (a length
// lowered while a longer reply was half collected), the bytes are dropped and collection starts
// afresh.
//
// Threads: one thread at a time (the user-interface thread).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace lamp::firmware {

inline constexpr int kReplyBufferBytes = 512;

class ReplyCollector {
public:
  // Called with each complete reply, in order: the whole buffer, holding the reply's `length`
  // bytes followed by zeros, valid during the call only.
  using Buffer = std::array<std::uint8_t, kReplyBufferBytes>;
  using ReplyHandler = std::function<void(const Buffer& reply, std::int32_t length)>;

  // Length of the next reply: 0 collects nothing; values above 512 are taken as 0.
  void SetExpectedLength(std::int32_t length);
  [[nodiscard]] std::int32_t ExpectedLength() const { return expectedLength; }
  [[nodiscard]] std::int32_t ReceivedCount() const { return receivedCount; }

  // Discards the bytes of the reply being collected.
  void Empty();

  // Takes the bytes of one received chunk, handing each completed reply to `onReply`. The
  // handler may change the expected length; the buffer is emptied after it returns.
  void Add(const std::uint8_t* bytes, std::size_t count, const ReplyHandler& onReply);

private:
  Buffer buffer{};
  std::int32_t expectedLength = 0;
  std::int32_t receivedCount = 0;
};

} // namespace lamp::firmware
