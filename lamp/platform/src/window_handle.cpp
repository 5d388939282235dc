#include "platform/window_handle.h"

#include <QCoreApplication>
#include <QWidget>

#include "platform/gui_calls.h"

namespace lamp {

bool WindowHandle::alive() const {
  return life_ && life_->window.load() != nullptr;
}

LResult WindowHandle::send(unsigned msg, WParam wParam, LParam lParam) const {
  if (!alive()) {
    return 0;
  }
  if (IsGuiThread()) {
    return life_->window.load()->SendMsg(msg, wParam, lParam);
  }
  // The window pointer is read on the GUI thread, where windows are destroyed, so it cannot go
  // away between the check and the call.
  LResult result = 0;
  const std::shared_ptr<WindowLife> life = life_;
  (void)RunOnGui(
      [&] {
        if (MessageWindow* window = life->window.load()) {
          result = window->SendMsg(msg, wParam, lParam);
        }
      },
      life.get());
  return result;
}

void WindowHandle::post(unsigned msg, WParam wParam, LParam lParam) const {
  QCoreApplication* app = QCoreApplication::instance();
  if (!alive() || app == nullptr) {
    return;
  }
  // Queued on the application object, not on the window, so the window may go meanwhile: the
  // life token is checked when the message is taken from the queue on the GUI thread.
  QMetaObject::invokeMethod(
      app,
      [life = life_, msg, wParam, lParam] {
        if (MessageWindow* window = life->window.load()) {
          (void)window->SendMsg(msg, wParam, lParam);
        }
      },
      Qt::QueuedConnection);
}

MessageWindow* WindowHandle::get() const {
  return life_ ? life_->window.load() : nullptr;
}

OwnerLife::OwnerLife(QWidget* owner) {
  if (auto* window = dynamic_cast<MessageWindow*>(owner)) {
    handle_ = WindowHandle(*window);
    ownerIsWindow_ = true;
  }
}

} // namespace lamp
