#include "port_backend.h"

#include <atomic>

namespace comlane {

namespace {

// A port that fails this many passes in a row, its error state cleared between them, is taken
// for gone (a pulled adapter): the receive thread stops watching it instead of spinning.
constexpr int kFailedPassesWhenGone = 3;

enum class IoEnd {
  kDone,
  kFailed,
  kAborted, // ended early by something else than this thread
  kStopped,
};

IoEnd Outcome(DWORD error) {
  switch (error) {
  case ERROR_SUCCESS:
    return IoEnd::kDone;
  case ERROR_OPERATION_ABORTED:
    return IoEnd::kAborted;
  default:
    return IoEnd::kFailed;
  }
}

// One overlapped transfer: its record, with an event of its own, and where it is.
struct Transfer {
  WinEvent finished;
  OVERLAPPED io{};
  bool eventWait = false; // a port-event request, not a read or write

  // Readies the record for the next transfer.
  OVERLAPPED& Next() {
    finished.Clear();
    io = OVERLAPPED{};
    io.hEvent = finished.Handle();
    return io;
  }
};

// Waits until the transfer on `transfer` ends, or until the thread is told to stop (its running
// flag cleared and `wake` signalled): the transfer is then cancelled, and waited for, since the
// driver writes into its record and buffer until it ends. A wake-up that is not a stop (bytes
// queued) is cleared and the wait goes on; the caller looks at its queue afterwards.
IoEnd Await(ComDevice& device, Transfer& transfer, Wake& wake, const std::atomic<bool>& running,
            DWORD& count) {
  const HANDLE waits[2] = {transfer.finished.Handle(), wake.Handle()};
  for (;;) {
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) {
      return Outcome(device.Result(transfer.io, count));
    }
    if (woken == WAIT_OBJECT_0 + 1) {
      wake.Clear();
      if (running) {
        continue;
      }
    }
    if (transfer.eventWait) {
      device.CancelWaitEvent(transfer.io);
    } else {
      device.Cancel(transfer.io);
    }
    WaitForSingleObject(transfer.finished.Handle(), INFINITE);
    return woken == WAIT_OBJECT_0 + 1 ? IoEnd::kStopped : IoEnd::kFailed;
  }
}

IoEnd Finish(IoStart started, ComDevice& device, Transfer& transfer, Wake& wake,
             const std::atomic<bool>& running, DWORD& count) {
  switch (started) {
  case IoStart::kDone:
    return Outcome(device.Result(transfer.io, count));
  case IoStart::kPending:
    return Await(device, transfer, wake, running, count);
  default:
    return IoEnd::kFailed;
  }
}

// Writes `n` bytes in one overlapped write. On failure the error state is cleared and the bytes
// are lost; the written count is not examined (writes have no time-out).
void Send(PortShared& shared, ComDevice& device, Transfer& transfer, const std::uint8_t* bytes,
          std::size_t n) {
  const IoStart started = device.StartWrite(bytes, static_cast<DWORD>(n), transfer.Next());
  DWORD written = 0;
  const IoEnd end =
      Finish(started, device, transfer, shared.transmitWake, shared.transmit.running, written);
  if (end == IoEnd::kFailed || end == IoEnd::kAborted) {
    DWORD queued = 0;
    [[maybe_unused]] const bool answered = device.ClearErrors(queued);
  }
}

// The outcome of one receive pass.
enum class Pass { kQuiet, kDelivered, kFailed, kGone, kStopped };

// Reads what the driver holds, a chunk at a time, and delivers each chunk, until it holds
// nothing more.
Pass Drain(PortShared& shared, ComDevice& device, Transfer& transfer, Chunk& buffer,
           Chunk& delivery) {
  Pass pass = Pass::kQuiet;
  while (shared.receive.running) {
    DWORD queued = 0;
    if (!device.ClearErrors(queued)) {
      return Pass::kGone;
    }
    if (queued == 0) {
      return pass;
    }
    const IoStart started = device.StartRead(buffer.data(), kChunk, transfer.Next());
    DWORD got = 0;
    const IoEnd end =
        Finish(started, device, transfer, shared.receiveWake, shared.receive.running, got);
    if (end != IoEnd::kDone) {
      return end == IoEnd::kStopped   ? Pass::kStopped
             : end == IoEnd::kAborted ? Pass::kQuiet
                                      : Pass::kFailed;
    }
    if (got == 0) {
      return pass;
    }
    Deliver(shared, buffer.data(), got, delivery);
    pass = Pass::kDelivered;
  }
  return Pass::kStopped;
}

// Waits for the next port event and drains the port when it reports received characters.
Pass ReceivePass(PortShared& shared, ComDevice& device, Transfer& waiting, Transfer& reading,
                 Chunk& buffer, Chunk& delivery) {
  DWORD events = 0;
  const IoStart started = device.StartWaitEvent(events, waiting.Next());
  DWORD unused = 0;
  const IoEnd end =
      Finish(started, device, waiting, shared.receiveWake, shared.receive.running, unused);
  if (end == IoEnd::kStopped) {
    return Pass::kStopped;
  }
  DWORD queued = 0;
  if (end == IoEnd::kFailed) {
    return device.ClearErrors(queued) ? Pass::kFailed : Pass::kGone;
  }
  // Under wine a write to the port ends the request under way early: nothing is lost, the
  // next pass asks again.
  if (end == IoEnd::kAborted) {
    return device.ClearErrors(queued) ? Pass::kQuiet : Pass::kGone;
  }
  if ((events & EV_RXCHAR) == 0) {
    // A wait that ends without an event (the mask changed, or the device went) is looked into.
    return device.ClearErrors(queued) ? Pass::kQuiet : Pass::kGone;
  }
  return Drain(shared, device, reading, buffer, delivery);
}

} // namespace

void RunTransmit(std::shared_ptr<PortShared> shared, std::shared_ptr<Device> device) {
  Chunk buffer{};
  try {
    Transfer transfer;
    while (shared->transmit.running) {
      if (shared->transmitQueue.Size() == 0) {
        WaitForSingleObject(shared->transmitWake.Handle(), INFINITE);
        shared->transmitWake.Clear();
        continue;
      }
      const std::size_t n = shared->transmitQueue.Take(buffer.data(), buffer.size());
      Send(*shared, *device, transfer, buffer.data(), n);
    }
  } catch (...) {
    // No event for the transfer record: the thread cannot write and ends.
  }
  shared->transmit.End();
}

void RunReceive(std::shared_ptr<PortShared> shared, std::shared_ptr<Device> device) {
  Chunk buffer{};
  Chunk delivery{};
  try {
    Transfer waiting;
    waiting.eventWait = true;
    Transfer reading;
    bool watchDevice = true;
    int failedPasses = 0;
    bool reported = false;
    while (shared->receive.running) {
      if (!watchDevice) {
        WaitForSingleObject(shared->receiveWake.Handle(), INFINITE);
        shared->receiveWake.Clear();
        continue;
      }
      const Pass pass = ReceivePass(*shared, *device, waiting, reading, buffer, delivery);
      if (pass == Pass::kFailed) {
        ++failedPasses;
      } else if (pass == Pass::kDelivered || pass == Pass::kQuiet) {
        failedPasses = 0;
      }
      watchDevice = pass != Pass::kGone && failedPasses < kFailedPassesWhenGone;
      if (!watchDevice) {
        ReportLost(*shared, reported);
      }
    }
  } catch (...) {
    // No events for the transfer records: the thread cannot receive and ends.
  }
  shared->receive.End();
}

} // namespace comlane
