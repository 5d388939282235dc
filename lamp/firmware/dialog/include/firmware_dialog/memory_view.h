#pragma once
// The hexadecimal memory view of the firmware dialog: a list in report view with grid lines and
// whole-row selection, an "Address" column 74 pixels wide and sixteen byte columns "00" to "0F"
// 30 pixels wide, all centred. Rows are given as texts (FirmwareImage::ViewRow); the view only
// shows them. GUI thread only.

#include <QTableView>
#include <cstdint>
#include <vector>

#include "firmware/firmware_image.h"

namespace lamp::firmware {

class MemoryView : public QTableView {
public:
  explicit MemoryView(QWidget* parent);
  ~MemoryView() override;

  // Puts `rows` at rows `first` onward: a row that exists is updated in place, a missing one is
  // appended. `first` must not lie beyond the current row count.
  void SetRows(std::uint32_t first, const std::vector<MemoryViewRow>& rows);
  // Deletes the rows from `count` on, from the end.
  void Truncate(std::uint32_t count);

  [[nodiscard]] std::uint32_t RowCount() const;
  // The text of a cell; empty outside the view.
  [[nodiscard]] QString Text(std::uint32_t row, int column) const;

private:
  class Model;
  Model* model_;
};

} // namespace lamp::firmware
