// System setup, fan control, auto mode setup and user mode setting, driven as the operator does,
// with every frame checked where it arrives: on the far side of a real serial port.

#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "controls/my_edit.h"
#include "controls/text_label.h"
#include "dialog_host.h"
#include "lamp_test/operator_input.h"
#include "settings_dialogs/automode.h"
#include "settings_dialogs/fan_ctrl.h"
#include "settings_dialogs/machine.h"
#include "settings_dialogs/user_mode.h"

namespace lamp::test {
namespace {

using std::chrono::milliseconds;

Bytes Read(std::uint8_t command) {
  // The read of command 3 carries the selected digit, like its write.
  return command == 3 ? Frame(3, 1, {0}) : Frame(command, 1);
}

class GridDialogs : public ::testing::Test {
protected:
  PtyPair peer;
  DialogHost host{peer};
};

TEST_F(GridDialogs, SystemSetupSendsTheTableAsTwosComplementAndShowsRepliesSigned) {
  auto* dialog = host.OpenAs<CMachine>(OptionDialog::Machine);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(16)});
  CCustomList& grid = *dialog->Grid();
  ASSERT_EQ(grid.GetItemCount(), 5);
  ASSERT_EQ(grid.GetColumnCount(), 4);

  // Replies: -5, -32768 and a thermistor offset of 300.
  ASSERT_TRUE(host.Reply(
      {Frame(16, 1, {0, 0xFB, 0xFF, 0x00, 0x80, 0x10, 0x00}), Frame(16, 1, {4, 0x2C, 0x01})}));
  EXPECT_EQ(grid.GetItemText(0, 1), "-5");
  EXPECT_EQ(grid.GetItemText(0, 2), "-32768");
  EXPECT_EQ(grid.GetItemText(0, 3), "16");
  EXPECT_EQ(grid.GetItemText(4, 1), "");
  EXPECT_EQ(grid.GetItemText(4, 3), "300");

  ASSERT_TRUE(EditCell(grid, 1, 3, "-5"));
  ASSERT_TRUE(EditCell(grid, 4, 3, "abc"));
  ASSERT_TRUE(Press(*dialog, "Write"));
  const std::vector<Bytes> frames = host.Frames(5);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0], Frame(16, 0, {0, 0xFB, 0xFF, 0x00, 0x80, 0x10, 0x00, 0x00}));
  EXPECT_EQ(frames[1], Frame(16, 0, {1, 0, 0, 0, 0, 0xFB, 0xFF, 0x00}));
  EXPECT_EQ(frames[2], Frame(16, 0, {2, 0, 0, 0, 0, 0, 0, 0x00}));
  EXPECT_EQ(frames[4], Frame(16, 0, {4, 0, 0}));

  ASSERT_TRUE(Press(*dialog, "Read"));
  ASSERT_TRUE(Press(*dialog, "Read"));
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{Read(16), Read(16)}));
}

TEST_F(GridDialogs, SystemSetupOpensEditorsOnlyOnValueCells) {
  auto* dialog = host.OpenAs<CMachine>(OptionDialog::Machine);
  CCustomList& grid = *dialog->Grid();
  struct Case {
    int row;
    int column;
    bool editable;
  };
  // Labels never, also right after a value was edited; the thermistor only its offset.
  for (const Case& c : {Case{0, 1, true}, Case{0, 0, false}, Case{4, 1, false}, Case{4, 2, false},
                        Case{4, 3, true}, Case{3, 0, false}, Case{3, 2, true}, Case{4, 0, false}}) {
    ClickCell(grid, c.row, c.column);
    EXPECT_EQ(OpenEditor(grid) != nullptr, c.editable) << c.row << "," << c.column;
    grid.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return OpenEditor(grid) == nullptr; }, 2000));
  }
  // The edit box takes four characters at most.
  ASSERT_TRUE(EditCell(grid, 2, 1, "12345"));
  EXPECT_EQ(grid.GetItemText(2, 1), "1234");
}

TEST_F(GridDialogs, FanControlShowsTwoDigitsAndSendsBothBytes) {
  auto* dialog = host.OpenAs<CFanCtrl>(OptionDialog::FanCtrl);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(9)});
  EXPECT_EQ(dialog->Label(0)->GetCaption(), QString::fromUtf8("FAN START [\u2103]"));

  ASSERT_TRUE(host.Reply({Frame(9, 1, {5, 0})}));
  EXPECT_EQ(dialog->Field(0)->text(), "05");
  EXPECT_EQ(dialog->Field(1)->text(), "00");
  ASSERT_TRUE(host.Reply({Frame(9, 1, {120, 45})}));
  EXPECT_EQ(dialog->Field(0)->text(), "120");

  for (int i = 0; i < 2; ++i) {
    dialog->Field(i)->clear();
    QTest::keyClicks(dialog->Field(i), i == 0 ? "4x5" : "407");
  }
  EXPECT_EQ(dialog->Field(0)->text(), "45");
  EXPECT_EQ(dialog->Field(1)->text(), "40");
  ASSERT_TRUE(Press(*dialog, "Write"));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Frame(9, 0, {0x2D, 0x28})});
}

