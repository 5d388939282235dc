// The Read and Write buttons of every settings dialog that has them, clicked as the operator
// does: Read only ever asks, Write sends the table, and the pauses between the frames of the auto
// mode setup are the 1 ms of the controller's protocol.

#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "controls/my_edit.h"
#include "dialog_host.h"
#include "lamp_test/operator_input.h"
#include "settings_dialogs/automode.h"
#include "settings_dialogs/fan_ctrl.h"
#include "settings_dialogs/user_mode.h"

namespace lamp::test {
namespace {

using std::chrono::milliseconds;

Bytes Read(std::uint8_t command) {
  return command == 3 ? Frame(3, 1, {0}) : Frame(command, 1);
}

class ReadWriteButtons : public ::testing::Test {
protected:
  // The auto mode setup with its pauses recorded instead of waited.
  CAutomode* OpenAutomode() {
    auto* dialog =
        new CAutomode(host, &host, [this](milliseconds time) { pauses.push_back(time); });
    host.Adopt(OptionDialog::Automode, dialog);
    return dialog;
  }

  PtyPair peer;
  DialogHost host{peer};
  std::vector<milliseconds> pauses;
};

TEST_F(ReadWriteButtons, FanControlReadAsksAndWriteSendsTheTwoBoxes) {
  auto* dialog = host.OpenAs<CFanCtrl>(OptionDialog::FanCtrl);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(9)});
  ASSERT_TRUE(Press(*dialog, "Read"));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(9)});
  // Empty boxes are sent as 0.
  ASSERT_TRUE(Press(*dialog, "Write"));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Frame(9, 0, {0, 0})});
  EXPECT_TRUE(host.Quiet());
}

TEST_F(ReadWriteButtons, AutoModeReadAndWriteInModeAAndModeBWithTheirPauses) {
  CAutomode* dialog = OpenAutomode();
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{Read(11), Read(10)}));
  pauses.clear();

  ASSERT_TRUE(Press(*dialog, "Read"));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(10)});
  EXPECT_TRUE(pauses.empty());
  ASSERT_TRUE(EditCell(*dialog->Grid(), 2, 1, "-3"));
  ASSERT_TRUE(Press(*dialog, "Write"));
  EXPECT_EQ(host.Frames(2),
            (std::vector<Bytes>{Frame(8, 0, {0}), Frame(10, 0, {0, 0, 0, 0, 0xFD, 0xFF, 0, 0})}));
  EXPECT_EQ(pauses, std::vector<milliseconds>{milliseconds(1)});

  QTest::mouseClick(dialog->Radio(1), Qt::LeftButton);
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{Read(11), Read(12)}));
  pauses.clear();
  ASSERT_TRUE(Press(*dialog, "Read"));
  EXPECT_EQ(host.Frames(2), (std::vector<Bytes>{Read(11), Read(12)}));
  EXPECT_EQ(pauses, std::vector<milliseconds>{milliseconds(1)});

  // Begin and End take two digits each.
  dialog->Field(0)->setFocus();
  QTest::keyClicks(QApplication::focusWidget(), "123");
  EXPECT_EQ(dialog->Field(0)->text(), "12");
  pauses.clear();
  ASSERT_TRUE(Press(*dialog, "Write"));
  const std::vector<Bytes> frames = host.Frames(34);
  ASSERT_EQ(frames.size(), 34u);
  EXPECT_EQ(frames[0], Frame(8, 0, {1}));
  EXPECT_EQ(frames[1], Frame(11, 0, {12, 0}));
  EXPECT_EQ(pauses, (std::vector<milliseconds>{milliseconds(1), milliseconds(1)}));
  EXPECT_TRUE(host.Quiet());
}

TEST_F(ReadWriteButtons, UserModeReadAsksAndWriteSendsEveryUserThenReadsTheStateBack) {
  host.State().userMode = 1;
  auto* dialog = host.OpenAs<CUserMode>(OptionDialog::UserMode);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});
  ASSERT_TRUE(Press(*dialog, "Read"));
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Read(19)});

  ASSERT_TRUE(host.Reply({Frame(19, 1, {1, 3, 0xFF, 0xFF, 2, 0, 3, 0, 0xE8, 0x03})}));
  EXPECT_EQ(dialog->Grid()->GetItemText(3, 1), "-1");
  EXPECT_EQ(dialog->Grid()->GetItemText(3, 4), "1000");
  const int refreshes = host.refreshes;
  ASSERT_TRUE(Press(*dialog, "Write"));
  EXPECT_EQ(host.Frames(9),
            (std::vector<Bytes>{Frame(19, 0, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
                                Frame(19, 0, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0}),
                                Frame(19, 0, {1, 2, 0, 0, 0, 0, 0, 0, 0, 0}),
                                Frame(19, 0, {1, 3, 0xFF, 0xFF, 2, 0, 3, 0, 0xE8, 0x03}), Read(18),
                                Read(1), Read(2), Read(3), Read(8)}));
  EXPECT_EQ(host.refreshes, refreshes + 1);
  EXPECT_TRUE(host.Quiet());
}

} // namespace
} // namespace lamp::test
