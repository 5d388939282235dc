// The serial port setup dialog against a real settings file in a temporary config folder and a
// real serial port on a pseudo-terminal.

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <comlane/serial_port.h>
#include <cstdlib>
#include <gtest/gtest.h>

#include "dialog_host.h"
#include "lamp_test/operator_input.h"
#include "lamp_test/temp_folder.h"
#include "platform/message_box.h"
#include "settings_dialogs/rs232_setup.h"

namespace lamp::test {
namespace {

class SerialSetup : public ::testing::Test {
protected:
  SerialSetup() { setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1); }
  ~SerialSetup() override { unsetenv("XDG_CONFIG_HOME"); }

  [[nodiscard]] std::filesystem::path File() const { return folder.Path() / "lamp.INI"; }
  CRs232Setup* Open() { return host.OpenAs<CRs232Setup>(OptionDialog::Rs232Setup); }
  // Closes the dialog with one of its buttons and waits until it is gone.
  static bool Finish(CRs232Setup* dialog, const QString& button) {
    QPointer<QWidget> watch(dialog);
    return Press(*dialog, button) && QTest::qWaitFor([&] { return watch.isNull(); }, 5000);
  }
  // The operator steps the list one item down, as the arrow key does.
  static void StepDown(QComboBox* list) { QTest::keyClick(list, Qt::Key_Down); }

  TempFolder folder;
  PtyPair peer;
  DialogHost host{peer};
  comlane::SerialPort& port = *host.SerialPort();
};

TEST_F(SerialSetup, WithoutSettingsFileShowsItsDefaultsAndOkUnchangedWritesNothing) {
  CRs232Setup* dialog = Open();
  ASSERT_NE(dialog, nullptr);
  const char* shown[] = {"COM1", "19200", "8", "NONE", "1", "NONE"};
  for (int i = 0; i < CRs232Setup::kLists; ++i) {
    EXPECT_EQ(dialog->List(i)->currentData().toString(), shown[i]) << i;
    EXPECT_EQ(dialog->Text(i), shown[i]);
  }
  EXPECT_EQ(dialog->List(0)->itemData(9).toString(), "COM10");
  EXPECT_EQ(dialog->List(1)->count(), 7);
  EXPECT_FALSE(dialog->Modified());
  // The grey gradient behind it, from RGB(250, 250, 250) at the top to about 225 at the bottom.
  const QImage picture = dialog->grab().toImage();
  EXPECT_EQ(picture.pixelColor(0, 0), QColor(250, 250, 250));
  EXPECT_NEAR(picture.pixelColor(0, picture.height() - 1).red(), 225, 1);

  ASSERT_TRUE(Finish(dialog, "Ok"));
  EXPECT_FALSE(std::filesystem::exists(File()));
  EXPECT_NE(port.IsOpen(), 0);
  EXPECT_EQ(host.reopened, 0);
}

TEST_F(SerialSetup, OneChangeWritesAllSixKeysAndKeepsValuesTheListsDoNotOffer) {
  // A device path and a speed that the lists do not offer, the rest partly missing.
  WriteFile(File(), "; the operator's notes\n[SERIAL]\nPORT=" + peer.DevicePath() +
                        "\nBAUDRATE=4800\nDATABIT=7\n[OTHER]\nKEY=1\n");
  CRs232Setup* dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->List(0)->currentIndex(), -1);
  EXPECT_EQ(dialog->List(0)->currentText().toStdString(), peer.DevicePath());
  EXPECT_EQ(dialog->List(1)->currentText(), "4800");
  EXPECT_EQ(dialog->List(2)->currentText(), "7");

  StepDown(dialog->List(4)); // stop bits 1 -> 1.5
  StepDown(dialog->List(4)); // -> 2
  EXPECT_TRUE(dialog->Modified());
  ASSERT_TRUE(Finish(dialog, "Ok"));

