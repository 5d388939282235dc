#include "platform/gui_calls.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace lamp {
namespace {

enum class CallState { Pending, Running, Done, Aborted };

// A worker waits for its call on a wake-up of its own (one of a few, picked by its thread), so
// that a reply applied does not also wake the receive thread waiting on a delivery of its own,
// and the other way round. The wake-ups live as long as the program, so the user-interface thread
// may signal one after releasing the queue's lock, when the call itself may already be gone: the
// woken worker then finds the lock free instead of going back to sleep on it.
std::condition_variable& SettledSignal(std::thread::id worker) {
  static std::array<std::condition_variable, 16> wakeUps;
  return wakeUps[std::hash<std::thread::id>{}(worker) % wakeUps.size()];
}

// Lives on the stack of the worker that waits for it; the queue only holds its address until the
// GUI thread has finished with it.
struct Call {
  const std::function<void()>* fn = nullptr;
  const void* tag = nullptr;
  CallState state = CallState::Pending;
  std::condition_variable* settled = nullptr; // done or aborted
};

struct CallQueue {
  std::mutex mutex;
  std::condition_variable changed; // a call was queued or aborted; a servicing wait ended
  std::deque<Call*> pending;
  bool refused = false;
};

CallQueue& Queue() {
  static CallQueue queue;
  return queue;
}

} // namespace

bool IsGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

bool RunOnGui(const std::function<void()>& fn, const void* tag) {
  if (IsGuiThread()) {
    try {
      fn();
    } catch (...) {
    }
    return true;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) {
    return false;
  }
  CallQueue& queue = Queue();
  Call call;
  call.fn = &fn;
  call.tag = tag;
  call.settled = &SettledSignal(std::this_thread::get_id());
  {
    std::lock_guard lock(queue.mutex);
    if (queue.refused) {
      return false;
    }
    queue.pending.push_back(&call);
  }
  queue.changed.notify_all();
  QMetaObject::invokeMethod(
      app, [] { ServiceGuiCalls(); }, Qt::QueuedConnection);
  std::unique_lock lock(queue.mutex);
  call.settled->wait(
      lock, [&] { return call.state == CallState::Done || call.state == CallState::Aborted; });
  return call.state == CallState::Done;
}

void ServiceGuiCalls() {
  if (!IsGuiThread()) {
    return;
  }
  CallQueue& queue = Queue();
  for (;;) {
    Call* call = nullptr;
    {
      std::lock_guard lock(queue.mutex);
      if (queue.pending.empty()) {
        return;
      }
      call = queue.pending.front();
      queue.pending.pop_front();
      call->state = CallState::Running;
    }
    try {
      (*call->fn)();
    } catch (...) {
    }
    std::condition_variable* settled = nullptr;
    {
      std::lock_guard lock(queue.mutex);
      call->state = CallState::Done;
      // Once the lock is released the worker may return and the call is gone.
      settled = call->settled;
    }
    settled->notify_all();
  }
}

void AbortGuiCalls(const void* tag) {
  CallQueue& queue = Queue();
  {
    std::lock_guard lock(queue.mutex);
    auto aborted = std::stable_partition(queue.pending.begin(), queue.pending.end(),
                                         [tag](const Call* c) { return tag && c->tag != tag; });
    std::for_each(aborted, queue.pending.end(), [](Call* c) {
      c->state = CallState::Aborted;
      c->settled->notify_all();
    });
    queue.pending.erase(aborted, queue.pending.end());
  }
  queue.changed.notify_all();
}

std::size_t PendingGuiCalls() {
  std::lock_guard lock(Queue().mutex);
  return Queue().pending.size();
}

void RefuseGuiCalls(bool refuse) {
  {
    std::lock_guard lock(Queue().mutex);
    Queue().refused = refuse;
  }
  if (refuse) {
    AbortGuiCalls(nullptr);
  }
}

void WaitServicing(const std::function<void()>& blockingWork) {
  if (!IsGuiThread()) {
    blockingWork();
    return;
  }
  CallQueue& queue = Queue();
  std::atomic<bool> finished{false};
  std::thread helper([&] {
    blockingWork();
    {
      std::lock_guard lock(queue.mutex);
      finished = true;
    }
    queue.changed.notify_all();
  });
  for (;;) {
    ServiceGuiCalls();
    std::unique_lock lock(queue.mutex);
    queue.changed.wait(lock, [&] { return finished || !queue.pending.empty(); });
    if (finished && queue.pending.empty()) {
      break;
    }
  }
  helper.join();
}

void JoinServicing(std::thread& worker) {
  if (worker.joinable()) {
    WaitServicing([&worker] { worker.join(); });
  }
}

void JoinServicing(std::jthread& worker) {
  if (worker.joinable()) {
    WaitServicing([&worker] { worker.join(); });
  }
}

} // namespace lamp
