#include "controls/custom_list.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <wndmsg/messages.h>

#include "controls/cell_combo.h"
#include "controls/cell_edit.h"
#include "controls/window_styles.h"
#include "platform/gui_calls.h"

namespace lamp {
namespace {

Qt::Alignment AlignmentOf(ColumnFormat format) {
  switch (format) {
  case ColumnFormat::Right:
    return Qt::AlignRight | Qt::AlignVCenter;
  case ColumnFormat::Centre:
    return Qt::AlignHCenter | Qt::AlignVCenter;
  case ColumnFormat::Left:
    break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

constexpr int kRowPadding = 3;

} // namespace

CCustomList::CCustomList() {
  verticalHeader()->hide();
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setMinimumSectionSize(0);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setFrameStyle(QFrame::NoFrame);
  onMessage(WM_REFLECTED_NOTIFY, &CCustomList::OnReflectedNotify);
  UpdateRowHeight();
}

CCustomList::~CCustomList() {
  // Editors still open go with the list; they must not commit into a list being destroyed.
  beginClose();
  for (CCellEdit* editor : viewport()->findChildren<CCellEdit*>()) {
    editor->Abandon();
  }
  for (CCellCombo* combo : viewport()->findChildren<CCellCombo*>()) {
    combo->Abandon();
  }
}

bool CCustomList::Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id) {
  if (created_ || parent == nullptr) {
    return false;
  }
  setParent(parent);
  setControlId(id);
  if ((style & WS_BORDER) != 0) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
  }
  setGeometry(rect);
  created_ = true;
  setVisible((style & WS_VISIBLE) != 0);
  return true;
}

void CCustomList::SetExtendedStyle(std::uint32_t style) {
  setShowGrid((style & LVS_EX_GRIDLINES) != 0);
  setSelectionBehavior((style & LVS_EX_FULLROWSELECT) != 0 ? QAbstractItemView::SelectRows
                                                           : QAbstractItemView::SelectItems);
}

int CCustomList::InsertColumn(int column, const QString& title, ColumnFormat format, int width) {
  column = std::clamp(column, 0, columnCount());
  insertColumn(column);
  auto* header = new QTableWidgetItem(title);
  header->setTextAlignment(AlignmentOf(format));
  setHorizontalHeaderItem(column, header);
  formats_.insert(formats_.begin() + column, format);
  if (width >= 0) {
    setColumnWidth(column, width);
  }
  return column;
}

int CCustomList::InsertItem(int row, const QString& text) {
  row = std::clamp(row, 0, rowCount());
  insertRow(row);
  Cell(row, 0)->setText(text);
  return row;
}

void CCustomList::DeleteAllItems() {
  setRowCount(0);
}

QTableWidgetItem* CCustomList::Cell(int row, int column) {
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem;
    cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    cell->setTextAlignment(AlignmentOf(GetColumnFormat(column)));
    setItem(row, column, cell);
  }
  return cell;
}

bool CCustomList::SetItemText(int row, int column, const QString& text) {
  bool done = false;
  (void)callOnGui([&] {
    if (row >= 0 && row < rowCount() && column >= 0 && column < columnCount()) {
      Cell(row, column)->setText(text);
      done = true;
    }
  });
  return done;
}

QString CCustomList::GetItemText(int row, int column) const {
  QString text;
  (void)const_cast<CCustomList*>(this)->callOnGui([&] {
    if (const QTableWidgetItem* cell = item(row, column)) {
      text = cell->text();
    }
  });
  return text;
}

ColumnFormat CCustomList::GetColumnFormat(int column) const {
  if (column < 0 || column >= int(formats_.size())) {
    return ColumnFormat::Left;
  }
  return formats_[std::size_t(column)];
}

void CCustomList::SetTextColour(const QColor& colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::Text, colour);
  setPalette(colours);
}

void CCustomList::SetListFont(const QFont& font) {
  setFont(font);
  UpdateRowHeight();
}

void CCustomList::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    UpdateRowHeight();
  }
  WindowBase<QTableWidget>::changeEvent(event);
}

void CCustomList::UpdateRowHeight() {
  const int height = QFontMetrics(font()).height() + kRowPadding;
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(height);
  for (int row = 0; row < rowCount(); ++row) {
    setRowHeight(row, height);
  }
}

QRect CCustomList::ClientRect() const {
  return QRect(QPoint(0, 0), viewport()->size());
}

int CCustomList::ClientWidth() const {
  // The viewport follows the list's size only once the list is laid out; count it directly.
  int width = maximumViewportSize().width();
  if (verticalScrollBar()->isVisible()) {
    width -= verticalScrollBar()->width();
  }
  return width;
}

QRect CCustomList::ItemBounds(int row) const {
  int width = 0;
  for (int column = 0; column < columnCount(); ++column) {
    width += columnWidth(column);
  }
  return QRect(columnViewportPosition(0), rowViewportPosition(row), width, rowHeight(row));
}

QRect CCustomList::SubItemBounds(int row, int column) const {
  return QRect(columnViewportPosition(column), rowViewportPosition(row), columnWidth(column),
               rowHeight(row));
}

