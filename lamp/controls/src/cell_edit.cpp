#include "controls/cell_edit.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "controls/custom_list.h"

namespace lamp {
namespace {

constexpr int kWidenMargin = 5;

bool IsOwnKey(const QKeyEvent& key) {
  switch (key.key()) {
  case Qt::Key_Escape:
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Delete:
    return true;
  default:
    return (key.modifiers() & Qt::ControlModifier) != 0;
  }
}

} // namespace

CCellEdit::CCellEdit(CCustomList& list, int row, int column, const QString& initialText)
    : WindowBase<QLineEdit>(list.viewport()), row_(row), column_(column), initialText_(initialText),
      list_(list) {
  setControlId(CCustomList::kCellEditId);
  setFrame(false);
  setTextMargins(2, 0, 2, 0);
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
}

CCellEdit::~CCellEdit() = default;

void CCellEdit::Start(Qt::Alignment alignment) {
  setAlignment(alignment);
  setFont(list_.font());
  // The limit applies to what is typed, as the system's limit did: a longer text already in the
  // cell is shown whole and not cut.
  setText(initialText_);
  show();
  setFocus(Qt::OtherFocusReason);
  selectAll();
}

bool CCellEdit::event(QEvent* event) {
  // Enter, Escape, Delete and Ctrl shortcuts are the box's own, not the dialog's.
  if (event->type() == QEvent::ShortcutOverride && IsOwnKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return WindowBase<QLineEdit>::event(event);
}

void CCellEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
  case Qt::Key_Escape:
    cancelled_ = 1;
    [[fallthrough]];
  case Qt::Key_Return:
  case Qt::Key_Enter:
    event->accept();
    list_.setFocus(Qt::OtherFocusReason);
    // Where the window is not active no focus event comes: close here then.
    Finish();
    return;
  default:
    break;
  }
  const int kept = int(text().size() - selectedText().size());
  const int room = std::max(0, CCustomList::kCellEditLimit - kept);
  if (event->matches(QKeySequence::Paste)) {
    event->accept();
    const QString pasted = QGuiApplication::clipboard()->text().left(room);
    if (!pasted.isEmpty()) {
      insert(pasted);
      Widen();
    }
    return;
  }
  const QString typed = event->text();
  const bool inserts =
      !typed.isEmpty() && typed.at(0).isPrint() && (event->modifiers() & Qt::ControlModifier) == 0;
  if (inserts && int(typed.size()) > room) {
    event->accept(); // refused, as the system's limit refused it
    return;
  }
  WindowBase<QLineEdit>::keyPressEvent(event);
  if (inserts) {
    Widen();
  }
}

void CCellEdit::Widen() {
  const int needed = QFontMetrics(list_.font()).horizontalAdvance(text()) + kWidenMargin;
  if (needed <= width()) {
    return;
  }
  const QRect client = list_.ClientRect();
  const int widest = client.left() + client.width() - x();
  const int newWidth = std::min(needed, widest);
  if (newWidth > width()) {
    resize(newWidth, height());
  }
}

void CCellEdit::focusOutEvent(QFocusEvent* event) {
  WindowBase<QLineEdit>::focusOutEvent(event);
  // A popup opening over the box does not take the focus from it.
  if (event->reason() != Qt::PopupFocusReason) {
    Finish();
  }
}

void CCellEdit::Finish() {
  if (closed_) {
    return;
  }
  closed_ = true;
  if (cancelled_ == 0 && !list_.closing()) {
    const QString current = text();
    ListEndEditInfo info;
    info.item.mask = LVIF_TEXT;
    info.item.item = row_;
    info.item.subItem = column_;
    info.item.text = &current;
    info.item.textLength = int(current.size());
    list_.SendEndEdit(info);
  }
  hide();
  deleteLater();
}

void CCellEdit::Abandon() {
  closed_ = true;
}

void CCellEdit::paintEvent(QPaintEvent* event) {
  WindowBase<QLineEdit>::paintEvent(event);
  QPainter painter(this);
  painter.setPen(QColor(0, 0, 0));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace lamp
