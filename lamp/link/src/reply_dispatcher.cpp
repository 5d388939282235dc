#include "link/reply_dispatcher.h"

#include <utility>

namespace lamp {

ReplyDispatcher::ReplyDispatcher(ReplyRing& ring, MachineState& state, RunOnGui runOnGui,
                                 ApplyEntry apply, std::chrono::milliseconds passPeriod,
                                 Pause pause, Clock clock)
    : ring_(ring), state_(state), runOnGui_(std::move(runOnGui)), apply_(std::move(apply)),
      passPeriod_(passPeriod), pause_(std::move(pause)), clock_(std::move(clock)) {}

ReplyDispatcher::~ReplyDispatcher() {
  Join();
}

void ReplyDispatcher::Start() {
  if (thread_.joinable()) {
    return;
  }
  state_.workerRunning.store(true);
  running_.store(true);
  thread_ = std::jthread([this] { Run(); });
}

void ReplyDispatcher::Stop() {
  {
    std::lock_guard lock(mutex_);
    state_.workerRunning.store(false);
  }
  wake_.notify_all();
  replyWaiting_.notify_all();
}

void ReplyDispatcher::Join(const JoinFn& join) {
  Stop();
  if (!thread_.joinable()) {
    return;
  }
  if (join) {
    join(thread_);
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

void ReplyDispatcher::ReplyCommitted() {
  // Taking the lock orders the commit before the sleeper's last look at the ring, so the wake-up
  // cannot fall between that look and its wait.
  { std::lock_guard lock(mutex_); }
  replyWaiting_.notify_all();
}

bool ReplyDispatcher::ApplyOrWake() {
  std::optional<ReplyRing::Slot> entry;
  {
    std::lock_guard lock(mutex_);
    // Only while the thread sleeps does it hold no entry of its own, so the order of entries
    // stays the ring's.
    if (sleeping_.load() && !applyingHere_ && state_.workerRunning.load() &&
        Now() >= nextEntryAt_) {
      entry = ring_.Take();
      applyingHere_ = entry.has_value();
    }
  }
  if (!entry) {
    replyWaiting_.notify_all();
    return false;
  }
  // Without the lock: applying may send messages that come back here.
  try {
    apply_(*entry);
    applied_.fetch_add(1);
  } catch (...) {
  }
  {
    std::lock_guard lock(mutex_);
    nextEntryAt_ = Now() + passPeriod_;
    applyingHere_ = false;
  }
  // A chunk may have brought more than one reply; the thread takes the rest at its pace.
  if (!ring_.Empty()) {
    replyWaiting_.notify_all();
  }
  return true;
}

std::chrono::steady_clock::time_point ReplyDispatcher::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void ReplyDispatcher::SleepWhileEmpty() {
  std::unique_lock lock(mutex_);
  sleeping_.store(true);
  replyWaiting_.wait(
      lock, [this] { return (!ring_.Empty() && !applyingHere_) || !state_.workerRunning.load(); });
  sleeping_.store(false);
}

void ReplyDispatcher::WaitOutPause() {
  std::unique_lock lock(mutex_);
  for (;;) {
    const auto now = Now();
    if (now >= nextEntryAt_ || !state_.workerRunning.load()) {
      return;
    }
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(nextEntryAt_ - now);
    if (pause_) {
      lock.unlock();
      pause_(rest);
      lock.lock();
    } else {
      wake_.wait_for(lock, rest, [this] { return !state_.workerRunning.load(); });
    }
  }
}

void ReplyDispatcher::Run() {
  for (;;) {
    if (!state_.workerRunning.load()) {
      break;
    }
    SleepWhileEmpty();
    WaitOutPause();
    if (!state_.workerRunning.load()) {
      break;
    }
    std::optional<ReplyRing::Slot> entry;
    {
      std::lock_guard lock(mutex_);
      entry = ring_.Take();
    }
    if (!entry) {
      continue;
    }
    if (runOnGui_([this, &entry] { apply_(*entry); })) {
      applied_.fetch_add(1);
    }
    std::lock_guard lock(mutex_);
    nextEntryAt_ = Now() + passPeriod_;
  }
  state_.workerRunning.store(false);
  running_.store(false);
}

} // namespace lamp
