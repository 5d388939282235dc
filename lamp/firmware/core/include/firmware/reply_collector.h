#pragma once
// Collects the bytes of bootloader replies. Replies have no delimiter: each one is cut from the
// stream by its length. One chunk may complete several replies and one reply may span several
// chunks.
//
// Without a framing (SetFraming) every reply is cut by the length the last request announced.
// With one, the collector also finds the start of a reply again: a byte that cannot continue the
// reply header is dropped while the header is collected, and a reply whose header names another
// kind of reply than the one announced (an identify answer that was asked for twice and arrives
// late, a write acknowledgement after its write ended) is cut by its own length, so that it does
// not swallow the start of the reply awaited, nor leave every later reply cut in the wrong place.
// Once its header is complete a reply is never searched: data bytes are taken as they come.
//
// While no length is expected (0) arriving bytes are dropped, and the collector never holds more
// than 512 bytes: if a reply outgrows the buffer without reaching its length (a length lowered
// while a longer reply was half collected), the bytes are dropped and collection starts afresh.
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
  // The length of a reply whose header carries `kind` (the byte after the three fixed ones),
  // given the length the last request announced.
  using LengthOf = std::function<std::int32_t(std::uint8_t kind, std::int32_t announced)>;

  // Every reply starts with `header` followed by a byte naming its kind.
  void SetFraming(const std::array<std::uint8_t, 3>& header, LengthOf lengthOf);

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
  // Drops leading bytes until what is held could begin a header.
  void FindHeaderStart();
  [[nodiscard]] std::int32_t ReplyLength() const;

  Buffer buffer{};
  std::int32_t expectedLength = 0;
  std::int32_t receivedCount = 0;
  bool framed = false;
  std::array<std::uint8_t, 3> header{};
  LengthOf lengthOf;
};

} // namespace lamp::firmware
