#pragma once
// What the port object shares with its transmit and receive threads. The threads hold it (and
// the open device) by shared ownership and touch nothing else of the object, so a thread that
// could not be stopped in time stays harmless after Close, and even after Destroy.

#include "byte_queue.h"
#include "event_fd.h"
#include "thread_state.h"

#include <atomic>
#include <wndmsg/message_target.h>

namespace comlane {

struct PortShared {
  ByteQueue transmitQueue;
  ByteQueue receiveQueue;
  std::atomic<wndmsg::MessageTarget*> owner{nullptr};
  EventFd transmitWake; // data queued, or stop requested
  EventFd receiveWake;  // stop requested
  ThreadState transmit;
  ThreadState receive;
};

} // namespace comlane
