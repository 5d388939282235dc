#include "controls/cell_combo.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>

#include "controls/custom_list.h"

namespace lamp {
namespace {

bool IsOwnKey(const QKeyEvent& key) {
  return key.key() == Qt::Key_Escape || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

} // namespace

CCellCombo::CCellCombo(CCustomList& list, int row, int column, const QStringList& choices)
    : WindowBase<QComboBox>(list.viewport()), choices_(choices), column_(column), row_(row),
      list_(list) {
  setControlId(CCustomList::kCellComboId);
  setEditable(false);
  view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  view()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Escape in the open drop-down, and the drop-down closing however it closes.
  view()->installEventFilter(this);
  if (QWidget* container = view()->parentWidget()) {
    container->installEventFilter(this);
  }
}

CCellCombo::~CCellCombo() = default;

void CCellCombo::Start(const QString& cellText, int visibleRows) {
  setFont(list_.font());
  addItems(choices_);
  setMaxVisibleItems(visibleRows);
  show();
  setFocus(Qt::OtherFocusReason);
  // Not case-sensitive, as the system's prefix search was.
  setCurrentIndex(findText(cellText, Qt::MatchStartsWith));
  showPopup();
}

void CCellCombo::Abandon() {
  closed_ = true;
}

bool CCellCombo::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && IsOwnKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return WindowBase<QComboBox>::event(event);
}

bool CCellCombo::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    cancelled_ = 1;
  }
  if (watched != view() && event->type() == QEvent::Hide) {
    // Queued: the closing drop-down hands the focus back to the box after this event.
    QMetaObject::invokeMethod(
        this, [this] { GiveFocusBack(); }, Qt::QueuedConnection);
  }
  return WindowBase<QComboBox>::eventFilter(watched, event);
}

void CCellCombo::GiveFocusBack() {
  if (closed_) {
    return;
  }
  list_.setFocus(Qt::OtherFocusReason);
  // Where the window is not active no focus event comes: close here then.
  Finish(currentIndex());
}

void CCellCombo::keyPressEvent(QKeyEvent* event) {
  if (IsOwnKey(*event)) {
    event->accept();
    if (event->key() == Qt::Key_Escape) {
      cancelled_ = 1;
    }
    GiveFocusBack();
    return;
  }
  WindowBase<QComboBox>::keyPressEvent(event);
}

void CCellCombo::focusOutEvent(QFocusEvent* event) {
  const int selected = currentIndex();
  WindowBase<QComboBox>::focusOutEvent(event);
  // While dropped down the list has the keyboard, but the box keeps the focus.
  if (event->reason() != Qt::PopupFocusReason && !view()->isVisible()) {
    Finish(selected);
  }
}

void CCellCombo::Finish(int selected) {
  if (closed_) {
    return;
  }
  closed_ = true;
  if (selected >= 0 && !list_.closing()) {
    const QString shown = itemText(selected);
    ListEndEditInfo info;
    info.item.mask = LVIF_TEXT | LVIF_PARAM;
    info.item.item = row_;
    info.item.subItem = column_;
    info.item.text = cancelled_ != 0 ? nullptr : &shown;
    info.item.textLength = int(shown.size());
    info.item.param = 0;
    list_.SendEndEdit(info);
  }
  deleteLater();
}

} // namespace lamp
