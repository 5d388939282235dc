#include "controls/my_edit.h"

#include <QFocusEvent>
#include <wndmsg/messages.h>

namespace lamp {

CMyEdit::CMyEdit(QWidget* parent) : WindowBase<QLineEdit>(parent) {
  text_ = palette().color(QPalette::Text);
  background_ = palette().color(QPalette::Base);
}

CMyEdit::~CMyEdit() = default;

void CMyEdit::SetBackgroundColour(const QColor& colour) {
  background_ = colour;
  ApplyColours();
}

void CMyEdit::SetTextColour(const QColor& colour) {
  text_ = colour;
  ApplyColours();
}

void CMyEdit::ApplyColours() {
  QPalette colours = palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    colours.setColor(group, QPalette::Text, text_);
    colours.setColor(group, QPalette::Base, background_);
    colours.setColor(group, QPalette::Window, background_);
  }
  setPalette(colours);
  update();
}

void CMyEdit::focusOutEvent(QFocusEvent* event) {
  WindowBase<QLineEdit>::focusOutEvent(event);
  // A popup opening over the box does not take the focus from it.
  if (event->reason() == Qt::PopupFocusReason) {
    return;
  }
  if (wndmsg::MessageTarget* parent = TargetOf(parentWidget())) {
    (void)parent->SendMsg(wndmsg::WM_EDITOR_CLOSED, 0, 0);
  }
}

} // namespace lamp