bool CCustomList::EnsureVisible(int row, bool partialOk) {
  if (row < 0 || row >= rowCount()) {
    return false;
  }
  const int top = rowViewportPosition(row);
  const int bottom = top + rowHeight(row);
  const int height = viewport()->height();
  const bool whole = top >= 0 && bottom <= height;
  const bool partly = bottom > 0 && top < height;
  if (whole || (partialOk && partly)) {
    return true;
  }
  // Only vertically: the horizontal position is the editors' business.
  const int horizontal = horizontalScrollBar()->value();
  scrollTo(model()->index(row, 0), QAbstractItemView::EnsureVisible);
  horizontalScrollBar()->setValue(horizontal);
  return true;
}

int CCustomList::ScrollIntoView(int left) {
  // A cell cut off at the left, or starting at or beyond the right edge (where an editor would
  // have no width at all), is scrolled so that it starts at the left edge.
  if (left >= 0 && left < ClientRect().width()) {
    return 0;
  }
  QScrollBar* bar = horizontalScrollBar();
  const int before = bar->value();
  bar->setValue(before + left);
  return bar->value() - before;
}

CCellEdit* CCustomList::OpenCellEdit(int row, int column) {
  if (!EnsureVisible(row, true)) {
    return nullptr;
  }
  if (column < 0 || column >= columnCount()) {
    return nullptr;
  }
  const int width = columnWidth(column);
  if (width < kMinimumEditWidth) {
    return nullptr;
  }
  int offset = 0;
  for (int left = 0; left < column; ++left) {
    offset += columnWidth(left);
  }
  QRect bounds = ItemBounds(row);
  bounds.translate(-ScrollIntoView(offset + bounds.left()), 0);
  const QRect client = ClientRect();
  const int left = bounds.left() + offset;
  const int right = std::min(left + width, client.left() + client.width());

  auto* editor = new CCellEdit(*this, row, column, GetItemText(row, column));
  editor->setGeometry(QRect(left, bounds.top(), right - left, bounds.height()));
  editor->Start(AlignmentOf(GetColumnFormat(column)));
  return editor;
}

CCellCombo* CCustomList::OpenCellCombo(int row, int column) {
  const QString text = GetItemText(row, column);
  if (!EnsureVisible(row, true)) {
    return nullptr;
  }
  // A column that does not exist has no bounds to open over.
  if (column < 0 || column >= columnCount()) {
    return nullptr;
  }
  QRect bounds = SubItemBounds(row, column);
  bounds.translate(-ScrollIntoView(bounds.left()), 0);
  const QRect client = ClientRect();
  const int right = std::min(bounds.left() + columnWidth(column), client.left() + client.width());

  auto* combo = new CCellCombo(*this, row, column, choices_);
  combo->setGeometry(QRect(bounds.left(), bounds.top(), right - bounds.left(), bounds.height()));
  combo->Start(text, kComboVisibleRows);
  return combo;
}

void CCustomList::mouseReleaseEvent(QMouseEvent* event) {
  WindowBase<QTableWidget>::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) {
    return;
  }
  const QPoint position = event->position().toPoint();
  int row = rowAt(position.y());
  const int column = columnAt(position.x());
  if (column < 0) {
    row = -1;
  }
  HandleClick(row, std::max(column, 0), position);
}

void CCustomList::HandleClick(int row, int column, const QPoint& position) {
  // Taking the focus closes an editor that is still open, which commits it first.
  if (!hasFocus()) {
    setFocus(Qt::MouseFocusReason);
  }
  ItemActivate click;
  click.header = NotifyHeader{this, static_cast<std::uintptr_t>(controlId()), NM_CLICK};
  click.item = row;
  click.subItem = column;
  click.action = position;
  if (wndmsg::MessageTarget* parent = TargetOf(parentWidget())) {
    if (parent->SendMsg(wndmsg::WM_CELL_CLICKED, reinterpret_cast<WParam>(&click), 0) != 0) {
      return;
    }
  }
  if (editMode_ == 0) {
    return;
  }
  if (editMode_ == 1) {
    (void)OpenCellEdit(row, column);
  } else {
    (void)OpenCellCombo(row, column);
  }
}

void CCustomList::SendEndEdit(ListEndEditInfo& info) {
  info.header = NotifyHeader{this, static_cast<std::uintptr_t>(controlId()), LVN_ENDLABELEDIT};
  if (wndmsg::MessageTarget* parent = TargetOf(parentWidget())) {
    (void)parent->SendMsg(WM_NOTIFY, info.header.id, reinterpret_cast<LParam>(&info));
  } else {
    ApplyEndEdit(info);
  }
}

LResult CCustomList::OnReflectedNotify(WParam, LParam lParam) {
  const auto* header = reinterpret_cast<const NotifyHeader*>(lParam);
  if (header != nullptr && header->code == LVN_ENDLABELEDIT) {
    ApplyEndEdit(*reinterpret_cast<const ListEndEditInfo*>(lParam));
  }
  return 0;
}

void CCustomList::ApplyEndEdit(const ListEndEditInfo& info) {
  if (info.item.item == -1 || info.item.text == nullptr) {
    return;
  }
  (void)SetItemText(info.item.item, info.item.subItem, *info.item.text);
  if (wndmsg::MessageTarget* parent = TargetOf(parentWidget())) {
    (void)parent->SendMsg(wndmsg::WM_CELL_CHANGED, reinterpret_cast<WParam>(&info),
                          reinterpret_cast<LParam>(&info.item));
  }
}

} // namespace lamp
