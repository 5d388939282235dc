#pragma once
// The settings dialogs that show controller data (System setup, Fan control, Auto mode setup,
// User mode setting): their grid cells and edit fields are what SendCommand reads (DialogData)
// and what the reply dispatcher writes (ReplyDialog). Cells and fields hold decimal text; the
// numbers are made only when a command frame is built.
//
// GUI thread only.

#include <QString>
#include <array>

#include "link/command_source.h"
#include "link/reply_panel.h"
#include "settings_dialogs/settings_dialog.h"

namespace lamp {

class CCustomList;
class CMyEdit;

class DataDialog : public SettingsDialog, public DialogData, public ReplyDialog {
public:
  // The grid, null for a dialog without one.
  [[nodiscard]] CCustomList* Grid() const { return grid_; }
  // Edit field `index` (0 or 1), null where the dialog has none.
  [[nodiscard]] CMyEdit* Field(int index) const;

  // DialogData: the text of a grid cell or edit field; empty where there is none.
  [[nodiscard]] std::string CellText(int row, int column) const override;
  [[nodiscard]] std::string FieldText(int index) const override;
  [[nodiscard]] int SelectedUser() const override { return 0; }

  // ReplyDialog: cells and fields outside the dialog are not written.
  void SetCellText(int row, int column, const std::string& text) override;
  void SetFieldText(int index, const std::string& text) override;
  void CheckRadio(int, int, int) override {}
  void SetSelectedUser(int) override {}

protected:
  using SettingsDialog::SettingsDialog;

  // The grid of the standard set-up at `rect`, with control ID `id`.
  void MakeGrid(int id, const QRect& rect, const QStringList& titles, const QStringList& labels);
  // The font of the edit boxes: bold antialiased Verdana of `cellHeight` pixels cell height.
  [[nodiscard]] static QFont FieldFont(int cellHeight);
  // An edit box for digits only, at most two, with centred text and the given colours and font.
  CMyEdit* MakeField(int index, int id, const QRect& rect, const QColor& background,
                     const QColor& text, const QFont& font);
  // Answers WM_CELL_CLICKED by setting the grid's edit mode for (row, column); the answer to the
  // list is always 0 (no veto).
  virtual int EditModeFor(int row, int column) = 0;

  CCustomList* grid_ = nullptr;
  std::array<CMyEdit*, 2> fields_{};

private:
  LResult OnCellClicked(WParam wParam, LParam lParam);
};

} // namespace lamp
