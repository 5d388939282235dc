#pragma once
// Driving the dialogs as the operator does: clicking grid cells, typing into the editor that
// opens, pressing the skinned buttons.

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <knoblet/button_object.h>

#include "controls/cell_combo.h"
#include "controls/cell_edit.h"
#include "controls/custom_list.h"

namespace lamp::test {

inline void ClickCell(CCustomList& grid, int row, int column) {
  const QRect cell = grid.visualRect(grid.model()->index(row, column));
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
}

[[nodiscard]] inline CCellEdit* OpenEditor(const CCustomList& grid) {
  for (CCellEdit* edit : grid.findChildren<CCellEdit*>()) {
    if (edit->isVisible()) {
      return edit;
    }
  }
  return nullptr;
}

[[nodiscard]] inline CCellCombo* OpenDropDown(const CCustomList& grid) {
  for (CCellCombo* combo : grid.findChildren<CCellCombo*>()) {
    if (combo->isVisible()) {
      return combo;
    }
  }
  return nullptr;
}

// Clicks the cell, types `text` into the edit box that opens and commits it with Enter.
inline bool EditCell(CCustomList& grid, int row, int column, const QString& text) {
  ClickCell(grid, row, column);
  CCellEdit* edit = OpenEditor(grid);
  if (edit == nullptr) {
    return false;
  }
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, Qt::Key_Return);
  return QTest::qWaitFor([&] { return OpenEditor(grid) == nullptr; }, 2000);
}

// The skinned button captioned `caption` among the children of `dialog`.
[[nodiscard]] inline QAbstractButton* ButtonCalled(QWidget& dialog, const QString& caption) {
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->text() == caption) {
      return button;
    }
  }
  return nullptr;
}

inline bool Press(QWidget& dialog, const QString& caption) {
  QAbstractButton* button = ButtonCalled(dialog, caption);
  if (button == nullptr) {
    return false;
  }
  QTest::mouseClick(button, Qt::LeftButton);
  return true;
}

} // namespace lamp::test
