// The grid list and its editors, driven with real clicks and keys in an active dialog.
#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <wndmsg/messages.h>

#include "controls/cell_combo.h"
#include "controls/cell_edit.h"
#include "controls/custom_list.h"
#include "controls/list_headers.h"
#include "controls/my_edit.h"
#include "pixels.h"

namespace {

using lamp::CCellCombo;
using lamp::CCellEdit;
using lamp::CCustomList;
using lamp::LParam;
using lamp::LResult;
using lamp::WParam;

constexpr int kDeadlineMs = 5000;

struct Change {
  int row;
  int column;
  QString text;
  bool operator==(const Change&) const = default;
};

// The dialog side of the grid: answers the cell-click query through `answer` and records the
// queries, the changes and the editor-closed messages.
class GridDialog : public lamp::Dialog {
public:
  GridDialog() {
    resize(420, 220);
    onMessage(wndmsg::WM_CELL_CLICKED, [this](WParam w, LParam) {
      const auto* click = reinterpret_cast<const lamp::ItemActivate*>(w);
      clicks.emplace_back(click->item, click->subItem);
      list.SetEditMode(mode);
      return veto;
    });
    onMessage(wndmsg::WM_CELL_CHANGED, [this](WParam w, LParam l) {
      const auto* info = reinterpret_cast<const lamp::ListEndEditInfo*>(w);
      const auto* item = reinterpret_cast<const lamp::ListItem*>(l);
      EXPECT_EQ(&info->item, item);
      changes.push_back({item->item, item->subItem, *item->text});
      return LResult(0);
    });
    onMessage(wndmsg::WM_EDITOR_CLOSED, [this](WParam, LParam) {
      editorClosedWhileFocused.push_back(QApplication::focusWidget() == myEdit);
      return LResult(0);
    });
    lamp::SetUpGrid(list, this, 20000, QRect(0, 0, 400, 200),
                    {"ITEM", "MinVolt(mV)", "MaxVolt(mV)", "Offset", "Extra"},
                    {"LAMP1", "LAMP2", "LAMP3", "LAMP4"});
  }

  void Activate() {
    show();
    activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(this));
  }

  // The cell as the list lays it out: column width by row height.
  QRect CellRect(int row, int column) const { return list.SubItemBounds(row, column); }
  void ClickCell(int row, int column) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, CellRect(row, column).center());
  }
  // The open editor; closed ones may wait for their deletion a little.
  CCellEdit* Editor() const { return Open<CCellEdit>(); }
  CCellCombo* Combo() const { return Open<CCellCombo>(); }
  template <class Editor> Editor* Open() const {
    for (Editor* editor : list.viewport()->findChildren<Editor*>()) {
      if (editor->isVisible()) {
        return editor;
      }
    }
    return nullptr;
  }

  CCustomList list;
  lamp::CMyEdit* myEdit = nullptr;
  int mode = 1;
  LResult veto = 0;
  std::vector<std::pair<int, int>> clicks;
  std::vector<Change> changes;
  std::vector<bool> editorClosedWhileFocused;
};

// Lets deleteLater and queued hand-backs run.
void Settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(FillListHeaders, MakesTheTitledColumnsAndLabelledRows) {
  GridDialog dialog;
  CCustomList& list = dialog.list;
  ASSERT_EQ(list.GetColumnCount(), 5);
  ASSERT_EQ(list.GetItemCount(), 4);
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(list.GetItemText(row, 0), QString("LAMP%1").arg(row + 1));
    EXPECT_EQ(list.GetItemText(row, 1), QString());
  }
  EXPECT_EQ(list.horizontalHeaderItem(3)->text(), "Offset");
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(list.GetColumnFormat(column), lamp::ColumnFormat::Centre);
    EXPECT_EQ(list.GetColumnWidth(column), list.ClientWidth() / 5);
  }
  EXPECT_EQ(list.palette().color(QPalette::Text), QColor(0, 100, 155));
  EXPECT_EQ(list.font().pixelSize(), 12);
  EXPECT_TRUE(list.showGrid());

  CCustomList other;
  lamp::FillListHeaders(other, {"A", "B"}, {"r"}, 0, 9); // counts beyond the lists are cut
  EXPECT_EQ(other.GetColumnCount(), 2);
  EXPECT_EQ(other.GetItemCount(), 0);
}

