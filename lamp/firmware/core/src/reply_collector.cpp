#include "firmware/reply_collector.h"

#include <algorithm>
#include <utility>

namespace lamp::firmware {
namespace {

constexpr std::int32_t kHeaderBytes = 3;

} // namespace

void ReplyCollector::SetFraming(const std::array<std::uint8_t, 3>& replyHeader,
                                LengthOf replyLength) {
  header = replyHeader;
  lengthOf = std::move(replyLength);
  framed = static_cast<bool>(lengthOf);
}

void ReplyCollector::SetExpectedLength(std::int32_t length) {
  expectedLength = length > 0 && length <= kReplyBufferBytes ? length : 0;
}

void ReplyCollector::Empty() {
  receivedCount = 0;
  buffer.fill(0);
}

void ReplyCollector::FindHeaderStart() {
  const auto begin = buffer.begin();
  auto start = begin;
  const auto end = begin + receivedCount;
  while (start != end &&
         !std::equal(start, end, header.begin(),
                     header.begin() + std::min<std::ptrdiff_t>(end - start, kHeaderBytes))) {
    ++start;
  }
  if (start != begin) {
    std::copy(start, end, begin);
    std::fill(begin + (end - start), end, 0);
    receivedCount = static_cast<std::int32_t>(end - start);
  }
}

std::int32_t ReplyCollector::ReplyLength() const {
  if (!framed || receivedCount <= kHeaderBytes) {
    return expectedLength;
  }
  const std::int32_t own = lengthOf(buffer[kHeaderBytes], expectedLength);
  return own > 0 && own <= kReplyBufferBytes ? own : expectedLength;
}

void ReplyCollector::Add(const std::uint8_t* bytes, std::size_t count,
                         const ReplyHandler& onReply) {
  for (std::size_t i = 0; i < count; ++i) {
    if (expectedLength == 0) {
      continue;
    }
    if (receivedCount >= kReplyBufferBytes) {
      Empty();
    }
    buffer[static_cast<std::size_t>(receivedCount++)] = bytes[i];
    if (framed && receivedCount <= kHeaderBytes) {
      FindHeaderStart();
    }
    if (receivedCount == ReplyLength()) {
      onReply(buffer, receivedCount);
      Empty();
    }
  }
}

} // namespace lamp::firmware
