#pragma once
// CCellEdit: the edit box a CCustomList opens over a cell. It shows the cell's text selected,
// takes at most four characters (any characters), widens while typing when the text no longer
// fits (never past the list's right edge), and closes when it loses the focus: unless Escape
// cancelled it, its text goes to the list as an end-of-edit record. Enter and Escape are its own
// keys, never the dialog's default and cancel buttons. It deletes itself once closed. GUI thread.

#include <QLineEdit>
#include <QString>

#include "platform/window.h"

namespace lamp {

class CCustomList;

class CCellEdit : public WindowBase<QLineEdit> {
public:
  CCellEdit(CCustomList& list, int row, int column, const QString& initialText);
  ~CCellEdit() override;

  [[nodiscard]] int row() const { return row_; }
  [[nodiscard]] int column() const { return column_; }
  [[nodiscard]] const QString& initialText() const { return initialText_; }
  [[nodiscard]] int cancelled() const { return cancelled_; }

  // For the list: shows the box with its text aligned as the column, selected, focused.
  void Start(Qt::Alignment alignment);
  // For the list when it goes: closes without committing anything.
  void Abandon();

protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void Widen();
  void Finish();

  int row_;
  int column_;
  QString initialText_;
  int cancelled_ = 0;
  CCustomList& list_;
  bool closed_ = false;
};

} // namespace lamp