TEST(CCustomList, EditBoxLiesOverTheCellTakesFourCharactersAndCommits) {
  GridDialog dialog;
  dialog.Activate();
  dialog.list.SetItemText(1, 2, "750");
  dialog.ClickCell(1, 2);
  ASSERT_EQ(dialog.clicks, (std::vector<std::pair<int, int>>{{1, 2}}));
  CCellEdit* editor = dialog.Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->geometry(), dialog.CellRect(1, 2));
  EXPECT_EQ(editor->controlId(), CCustomList::kCellEditId);
  EXPECT_EQ(editor->text(), "750");
  EXPECT_EQ(editor->selectedText(), "750");
  EXPECT_TRUE(editor->hasFocus());
  EXPECT_EQ(editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

  QTest::keyClicks(editor, "12345");
  EXPECT_EQ(editor->text(), "1234");
  dialog.ClickCell(2, 3); // clicking elsewhere commits and opens the next editor
  Settle();
  EXPECT_EQ(dialog.list.GetItemText(1, 2), "1234");
  EXPECT_EQ(dialog.changes, (std::vector<Change>{{1, 2, "1234"}}));

  CCellEdit* next = dialog.Editor();
  ASSERT_NE(next, nullptr);
  QTest::keyClicks(next, "-5");
  QTest::keyClick(next, Qt::Key_Return);
  Settle();
  EXPECT_EQ(dialog.list.GetItemText(2, 3), "-5");
  EXPECT_EQ(dialog.changes.back(), (Change{2, 3, "-5"}));
  EXPECT_EQ(dialog.Editor(), nullptr);
  EXPECT_TRUE(dialog.isVisible()) << "Enter belongs to the editor, not to the dialog";
  EXPECT_EQ(dialog.result(), 0);
}

TEST(CCustomList, EscapeCancelsWithoutClosingTheDialog) {
  GridDialog dialog;
  dialog.Activate();
  dialog.list.SetItemText(0, 1, "300");
  dialog.ClickCell(0, 1);
  CCellEdit* editor = dialog.Editor();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "99");
  QTest::keyClick(editor, Qt::Key_Escape);
  Settle();
  EXPECT_EQ(dialog.list.GetItemText(0, 1), "300");
  EXPECT_TRUE(dialog.changes.empty());
  EXPECT_EQ(dialog.Editor(), nullptr);
  EXPECT_TRUE(dialog.isVisible());
}

TEST(CCustomList, NoEditorWhereTheCellCannotBeEdited) {
  GridDialog dialog;
  dialog.Activate();
  const QPoint belowRows(50, dialog.CellRect(3, 0).bottom() + 30);
  QTest::mouseClick(dialog.list.viewport(), Qt::LeftButton, {}, belowRows);
  ASSERT_EQ(dialog.clicks.size(), 1u);
  EXPECT_EQ(dialog.clicks[0].first, -1);
  EXPECT_EQ(dialog.Editor(), nullptr);

  dialog.veto = 1;
  dialog.ClickCell(1, 1);
  EXPECT_EQ(dialog.Editor(), nullptr);
  dialog.veto = 0;
  dialog.mode = 0;
  dialog.ClickCell(1, 1);
  EXPECT_EQ(dialog.Editor(), nullptr);

  dialog.list.SetColumnWidth(2, 4);
  EXPECT_EQ(dialog.list.OpenCellEdit(1, 2), nullptr);
  EXPECT_EQ(dialog.list.OpenCellEdit(1, 5), nullptr);
  EXPECT_EQ(dialog.list.OpenCellEdit(4, 1), nullptr);
  EXPECT_EQ(dialog.list.OpenCellCombo(1, 7), nullptr);
  EXPECT_EQ(dialog.clicks.size(), 3u);
}

TEST(CCustomList, HiddenColumnsScrollIntoViewAndEditorsStopAtTheRightEdge) {
  GridDialog dialog;
  dialog.Activate();
  CCustomList& list = dialog.list;
  for (int column = 0; column < 5; ++column) {
    list.SetColumnWidth(column, 150);
  }
  QCoreApplication::processEvents();
  QScrollBar* bar = list.horizontalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  const int clientWidth = list.ClientRect().width();

  bar->setValue(bar->maximum());
  CCellEdit* left = list.OpenCellEdit(0, 1); // cut off at the left
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(bar->value(), 150);
  EXPECT_EQ(left->geometry(), QRect(0, dialog.CellRect(0, 1).top(), 150, list.rowHeight(0)));
  list.setFocus();
  Settle();

  bar->setValue(0);
  CCellEdit* right = list.OpenCellEdit(0, 4); // starts beyond the right edge
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(bar->value(), bar->maximum()) << "scrolled as far as the list goes";
  EXPECT_EQ(right->geometry().left(), dialog.CellRect(0, 4).left());
  EXPECT_LE(right->geometry().right(), clientWidth - 1);
  list.setFocus();
  Settle();

  bar->setValue(0);
  CCellEdit* partly = list.OpenCellEdit(0, 2); // starts inside, ends outside
  ASSERT_NE(partly, nullptr);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(partly->geometry().left(), 300);
  EXPECT_EQ(partly->geometry().right(), clientWidth - 1);
}