TEST_F(GridDialogs, AutoModeOpensInModeBAndWritesKindRangeAndAllStepsInRowOrder) {
  host.State().autoKind = 1;
  auto* dialog = host.OpenAs<CAutomode>(OptionDialog::Automode);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(3), (std::vector<Bytes>{Read(11), Read(11), Read(12)}));
  CCustomList& grid = *dialog->Grid();
  EXPECT_EQ(grid.GetItemCount(), 32);
  EXPECT_EQ(grid.GetColumnCount(), 6);
  EXPECT_EQ(grid.GetItemText(31, 0), "31");
  EXPECT_TRUE(dialog->Radio(1)->isChecked());
  EXPECT_TRUE(dialog->Field(0)->isVisible());

  ASSERT_TRUE(host.Reply(
      {Frame(11, 1, {7, 12}), Frame(12, 1, {5, 1, 0, 2, 0, 0xFF, 0xFF, 4, 0, 0x2C, 0x01})}));
  EXPECT_EQ(dialog->Field(0)->text(), "7");
  EXPECT_EQ(dialog->Field(1)->text(), "12");
  EXPECT_EQ(grid.GetItemText(5, 3), "-1");
  EXPECT_EQ(grid.GetItemText(5, 5), "300");

  dialog->Field(0)->clear();
  ASSERT_TRUE(EditCell(grid, 31, 1, "-2"));
  ASSERT_TRUE(Press(*dialog, "Write"));
  const std::vector<Bytes> frames = host.Frames(34);
  ASSERT_EQ(frames.size(), 34u);
  EXPECT_EQ(frames[0], Frame(8, 0, {1}));
  EXPECT_EQ(frames[1], Frame(11, 0, {0, 12}));
  for (std::uint8_t row = 0; row < 32; ++row) {
    const Bytes& frame = frames[2u + row];
    ASSERT_EQ(frame.size(), 17u);
    EXPECT_EQ(frame[3], 12);
    EXPECT_EQ(frame[5], row);
  }
  EXPECT_EQ(frames[2 + 5], Frame(12, 0, {5, 1, 0, 2, 0, 0xFF, 0xFF, 4, 0, 0x2C, 0x01}));
  EXPECT_EQ(frames[2 + 31], Frame(12, 0, {31, 0xFE, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(host.State().autoKind.load(), 1);
}

TEST_F(GridDialogs, AutoModeSwitchingRebuildsTheGridAndOnlyReads) {
  auto* dialog = host.OpenAs<CAutomode>(OptionDialog::Automode);
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{Read(11), Read(10)}));
  CCustomList& grid = *dialog->Grid();
  EXPECT_EQ(grid.GetItemCount(), 4);
  EXPECT_FALSE(dialog->Field(0)->isVisible());

  QTest::mouseClick(dialog->Radio(1), Qt::LeftButton);
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{Read(11), Read(12)}));
  EXPECT_EQ(host.State().autoKind.load(), 1);
  EXPECT_EQ(grid.GetColumnCount(), 6);
  EXPECT_TRUE(dialog->Label(0)->isVisible());
  // A Mode A reply addresses column 1 of rows 0 to 3 of whatever grid is shown.
  ASSERT_TRUE(host.Reply({Frame(10, 1, {1, 0, 2, 0, 3, 0, 4, 0})}));
  EXPECT_EQ(grid.GetItemText(3, 1), "4");

  QTest::mouseClick(dialog->Radio(0), Qt::LeftButton);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(10)});
  EXPECT_EQ(host.State().autoKind.load(), 0);
  EXPECT_EQ(grid.GetItemCount(), 4);
  EXPECT_EQ(grid.GetColumnCount(), 2);
  EXPECT_EQ(grid.GetItemText(0, 1), "");
  EXPECT_FALSE(dialog->Field(1)->isVisible());
  // The mode already shown: the same grid again, empty, read again.
  ASSERT_TRUE(EditCell(grid, 0, 1, "9"));
  QTest::mouseClick(dialog->Radio(0), Qt::LeftButton);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(10)});
  EXPECT_EQ(grid.GetItemText(0, 1), "");
  EXPECT_TRUE(host.Quiet());

  ClickCell(grid, 1, 0);
  EXPECT_EQ(OpenEditor(grid), nullptr);
  ASSERT_TRUE(EditCell(grid, 1, 1, "30"));
  ASSERT_TRUE(Press(*dialog, "Write"));
  EXPECT_EQ(host.Frames(2),
            (std::vector<Bytes>{Frame(8, 0, {0}), Frame(10, 0, {0, 0, 30, 0, 0, 0, 0, 0})}));
}

