#include "platform/message_window.h"

#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "platform/gui_calls.h"
#include "platform/notify.h"

#if defined(__SANITIZE_THREAD__)
#define LAMP_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LAMP_THREAD_SANITIZER 1
#endif
#endif
#ifdef LAMP_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace lamp {
namespace {

// A posted message is handed from its thread to the GUI thread under the lock of Qt's event
// queue. Qt is not built for ThreadSanitizer, which therefore cannot see that lock: the hand-over
// is announced to it, so that it still checks everything else about the two threads.
void HandOver([[maybe_unused]] void* event) {
#ifdef LAMP_THREAD_SANITIZER
  __tsan_release(event);
#endif
}

void TakeOver([[maybe_unused]] void* event) {
#ifdef LAMP_THREAD_SANITIZER
  __tsan_acquire(event);
#endif
}

// The system's timers could not run faster than this.
constexpr int kMinimumTimerMs = 10;

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
  MessageEvent(unsigned message, WParam wParam, LParam lParam)
      : QEvent(kMessageEvent), msg(message), w(wParam), l(lParam) {}
  const unsigned msg;
  const WParam w;
  const LParam l;
};

} // namespace

MessageWindow::MessageWindow(QObject& object)
    : object_(object), life_(std::make_shared<WindowLife>()) {
  life_->window = this;
}

MessageWindow::~MessageWindow() {
  beginClose();
}

void MessageWindow::beginClose() {
  if (closing_.exchange(true)) {
    return;
  }
  life_->window = nullptr;
  AbortGuiCalls(life_.get());
  for (const auto& [id, qtId] : timers_) {
    object_.killTimer(qtId);
  }
  timers_.clear();
  intervals_.clear();
}

LResult MessageWindow::SendMsg(unsigned msg, WParam wParam, LParam lParam) noexcept {
  if (closing_) {
    return 0;
  }
  if (IsGuiThread()) {
    return dispatch(msg, wParam, lParam);
  }
  // The call is tagged with the life token: beginClose aborts it if the window closes first, so
  // the lambda never runs on a window that is gone.
  LResult result = 0;
  (void)RunOnGui([&] { result = dispatch(msg, wParam, lParam); }, life_.get());
  return result;
}

bool MessageWindow::callOnGui(const std::function<void()>& fn) noexcept {
  bool ran = false;
  auto guarded = [&] {
    if (!closing_) {
      ran = true;
      fn();
    }
  };
  if (IsGuiThread()) {
    try {
      guarded();
    } catch (...) {
    }
    return ran;
  }
  return RunOnGui(guarded, life_.get()) && ran;
}

void MessageWindow::PostMsg(unsigned msg, WParam wParam, LParam lParam) noexcept {
  if (!closing_) {
    auto* event = new MessageEvent(msg, wParam, lParam);
    HandOver(event);
    QCoreApplication::postEvent(&object_, event);
  }
}

void MessageWindow::onMessage(unsigned msg, Handler handler) {
  handlers_[msg] = std::move(handler);
}

void MessageWindow::setTimer(int id, int ms) {
  // A timer set again with its own period as it fires has just started that period anew.
  if (id == firingTimer_ && timerRunning(id) && timerInterval(id) == ms && !closing_) {
    return;
  }
  killTimer(id);
  if (closing_) {
    return;
  }
  const int qtId = object_.startTimer(std::max(ms, kMinimumTimerMs));
  if (qtId != 0) {
    timers_[id] = qtId;
    intervals_[id] = ms;
  }
}

void MessageWindow::killTimer(int id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) {
    object_.killTimer(it->second);
    timers_.erase(it);
    intervals_.erase(id);
  }
}

wndmsg::MessageTarget* MessageWindow::TargetOf(QWidget* widget) {
  return dynamic_cast<wndmsg::MessageTarget*>(widget);
}

LResult MessageWindow::defaultMessage(unsigned msg, WParam wParam, LParam lParam) {
  if (msg == WM_NOTIFY && lParam != 0) {
    const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
    if (header->sender != nullptr && header->sender != this) {
      return header->sender->SendMsg(WM_REFLECTED_NOTIFY, wParam, lParam);
    }
  }
  return 0;
}

void MessageWindow::onTimer(int) {}

bool MessageWindow::handleMessageEvent(QEvent* event) {
  TakeOver(event);
  if (event->type() != kMessageEvent) {
    return false;
  }
  const auto* message = static_cast<const MessageEvent*>(event);
  if (!closing_) {
    (void)dispatch(message->msg, message->w, message->l);
  }
  return true;
}

bool MessageWindow::handleTimerEvent(QTimerEvent* event) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [event](const auto& entry) { return entry.second == event->timerId(); });
  if (it == timers_.end()) {
    return false;
  }
  const int previous = std::exchange(firingTimer_, it->first);
  onTimer(it->first);
  firingTimer_ = previous;
  return true;
}

LResult MessageWindow::dispatch(unsigned msg, WParam wParam, LParam lParam) noexcept {
  if (closing_) {
    return 0;
  }
  try {
    auto it = handlers_.find(msg);
    if (it != handlers_.end()) {
      return it->second(wParam, lParam);
    }
    return defaultMessage(msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

} // namespace lamp
