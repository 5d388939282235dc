#include "firmware/reply_collector.h"

namespace lamp::firmware {

void ReplyCollector::SetExpectedLength(std::int32_t length) {
  expectedLength = length > 0 && length <= kReplyBufferBytes ? length : 0;
}

void ReplyCollector::Empty() {
  receivedCount = 0;
  buffer.fill(0);
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
    if (receivedCount == expectedLength) {
      onReply(buffer, receivedCount);
      Empty();
    }
  }
}

} // namespace lamp::firmware