  EXPECT_EQ(ReadFile(File()), "; the operator's notes\n[SERIAL]\nPORT=" + peer.DevicePath() +
                                  "\nBAUDRATE=4800\nDATABIT=7\nPARITY=NONE\nSTOPBIT=2\nFLOW=NONE\n"
                                  "[OTHER]\nKEY=1\n");
  ASSERT_NE(port.IsOpen(), 0);
  EXPECT_EQ(port.portName, peer.DevicePath());
  EXPECT_EQ(port.baudRate, 4800u);
  EXPECT_EQ(port.byteSize, 7);
  EXPECT_EQ(port.stopBits, comlane::kStopTwo);
  EXPECT_EQ(host.reopened, 1);
  // The reopened port carries commands again.
  host.SendCommand(7, 1);
  EXPECT_EQ(host.Frames(1), std::vector<Bytes>{Frame(7, 1)});
}

TEST_F(SerialSetup, PortThatCannotBeOpenedIsReportedAndStaysClosed) {
  WriteFile(File(), "[SERIAL]\nPORT=/dev/lamp-no-such-port\n");
  CRs232Setup* dialog = Open();
  ASSERT_NE(dialog, nullptr);
  StepDown(dialog->List(1)); // 19200 -> 28800
  MessageBoxRecorder boxes;
  ASSERT_TRUE(Finish(dialog, "Ok"));
  EXPECT_EQ(boxes.texts(), std::vector<QString>{"/dev/lamp-no-such-port already open."});
  EXPECT_EQ(port.IsOpen(), 0);
  EXPECT_EQ(host.reopened, 0);
  EXPECT_NE(ReadFile(File()).find("BAUDRATE=28800\n"), std::string::npos);
}

TEST_F(SerialSetup, CancelEscapeAndEnterWriteNothing) {
  CRs232Setup* dialog = Open();
  StepDown(dialog->List(3));
  ASSERT_TRUE(Finish(dialog, "Cancel"));

  dialog = Open();
  StepDown(dialog->List(3));
  QTest::keyClick(dialog, Qt::Key_Return);
  EXPECT_TRUE(dialog->isVisible());
  QPointer<QWidget> watch(dialog);
  QTest::keyClick(dialog, Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isNull(); }, 5000));
  EXPECT_EQ(host.OpenDialogOf(OptionDialog::Rs232Setup), nullptr);

  EXPECT_FALSE(std::filesystem::exists(File()));
  EXPECT_NE(port.IsOpen(), 0);
}

TEST_F(SerialSetup, TextTypedIntoAListIsNeverReadNotOnEnterNorWhenTheFieldLosesFocus) {
  MessageBoxRecorder boxes; // a reopen on a typed port would complain, not wait for a click
  CRs232Setup* dialog = Open();
  ASSERT_NE(dialog, nullptr);
  // The operator types the name of another offered port and the speed 9600, each followed by
  // Enter, then leaves the field.
  for (const auto& [list, typed] : {std::pair{0, "COM3"}, std::pair{1, "9600"}}) {
    QComboBox* combo = dialog->List(list);
    QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
    // The combo box takes the focus for its edit field and hands the keys on to it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == combo; }, 5000));
    combo->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(combo->lineEdit()->text(), typed);
    EXPECT_NE(QApplication::focusWidget(), combo);
  }
  EXPECT_TRUE(dialog->isVisible()) << "Enter neither applies nor closes";
  EXPECT_FALSE(dialog->Modified());
  EXPECT_EQ(dialog->List(0)->currentIndex(), 0);
  EXPECT_EQ(dialog->Text(0), "COM1");
  EXPECT_EQ(dialog->List(1)->currentIndex(), 1);
  EXPECT_EQ(dialog->Text(1), "19200");
  ASSERT_TRUE(Finish(dialog, "Ok"));
  EXPECT_FALSE(std::filesystem::exists(File()));
  EXPECT_EQ(host.reopened, 0);
  EXPECT_TRUE(boxes.texts().empty());
}

} // namespace
} // namespace lamp::test
