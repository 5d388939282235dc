#include "controls/list_headers.h"

#include <algorithm>

#include "controls/custom_list.h"
#include "controls/window_styles.h"
#include "platform/log_font.h"

namespace lamp {

void FillListHeaders(CCustomList& list, const QStringList& titles, const QStringList& labels,
                     int rowCount, int columnCount) {
  const int columns = std::clamp(columnCount, 0, int(titles.size()));
  for (int column = 0; column < columns; ++column) {
    (void)list.InsertColumn(column, titles[column], ColumnFormat::Centre);
  }
  const int rows = std::clamp(rowCount, 0, int(labels.size()));
  for (int row = 0; row < rows; ++row) {
    (void)list.InsertItem(row, labels[row]);
  }
}

void SetUpGrid(CCustomList& list, QWidget* parent, int id, const QRect& rect,
               const QStringList& titles, const QStringList& labels) {
  (void)list.Create(WS_VISIBLE | WS_BORDER, QRect(0, 0, 10, 10), parent, id);
  list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  list.setGeometry(rect);
  FillListHeaders(list, titles, labels, int(labels.size()), int(titles.size()));
  const int columns = list.GetColumnCount();
  if (columns > 0) {
    const int width = list.ClientWidth() / columns;
    for (int column = 0; column < columns; ++column) {
      list.SetColumnWidth(column, width);
    }
  }
  LogFont font;
  font.height = -12;
  font.weight = 800;
  font.faceName = QStringLiteral("Verdana");
  list.SetListFont(FontFromLogFont(font));
  list.SetTextColour(QColor(0, 100, 155));
}

} // namespace lamp
