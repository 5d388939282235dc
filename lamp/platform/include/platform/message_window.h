#pragma once
// The message side of every window of the program: a table from message number to handler,
// synchronous `send` and queued `post` (the wndmsg::MessageTarget the libraries deliver to),
// timers by id and a control ID. WindowBase (window.h) joins it to a Qt widget class; derive
// windows and dialogs from Window or Dialog, not from this class directly.
//
// Threads: the window lives on the GUI thread. `send`/`SendMsg` and `post`/`PostMsg` may be
// called from any thread while the window exists; every other operation is for the GUI thread.
// A worker that may outlive the window must hold a WindowHandle instead of the pointer.

#include <QEvent>
#include <QObject>
#include <QTimerEvent>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <wndmsg/message_target.h>

class QWidget;

namespace lamp {

using wndmsg::LParam;
using wndmsg::LResult;
using wndmsg::WParam;

class MessageWindow;

// Shared between a window and the handles to it; `window` is cleared when the window closes.
struct WindowLife {
  std::atomic<MessageWindow*> window;
};

class MessageWindow : public wndmsg::MessageTarget {
public:
  using Handler = std::function<LResult(WParam, LParam)>;

  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Runs the handler of `msg` (or defaultMessage) on the GUI thread and returns its result. From
  // another thread it blocks until the GUI thread has handled it. A window that is closing or
  // closed answers 0 without handling; a worker blocked on it is released when it closes.
  LResult SendMsg(unsigned msg, WParam wParam, LParam lParam) noexcept override;
  // Queues `msg`; it is handled from the GUI thread's event loop unless the window closes first.
  void PostMsg(unsigned msg, WParam wParam, LParam lParam) noexcept override;
  LResult send(unsigned msg, WParam wParam = 0, LParam lParam = 0) noexcept {
    return SendMsg(msg, wParam, lParam);
  }
  void post(unsigned msg, WParam wParam = 0, LParam lParam = 0) noexcept {
    PostMsg(msg, wParam, lParam);
  }

  // Runs `fn` on the GUI thread on behalf of this window: at once on the GUI thread, otherwise
  // blocking like a send. Returns false without running `fn` when the window is closing or
  // closes before the GUI thread gets to it. Any thread, while the window exists.
  [[nodiscard]] bool callOnGui(const std::function<void()>& fn) noexcept;

  // Adds or replaces the handler of `msg`.
  void onMessage(unsigned msg, Handler handler);
  template <class C> void onMessage(unsigned msg, LResult (C::*method)(WParam, LParam)) {
    C* self = static_cast<C*>(this);
    onMessage(msg, [self, method](WParam w, LParam l) { return (self->*method)(w, l); });
  }

  // Starts timer `id`, replacing a running timer of the same id; onTimer(id) then runs every
  // `ms` milliseconds (at least 10, as the system's timers did) until killTimer(id).
  void setTimer(int id, int ms);
  void killTimer(int id);
  [[nodiscard]] bool timerRunning(int id) const { return timers_.count(id) != 0; }
  // The period timer `id` was last started with, in milliseconds; 0 when it is not running.
  [[nodiscard]] int timerInterval(int id) const {
    const auto it = intervals_.find(id);
    return it != intervals_.end() ? it->second : 0;
  }

  // Ends message handling for good: later sends answer 0, posted messages are dropped, workers
  // waiting on a send to this window are released, timers stop. Called by the destructor; call it
  // earlier (for example before joining a worker that talks to this window) where needed.
  void beginClose();
  [[nodiscard]] bool closing() const { return closing_; }

  [[nodiscard]] int controlId() const { return controlId_; }
  void setControlId(int id) { controlId_ = id; }

  // The life token that WindowHandle shares.
  [[nodiscard]] const std::shared_ptr<WindowLife>& life() const { return life_; }

  // The message target of `widget` when it is one of ours (or a library's), else null.
  [[nodiscard]] static wndmsg::MessageTarget* TargetOf(QWidget* widget);

protected:
  explicit MessageWindow(QObject& object);
  ~MessageWindow();

  // Handles a message that has no entry in the table. The default hands an unhandled WM_NOTIFY
  // back to its sender as WM_REFLECTED_NOTIFY and answers 0 to everything else.
  virtual LResult defaultMessage(unsigned msg, WParam wParam, LParam lParam);
  virtual void onTimer(int id);

  // For WindowBase: true when the event was a posted message or one of this window's timers
  // and has been handled.
  bool handleMessageEvent(QEvent* event);
  bool handleTimerEvent(QTimerEvent* event);

private:
  LResult dispatch(unsigned msg, WParam wParam, LParam lParam) noexcept;

  QObject& object_;
  std::shared_ptr<WindowLife> life_;
  std::atomic<bool> closing_{false};
  std::unordered_map<unsigned, Handler> handlers_;
  std::map<int, int> timers_;    // timer id -> Qt timer id
  std::map<int, int> intervals_; // timer id -> period asked for, ms
  int firingTimer_ = -1;         // the timer whose onTimer runs now, if any
  int controlId_ = 0;
};

} // namespace lamp
