#pragma once
// The window classes of the program: a Qt widget class joined with MessageWindow. Window is the
// base of controls and plain windows, Dialog the base of the main window and the settings
// dialogs. A derived class registers its handlers in its constructor:
//
//   class CFanCtrl : public lamp::Dialog {
//    public:
//     explicit CFanCtrl(QWidget* parent) : Dialog(parent) {
//       onMessage(wndmsg::WM_BUTTON_CLICKED, &CFanCtrl::OnButtonClicked);
//     }
//    private:
//     lamp::LResult OnButtonClicked(lamp::WParam w, lamp::LParam l);
//     void onTimer(int id) override;
//   };

#include <QDialog>
#include <QWidget>

#include "platform/message_window.h"

namespace lamp {

template <class Base> class WindowBase : public Base, public MessageWindow {
public:
  explicit WindowBase(QWidget* parent = nullptr)
      : Base(parent), MessageWindow(static_cast<QObject&>(*this)) {}

  // The timers by id, not QObject's timers by Qt's numbers.
  using MessageWindow::killTimer;
  using MessageWindow::setTimer;

protected:
  bool event(QEvent* event) override { return handleMessageEvent(event) || Base::event(event); }
  void timerEvent(QTimerEvent* event) override {
    if (!handleTimerEvent(event)) {
      Base::timerEvent(event);
    }
  }
};

using Window = WindowBase<QWidget>;
using Dialog = WindowBase<QDialog>;

} // namespace lamp
