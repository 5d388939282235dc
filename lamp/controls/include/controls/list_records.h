#pragma once
// The records that the grid list and its in-place editors exchange with the list's dialog, laid
// out as the system's list notifications: every record starts with a NotifyHeader naming the
// list as its sender.

#include <QPoint>
#include <QString>

#include "platform/notify.h"

namespace lamp {

inline constexpr unsigned LVN_ENDLABELEDIT = static_cast<unsigned>(-106);
inline constexpr unsigned NM_CLICK = static_cast<unsigned>(-2);
inline constexpr unsigned LVIF_TEXT = 0x0001;
inline constexpr unsigned LVIF_PARAM = 0x0004;

// The item part of an end-of-edit record: row (`item`), column (`subItem`) and the new text.
struct ListItem {
  unsigned mask = 0;
  int item = -1;
  int subItem = 0;
  const QString* text = nullptr; // null: no text (the edit was cancelled)
  int textLength = 0;
  wndmsg::LParam param = 0;
};

// WM_NOTIFY record an editor sends when it closes (code LVN_ENDLABELEDIT); WM_CELL_CHANGED
// carries its address in wParam and the address of its `item` in lParam.
struct ListEndEditInfo {
  NotifyHeader header;
  ListItem item;
};

// The item-activation record of a click on the list; WM_CELL_CLICKED carries its address in
// wParam. `item` is -1 for a click below the last row.
struct ItemActivate {
  NotifyHeader header;
  int item = -1;
  int subItem = 0;
  QPoint action;
};

} // namespace lamp
