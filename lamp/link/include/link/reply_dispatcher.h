#pragma once
// The reply dispatcher thread: takes one entry from the ReplyRing per pass of about 100 ms and has
// it applied on the user-interface thread, waiting until it has been. The pause after each pass
// bounds the thread's load, and so its pace: at most ten replies per second.
//
// A pass that finds the ring empty would do nothing but pause again, ten times a second while the
// panel is idle. So the thread sleeps instead until a reply is committed, and the pause after an
// applied entry is waited out only when the next entry is there: an entry is never applied sooner
// than a tenth of a second after the one before it. And while the panel is idle, a reply that
// finds the thread asleep and its pause over is applied at once by the ring's writer, on the
// user-interface thread where the thread would have had it applied anyway (ApplyOrWake): this
// spares the two threads waking each other for every status reply.
//
// The thread runs while `MachineState::workerRunning` is set; it checks the flag at the start of
// every pass and clears it again when it ends. Stop() clears the flag and cuts the current pause
// or sleep short. Join() waits for the thread; the owner of the windows must join it (servicing
// the calls the thread makes onto the user-interface thread meanwhile) before those windows go.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "link/machine_state.h"
#include "link/reply_ring.h"

namespace lamp {

class ReplyDispatcher {
public:
  // Runs `apply` synchronously on the user-interface thread; returns false when the call was
  // refused or aborted without running (the window is closing).
  using RunOnGui = std::function<bool(const std::function<void()>& apply)>;
  // Applies one entry; run through RunOnGui.
  using ApplyEntry = std::function<void(const ReplyRing::Slot& entry)>;
  // Joins the thread; the owner of the windows passes one that services cross-thread calls.
  using JoinFn = std::function<void(std::jthread& thread)>;

  // Waits out the pause after a pass; on the dispatcher thread. The default waits on the
  // thread's own wake-up, which Stop() cuts short.
  using Pause = std::function<void(std::chrono::milliseconds)>;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  static constexpr std::chrono::milliseconds kPassPeriod{100};

  ReplyDispatcher(ReplyRing& ring, MachineState& state, RunOnGui runOnGui, ApplyEntry apply,
                  std::chrono::milliseconds passPeriod = kPassPeriod, Pause pause = {},
                  Clock clock = {});
  // Stops and joins a thread that is still running (plainly: join with a servicing JoinFn first
  // when the thread may be waiting for the user-interface thread).
  ~ReplyDispatcher();
  ReplyDispatcher(const ReplyDispatcher&) = delete;
  ReplyDispatcher& operator=(const ReplyDispatcher&) = delete;

  // Sets `workerRunning` and starts the thread. Nothing if it was already started.
  void Start();
  // Clears `workerRunning` and wakes the thread from its pause; does not wait. Any thread.
  void Stop();
  // Stop(), then waits for the thread with `join` (a plain join when empty). Owner's thread.
  void Join(const JoinFn& join = {});
  // Wakes a thread sleeping on the empty ring; the ring's writer calls it after committing.
  // Any thread.
  void ReplyCommitted();
  // The ring's writer on the user-interface thread, after committing: when the thread is asleep
  // on the empty ring and a tenth of a second has passed since the last entry was applied,
  // applies the next entry here and now; otherwise wakes the thread as ReplyCommitted() does.
  // Returns true if an entry was applied here.
  bool ApplyOrWake();
  // True from Start() until the thread has ended. Any thread.
  [[nodiscard]] bool Running() const noexcept { return running_.load(); }
  // True while the thread sleeps because the ring was empty (or its one entry was being applied
  // by the writer). Any thread.
  [[nodiscard]] bool Sleeping() const noexcept { return sleeping_.load(); }
  // Entries applied so far. Any thread.
  [[nodiscard]] std::uint64_t AppliedCount() const noexcept { return applied_.load(); }

private:
  void Run();
  // Waits until the ring holds an entry that nobody else is applying, or the thread is to stop.
  void SleepWhileEmpty();
  // Waits until a tenth of a second has passed since the last entry was applied, or the thread
  // is to stop.
  void WaitOutPause();
  [[nodiscard]] std::chrono::steady_clock::time_point Now() const;

  ReplyRing& ring_;
  MachineState& state_;
  RunOnGui runOnGui_;
  ApplyEntry apply_;
  std::chrono::milliseconds passPeriod_;
  Pause pause_;
  Clock clock_;
  std::mutex mutex_;
  // Under mutex_: when the next entry may be applied, and whether the writer is applying one on
  // the user-interface thread. `sleeping_` too is changed only under mutex_.
  std::chrono::steady_clock::time_point nextEntryAt_{};
  bool applyingHere_ = false;
  std::condition_variable wake_;         // stop
  std::condition_variable replyWaiting_; // a reply committed or applied here, or stop
  std::atomic<bool> running_{false};
  std::atomic<bool> sleeping_{false};
  std::atomic<std::uint64_t> applied_{0};
  std::jthread thread_;
};

} // namespace lamp