TEST_F(GridDialogs, UserModeSelectorAndTheSelectedRow) {
  host.State().userMode = 1;
  // Not made the active window: there the offscreen platform closes a dropped list at once.
  auto* dialog = host.OpenAs<CUserMode>(OptionDialog::UserMode, false);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});
  CCustomList& grid = *dialog->Grid();
  EXPECT_FALSE(dialog->Radio(0)->isChecked());
  EXPECT_FALSE(dialog->Radio(1)->isChecked());

  // Only the selected user's row (0) is editable at first; the label cell of row 0 is the
  // selector.
  ClickCell(grid, 1, 1);
  EXPECT_EQ(OpenEditor(grid), nullptr);
  ClickCell(grid, 0, 0);
  CCellCombo* selector = OpenDropDown(grid);
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->choices(), (QStringList{"USER1", "USER2", "USER3", "USER4"}));
  selector->setCurrentIndex(2); // the operator picks USER3
  selector->hidePopup();
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid.GetItemText(0, 0) == "USER3"; }, 2000));
  EXPECT_EQ(dialog->SelectedUser(), 2);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Frame(20, 0, {2})});

  ClickCell(grid, 0, 1);
  EXPECT_EQ(OpenEditor(grid), nullptr);
  ASSERT_TRUE(host.Reply({Frame(19, 1, {1, 2, 1, 0, 2, 0, 3, 0, 4, 0})}));
  EXPECT_TRUE(dialog->Radio(1)->isChecked());
  ASSERT_TRUE(EditCell(grid, 2, 4, "250"));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Frame(22, 0, {2, 1, 0, 2, 0, 3, 0, 250, 0})});

  // With user mode off, picking and editing change only the dialog.
  host.State().userMode = 0;
  ASSERT_TRUE(EditCell(grid, 2, 1, "7"));
  EXPECT_TRUE(host.Quiet());
}

TEST_F(GridDialogs, UserModeSelectedUserReplyMovesTheEditableRow) {
  auto* dialog = host.OpenAs<CUserMode>(OptionDialog::UserMode);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});
  CCustomList& grid = *dialog->Grid();
  ASSERT_TRUE(host.Reply({Frame(22, 1, {3, 9, 0, 8, 0, 7, 0, 0x9C, 0xFF})}));
  EXPECT_EQ(dialog->SelectedUser(), 3);
  EXPECT_EQ(grid.GetItemText(3, 1), "9");
  EXPECT_EQ(grid.GetItemText(3, 4), "-100");
  ClickCell(grid, 0, 1);
  EXPECT_EQ(OpenEditor(grid), nullptr);
  grid.setFocus();
  ClickCell(grid, 3, 2);
  EXPECT_NE(OpenEditor(grid), nullptr);
}

TEST_F(GridDialogs, UserModeSwitchSendsTheModeAndTheStateReadBack) {
  auto* dialog = host.OpenAs<CUserMode>(OptionDialog::UserMode);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});
  for (int click = 0; click < 2; ++click) {
    QTest::mouseClick(dialog->Radio(1), Qt::LeftButton);
    EXPECT_EQ(host.Frames(6), (std::vector<Bytes>{Frame(18, 0, {1}), Read(18), Read(1), Read(2),
                                                  Read(3), Read(8)}));
  }
  EXPECT_EQ(host.refreshes, 2);
  QTest::mouseClick(dialog->Radio(0), Qt::LeftButton);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Frame(18, 0, {0})});
  EXPECT_EQ(host.State().userMode.load(), 0);
}

TEST_F(GridDialogs, UserModeTellsTheControllerOfTheCloseTwiceByCloseBoxOnceByEscape) {
  const Bytes closed = Frame(21, 0, {0});
  auto* dialog = host.OpenAs<CUserMode>(OptionDialog::UserMode);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});
  QPointer<QWidget> watch(dialog);
  dialog->close();
  EXPECT_EQ(host.OpenDialogOf(OptionDialog::UserMode), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 2000));
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{closed, closed}));

  dialog = host.OpenAs<CUserMode>(OptionDialog::UserMode);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});
  watch = dialog;
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_EQ(host.OpenDialogOf(OptionDialog::UserMode), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 2000));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{closed});
  EXPECT_TRUE(host.Quiet());
}

TEST_F(GridDialogs, EnterIsSwallowedAndEscapeClosesWithoutSending) {
  for (OptionDialog which : {OptionDialog::Machine, OptionDialog::FanCtrl}) {
    QWidget* dialog = host.Open(which);
    ASSERT_EQ(host.Frames(1).size(), 1u);
    QTest::keyClick(dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    QPointer<QWidget> watch(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_EQ(host.OpenDialogOf(which), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 2000));
  }
  EXPECT_TRUE(host.Quiet());
}

} // namespace
} // namespace lamp::test
