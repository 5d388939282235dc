#pragma once
// CCustomList: the report-style grid list of the settings dialogs, whose cells are edited in
// place. A click on a cell sends WM_CELL_CLICKED to the parent, which answers by setting the
// edit mode (and the choice list) for that cell; the list then opens a CCellEdit (mode 1) or a
// CCellCombo (any other nonzero mode) exactly over the cell. When the editor loses the focus its
// text is written into the cell and WM_CELL_CHANGED goes to the parent. The list never
// interprets the texts.
//
// Notifications travel as the system's did: the editor sends WM_NOTIFY (LVN_ENDLABELEDIT) to the
// list's parent, whose unhandled WM_NOTIFY comes back to the list reflected (MessageWindow). A
// parent that handles WM_NOTIFY itself must pass LVN_ENDLABELEDIT records of the list on to
// `header.sender` as WM_REFLECTED_NOTIFY. A parent that is no message window gets nothing and
// the list applies the edit itself.
//
// GUI thread, except SetItemText and GetItemText, which may be called from any thread (they run
// on the GUI thread while the caller waits, and do nothing once the list is closing).

#include <QColor>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <cstdint>
#include <vector>

#include "controls/list_records.h"
#include "platform/window.h"

namespace lamp {

class CCellEdit;
class CCellCombo;

// Extended list styles.
inline constexpr std::uint32_t LVS_EX_GRIDLINES = 0x0001;
inline constexpr std::uint32_t LVS_EX_FULLROWSELECT = 0x0020;

enum class ColumnFormat { Left, Right, Centre };

class CCustomList : public WindowBase<QTableWidget> {
public:
  static constexpr int kCellEditId = 4660;
  static constexpr int kCellComboId = 4661;
  static constexpr int kCellEditLimit = 4;     // characters an edit box takes
  static constexpr int kMinimumEditWidth = 5;  // narrower columns are not edited
  static constexpr int kComboVisibleRows = 30; // rows the drop-down has room for

  CCustomList();
  ~CCustomList() override;

  // Makes the list's window in report view: a child of `parent` at `rect` with control ID `id`,
  // framed with WS_BORDER, visible with WS_VISIBLE. False when it exists or has no parent.
  bool Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id);
  void SetExtendedStyle(std::uint32_t style);

  // Columns and rows. InsertColumn's width -1 keeps the default width.
  int InsertColumn(int column, const QString& title, ColumnFormat format = ColumnFormat::Left,
                   int width = -1);
  int InsertItem(int row, const QString& text);
  void DeleteAllItems();
  bool SetItemText(int row, int column, const QString& text);
  [[nodiscard]] QString GetItemText(int row, int column) const;
  [[nodiscard]] int GetItemCount() const { return rowCount(); }
  [[nodiscard]] int GetColumnCount() const { return columnCount(); }
  [[nodiscard]] int GetColumnWidth(int column) const { return columnWidth(column); }
  void SetColumnWidth(int column, int width) { setColumnWidth(column, width); }
  [[nodiscard]] ColumnFormat GetColumnFormat(int column) const;
  void SetTextColour(const QColor& colour);
  void SetListFont(const QFont& font);

  // The area the rows are drawn in (the editors' coordinates), its origin at 0,0.
  [[nodiscard]] QRect ClientRect() const;
  // Width of the client area for the list's current size, also before it is first shown.
  [[nodiscard]] int ClientWidth() const;
  // Bounds of a whole row, and of one cell, in client coordinates.
  [[nodiscard]] QRect ItemBounds(int row) const;
  [[nodiscard]] QRect SubItemBounds(int row, int column) const;
  // Scrolls `row` into view (partly visible is enough when `partialOk`); false for a row that
  // does not exist.
  bool EnsureVisible(int row, bool partialOk);

  // Edit mode for the cell being clicked: 0 none, 1 edit box, anything else drop-down list.
  void SetEditMode(int mode) { editMode_ = mode; }
  [[nodiscard]] int editMode() const { return editMode_; }
  void ClearChoices() { choices_.clear(); }
  void AddChoice(const QString& choice) { choices_.append(choice); }
  [[nodiscard]] const QStringList& choices() const { return choices_; }

  // Open an editor over (row, column) as a click in that mode does; null when the cell cannot be
  // edited (no such row or column, column narrower than 5 pixels). The editor owns itself.
  CCellEdit* OpenCellEdit(int row, int column);
  CCellCombo* OpenCellCombo(int row, int column);

  // For the editors: delivers an end-of-edit record through the parent (see above).
  void SendEndEdit(ListEndEditInfo& info);

protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  LResult OnReflectedNotify(WParam wParam, LParam lParam);
  void ApplyEndEdit(const ListEndEditInfo& info);
  void HandleClick(int row, int column, const QPoint& position);
  // Scrolls so that a cell starting at `left` (client coordinates) is not cut off at the left
  // and does not start beyond the right edge; returns the pixels actually scrolled.
  int ScrollIntoView(int left);
  QTableWidgetItem* Cell(int row, int column);
  void UpdateRowHeight();

  int editMode_ = 0;
  QStringList choices_;
  std::vector<ColumnFormat> formats_;
  bool created_ = false;
};

} // namespace lamp
