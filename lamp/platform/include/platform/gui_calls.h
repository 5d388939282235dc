#pragma once
// Blocking calls from worker threads onto the GUI thread, and the GUI thread's side of them.
//
// A worker that must change a window hands a function to RunOnGui and waits until the GUI thread
// has run it, as SendMessage did. The GUI thread runs queued calls from its event loop. When the
// GUI thread itself has to wait for a worker (joining it at close), it uses JoinServicing or
// WaitServicing, which keep running queued calls while they wait, so a worker blocked on the GUI
// thread can always finish. A window that closes aborts the calls queued for it (AbortGuiCalls),
// which releases their workers with "not run".

#include <cstddef>
#include <functional>
#include <thread>

namespace lamp {

// True on the thread that owns the application object; false on any other thread and when no
// application object exists. Any thread.
[[nodiscard]] bool IsGuiThread();

// Runs `fn` on the GUI thread and returns once it has run (true) or once the call was aborted or
// refused without running (false). On the GUI thread itself `fn` runs at once. Without an
// application object, or after RefuseGuiCalls(true), it returns false without running `fn`.
// `tag` groups calls so that AbortGuiCalls(tag) can release them; windows use their own tag.
// An exception thrown by `fn` is swallowed on the GUI thread (the call counts as run).
// Any thread. Blocks the calling worker until the GUI thread services the call.
[[nodiscard]] bool RunOnGui(const std::function<void()>& fn, const void* tag = nullptr);

// Runs every queued call now, in the order queued. GUI thread only; does nothing elsewhere.
void ServiceGuiCalls();

// Drops the queued calls carrying `tag` (a null tag drops every queued call); their callers
// return false. A call that is already running is not affected. Any thread.
void AbortGuiCalls(const void* tag);

// Number of calls queued and not yet taken by the GUI thread. Any thread; for tests and checks.
[[nodiscard]] std::size_t PendingGuiCalls();

// While refused, RunOnGui returns false at once and queued calls are aborted. For the end of the
// program, once the event loop has stopped and nobody services calls any more. Any thread.
void RefuseGuiCalls(bool refuse);

// Runs `blockingWork` (for example joining a thread, or closing something that joins its own
// threads) on a helper thread and keeps servicing queued calls on the GUI thread until it has
// returned. Off the GUI thread it simply runs `blockingWork`.
void WaitServicing(const std::function<void()>& blockingWork);

// Joins `worker` without the risk of a deadlock with calls it makes onto the GUI thread meanwhile.
// Does nothing for a thread that is not joinable.
void JoinServicing(std::thread& worker);
void JoinServicing(std::jthread& worker);

} // namespace lamp