TEST(CCustomList, EditBoxWidensWhileTypingUpToTheListsEdge) {
  GridDialog dialog;
  dialog.Activate();
  dialog.list.SetColumnWidth(1, 12);
  dialog.ClickCell(0, 1);
  CCellEdit* editor = dialog.Editor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->width(), 12);
  QTest::keyClicks(editor, "8888");
  const int needed = QFontMetrics(dialog.list.font()).horizontalAdvance("8888") + 5;
  EXPECT_EQ(editor->width(), needed);
  EXPECT_EQ(editor->x(), dialog.CellRect(0, 1).left());

  // Near the right edge the box stops there.
  dialog.list.SetColumnWidth(4, 12);
  const int lastLeft = dialog.list.ClientRect().width() - 14;
  dialog.list.SetColumnWidth(3, lastLeft - dialog.CellRect(0, 3).left());
  QCoreApplication::processEvents();
  dialog.ClickCell(0, 4);
  CCellEdit* edge = dialog.Editor();
  ASSERT_NE(edge, nullptr);
  QTest::keyClicks(edge, "8888");
  EXPECT_EQ(edge->geometry().right(), dialog.list.ClientRect().width() - 1);
}

TEST(CCustomList, DropDownOpensAtOnceWithThePrefixMatchSelected) {
  GridDialog dialog;
  dialog.Activate();
  dialog.mode = 2;
  dialog.list.AddChoice("OFF");
  dialog.list.AddChoice("ON");
  dialog.list.AddChoice("AUTO");

  dialog.list.SetItemText(0, 1, "on");
  dialog.ClickCell(0, 1);
  CCellCombo* combo = dialog.Combo();
  ASSERT_NE(combo, nullptr);
  EXPECT_TRUE(combo->view()->isVisible()) << "dropped down at once";
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_EQ(combo->choices(), (QStringList{"OFF", "ON", "AUTO"}));
  EXPECT_EQ(combo->geometry().left(), dialog.CellRect(0, 1).left());
  EXPECT_EQ(combo->width(), dialog.CellRect(0, 1).width());
  combo->setCurrentIndex(2); // the operator picks AUTO
  combo->hidePopup();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Combo() == nullptr; }, kDeadlineMs));
  EXPECT_EQ(dialog.list.GetItemText(0, 1), "AUTO");
  EXPECT_EQ(dialog.changes, (std::vector<Change>{{0, 1, "AUTO"}}));
  EXPECT_EQ(dialog.focusWidget(), &dialog.list) << "the focus went back to the list";

  dialog.list.SetItemText(1, 1, "xyz");
  dialog.ClickCell(1, 1);
  combo = dialog.Combo();
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->currentIndex(), -1);
  combo->hidePopup(); // closed without a choice
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Combo() == nullptr; }, kDeadlineMs));
  EXPECT_EQ(dialog.list.GetItemText(1, 1), "xyz");

  dialog.list.SetItemText(2, 1, "AU");
  dialog.ClickCell(2, 1);
  combo = dialog.Combo();
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->currentIndex(), 2);
  QTest::keyClick(combo->view(), Qt::Key_Escape); // cancels although AUTO is selected
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Combo() == nullptr; }, kDeadlineMs));
  EXPECT_EQ(dialog.list.GetItemText(2, 1), "AU");
  EXPECT_EQ(dialog.changes.size(), 1u);
  EXPECT_TRUE(dialog.isVisible());
}

TEST(CCustomList, ClosingTheDialogWithAnEditorOpenCommitsNothingLate) {
  auto dialog = std::make_unique<GridDialog>();
  dialog->Activate();
  dialog->ClickCell(1, 1);
  ASSERT_NE(dialog->Editor(), nullptr);
  QTest::keyClicks(dialog->Editor(), "42");
  dialog.reset();
  Settle();
}

TEST(CMyEdit, TellsItsParentAfterLosingTheFocusAndShowsItsColours) {
  GridDialog dialog;
  lamp::CMyEdit edit(&dialog);
  dialog.myEdit = &edit;
  edit.setGeometry(10, 10, 80, 30);
  edit.SetBackgroundColour(QColor(248, 168, 97));
  edit.SetTextColour(QColor(42, 116, 179));
  dialog.Activate();
  edit.setFocus();
  ASSERT_TRUE(edit.hasFocus());
  EXPECT_EQ(QColor(lamp::test::Grab(edit).pixel(40, 15)), QColor(248, 168, 97));

  dialog.list.setFocus();
  EXPECT_EQ(dialog.editorClosedWhileFocused, std::vector<bool>{false});
  edit.setFocus();
  edit.clearFocus();
  EXPECT_EQ(dialog.editorClosedWhileFocused.size(), 2u);
}

} // namespace
