#pragma once
// CCellCombo: the drop-down list a CCustomList opens over a cell. It offers a copy of the list's
// choices, drops down at once with the first choice that begins with the cell's text selected
// (not case-sensitive; nothing when none does), and hands the focus back to the list as soon as
// the drop-down closes. On losing the focus it sends the selected choice's text to the list
// (none after Escape; nothing at all when no choice is selected) and deletes itself. GUI thread.

#include <QComboBox>
#include <QString>
#include <QStringList>

#include "platform/window.h"

namespace lamp {

class CCustomList;

class CCellCombo : public WindowBase<QComboBox> {
public:
  CCellCombo(CCustomList& list, int row, int column, const QStringList& choices);
  ~CCellCombo() override;

  [[nodiscard]] const QStringList& choices() const { return choices_; }
  [[nodiscard]] int column() const { return column_; }
  [[nodiscard]] int row() const { return row_; }
  [[nodiscard]] int cancelled() const { return cancelled_; }

  // For the list: fills, focuses and drops the list down with `cellText`'s match selected.
  void Start(const QString& cellText, int visibleRows);
  // For the list when it goes: closes without committing anything.
  void Abandon();

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  QStringList choices_;
  int column_;
  int row_;
  int cancelled_ = 0;
  void GiveFocusBack();
  void Finish(int selected);

  CCustomList& list_;
  bool closed_ = false;
};

} // namespace lamp
