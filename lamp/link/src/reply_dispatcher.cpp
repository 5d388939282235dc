#include "link/reply_dispatcher.h"

#include <utility>

namespace lamp {

ReplyDispatcher::ReplyDispatcher(ReplyRing& ring, MachineState& state, RunOnGui runOnGui,
                                 ApplyEntry apply, std::chrono::milliseconds passPeriod,
                                 Pause pause)
    : ring_(ring), state_(state), runOnGui_(std::move(runOnGui)), apply_(std::move(apply)),
      passPeriod_(passPeriod), pause_(std::move(pause)) {}

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

void ReplyDispatcher::SleepWhileEmpty() {
  std::unique_lock lock(mutex_);
  sleeping_.store(true);
  replyWaiting_.wait(lock, [this] { return !ring_.Empty() || !state_.workerRunning.load(); });
  sleeping_.store(false);
}

void ReplyDispatcher::Run() {
  for (;;) {
    if (!state_.workerRunning.load()) {
      break;
    }
    std::optional<ReplyRing::Slot> entry = ring_.Take();
    if (!entry) {
      SleepWhileEmpty();
      continue;
    }
    const bool applied = runOnGui_([this, &entry] { apply_(*entry); });
    if (applied) {
      applied_.fetch_add(1);
    }
    if (pause_) {
      pause_(passPeriod_);
      continue;
    }
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, passPeriod_, [this] { return !state_.workerRunning.load(); });
  }
  state_.workerRunning.store(false);
  running_.store(false);
}

} // namespace lamp
