#pragma once
// What the port object shares with its transmit and receive threads. The threads hold it (and
// the open device) by shared ownership and touch nothing else of the object, so a thread that
// could not be stopped in time stays harmless after Close, and even after Destroy.

#include "backend_types.h"
#include "byte_queue.h"
#include "thread_state.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <wndmsg/message_target.h>

namespace comlane {

struct PortShared {
  ByteQueue transmitQueue;
  ByteQueue receiveQueue;
  std::atomic<wndmsg::MessageTarget*> owner{nullptr};
  Wake transmitWake; // data queued, or stop requested
  Wake receiveWake;  // stop requested
  ThreadState transmit;
  ThreadState receive;
  // Set by the transmit thread when a write finds the device gone; the receive thread, woken
  // through receiveWake, reports the loss to the owner. Cleared when the threads start.
  std::atomic<bool> writeFailed{false};
};

inline constexpr std::size_t kChunk = 4096;
using Chunk = std::array<std::uint8_t, kChunk>;

// Passes `n` received bytes (at most kChunk) through the receive queue to the owner as
// WM_SERIAL_DATA, in `delivery`, and returns when the owner has handled them. The queue is empty
// before every delivery, so a chunk always fits whole.
void Deliver(PortShared& shared, const std::uint8_t* bytes, std::size_t n, Chunk& delivery);

// Tells the owner that the line is lost (WM_SERIAL_LOST), unless `reported` says it was told
// already or the thread is being stopped (a Close is the owner's own doing). Receive thread.
void ReportLost(PortShared& shared, bool& reported);

} // namespace comlane
