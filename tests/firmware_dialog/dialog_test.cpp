// The firmware upgrade dialog as a real window on the offscreen platform, without a serial line:
// its controls and commands, file loading into the memory view, and closing.

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <QToolBar>
#include <cstdlib>
#include <knoblet/button_object.h>

#include "controls/text_label.h"
#include "dialog_rig.h"
#include "firmware/hex_reader.h"
#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/bootloader_menu.h"
#include "firmware_dialog/memory_view.h"

namespace lamp {
namespace {

using firmware::ImageKind;
using test::Bytes;
using test::WaitFor;

class FirmwareDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    dialog_ = new CBootloader(nullptr, {nullptr, test::Controls(), [this] { ++closed_; }});
    dialog_->SetFileChooser([this](QWidget*, const QString& filter) {
      filters_.push_back(filter);
      return nextFile_;
    });
    dialog_->SetSaveFileChooser([this](QWidget*, const QString& filter) {
      saveFilters_.push_back(filter);
      return saveAs_;
    });
    dialog_->show();
  }
  void TearDown() override { delete dialog_.data(); }

  // Chooses the menu item with `text`, as the operator does.
  void Choose(const QString& text) {
    for (QAction* popup : dialog_->MenuBar()->actions()) {
      for (QAction* item : popup->menu()->actions()) {
        if (item->text() == text) {
          item->trigger();
          return;
        }
      }
    }
    ADD_FAILURE() << "no menu item " << text.toStdString();
  }

  // Opens `path` through the command of `kind`, as if the operator chose it.
  void Open(ImageKind kind, const QString& path) {
    nextFile_ = path;
    dialog_->RunCommand(kind == ImageKind::Program ? firmware::kCmdOpenProgramFile
                                                   : firmware::kCmdOpenDataFile);
  }

  // Waits until the memory view filler has shown `rows` rows and stopped.
  bool ViewShows(std::uint32_t rows) {
    return WaitFor(
        [&] { return !dialog_->ViewFillerRunning() && dialog_->MemoryView()->RowCount() == rows; });
  }

  [[nodiscard]] QStringList Row(std::uint32_t row) const {
    QStringList texts;
    for (int column = 0; column < 17; ++column) {
      texts << dialog_->MemoryView()->Text(row, column);
    }
    return texts;
  }

  test::HexFolder files_;
  QPointer<CBootloader> dialog_;
  QString nextFile_;
  QStringList filters_;
  QString saveAs_;
  QStringList saveFilters_;
  int closed_ = 0;
};

TEST_F(FirmwareDialogTest, OpensWithItsCommandsAndNothingLoaded) {
  EXPECT_EQ(dialog_->windowTitle(), "Firmware upgrade");

  // Menu 140: two popups, each item with its command ID.
  const QList<QAction*> popups = dialog_->MenuBar()->actions();
  ASSERT_EQ(popups.size(), 2);
  EXPECT_EQ(popups[0]->text(), "&File");
  EXPECT_EQ(popups[1]->text(), "&Command");
  QStringList items;
  for (QAction* popup : popups) {
    for (QAction* item : popup->menu()->actions()) {
      items << (item->isSeparator() ? QStringLiteral("-")
                                    : item->text() + '=' + item->data().toString());
    }
  }
  EXPECT_EQ(items.join('|'),
            "Open &Program(FLASH) File=32781|Open &Data(EEPROM) File=32782|-|"
            "Save Program(&FLASH) File=32783|Save Data(&EEPROM) File=32784|-|E&xit=32785|"
            "&Write Program(FLASH)=32771|Write Data(EEP&ROM)=32772|-|"
            "Read Program(F&LASH)=32773|Read Data(EEPR&OM)=32775|-|"
            "&Erase Program(FLASH)=32776|Er&ase Data(EEPROM)=32777|-|"
            "Jump &Boot Program=32778|Jump &Application Program=32779|-|Bootloader &Lock=32780");

  // Tool bar: fourteen buttons with images and tool tips, separators between the groups.
  QStringList buttons;
  for (QAction* action : dialog_->ToolBar()->actions()) {
    if (action->isSeparator()) {
      buttons << "-";
      continue;
    }
    EXPECT_FALSE(action->icon().isNull()) << action->toolTip().toStdString();
    buttons << action->data().toString() + '=' + action->toolTip();
  }
  EXPECT_EQ(buttons.join('|'),
            "32781=Open Program(FLASH) File|32782=Open Data(EEPROM) File|"
            "32783=Save Program(FLASH) File|32784=Save Data(EEPROM) File|-|"
            "32771=Write Program(FLASH)|32772=Write Data(EEPROM)|32773=Read Program(FLASH)|"
            "32775=Read Data(EEPROM)|32776=Erase Program(FLASH)|32777=Erase Data(EEPROM)|-|"
            "32778=Jump Boot Program|32779=Jump Application Program|-|32780=Bootloader Lock|-|"
            "32785=Exit");

  EXPECT_EQ(dialog_->TargetGroup()->title(), "Target");
  const QStringList expected = {"Cdd",          "DEVICE:  ",    "FLASH SIZE:  ",  "BOOT SIZE:  ",
                                "PAGE SIZE:  ", "PAGE BYTE:  ", "EEPROM SIZE:  ", "--------",
                                "--------",     "--------",     "--------",       "--------",
                                "--------"};
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(dialog_->Label(i)->GetCaption(), expected[i]) << "label " << i;
  }

  // The memory view: "Address" and 00 to 0F, no rows.
  firmware::MemoryView* view = dialog_->MemoryView();
  QStringList headers;
  for (int column = 0; column < 17; ++column) {
    headers << view->model()->headerData(column, Qt::Horizontal).toString();
  }
  EXPECT_EQ(headers.join(' '), "Address 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
  EXPECT_EQ(view->columnWidth(0), 74);
  EXPECT_EQ(view->columnWidth(16), 30);
  EXPECT_EQ(view->RowCount(), 0u);

  // The transfer controls show only during a transfer; the Cancel button sits left of the bar.
  EXPECT_FALSE(dialog_->ProgressBar()->isVisible());
  ASSERT_NE(dialog_->CancelButton(), nullptr);
  EXPECT_FALSE(dialog_->CancelButton()->window->isVisible());
  EXPECT_EQ(dialog_->CancelButton()->window->geometry().right() + 1,
            dialog_->ProgressBar()->geometry().left());
  EXPECT_EQ(dialog_->ProgressBar()->geometry().left(), view->geometry().left() + 48);
}

TEST_F(FirmwareDialogTest, LoadedFileFillsTheMemoryViewAndNamesThePath) {
  // 40 bytes at 0: three rows, the last one showing the erased bytes past the image.
  const QString first = files_.Write("forty.hex", test::HexText(0, test::Pattern(40, 1)));
  Open(ImageKind::Program, first);
  ASSERT_TRUE(ViewShows(3));
  EXPECT_EQ(dialog_->Label(0)->GetCaption(), first);
  EXPECT_EQ(Row(0)[0], "00000000");
  EXPECT_EQ(Row(1)[0], "00000010");
  EXPECT_EQ(Row(2).join(' '), "00000020 21 22 23 24 25 26 27 28 FF FF FF FF FF FF FF FF");
  EXPECT_TRUE(dialog_->Image().Loaded(ImageKind::Program));
  EXPECT_EQ(dialog_->Image().Size(), 40u);
  EXPECT_EQ(filters_.back(), "*.* (*.*);;*.a90 (*.a90);;*.hex (*.hex);;*.rom (*.rom)");

  // A smaller data image at 0x1C00 replaces it; the surplus rows go.
  const QString second = files_.Write("small.eep", test::HexText(0x1C00, test::Pattern(20, 7)));
  Open(ImageKind::Data, second);
  ASSERT_TRUE(ViewShows(2));
  EXPECT_EQ(Row(0).join(' '), "00001C00 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16");
  EXPECT_EQ(Row(1)[0], "00001C10");
  EXPECT_EQ(dialog_->Label(0)->GetCaption(), second);
  EXPECT_TRUE(dialog_->Image().Loaded(ImageKind::Data));
  EXPECT_FALSE(dialog_->Image().Loaded(ImageKind::Program));
  EXPECT_EQ(dialog_->Image().Size(), 20u); // every data byte counts, the last one too
  EXPECT_EQ(filters_.back(), "*.* (*.*);;*.hex (*.hex);;*.eep (*.eep)");

  // A large image fills the view in several passes of the filler without losing a row.
  Open(ImageKind::Program, files_.Write("large.hex", test::HexText(0, test::Pattern(40000, 3))));
  ASSERT_TRUE(ViewShows(2500));
  EXPECT_EQ(Row(2499)[0], "00009C30");
  EXPECT_EQ(Row(2499)[16],
            QStringLiteral("%1").arg((39999 + 3) % 251, 2, 16, QChar('0')).toUpper());
}

TEST_F(FirmwareDialogTest, CancelledOrFailedLoadLeavesNoImageAndKeepsTheView) {
  const QString good = files_.Write("good.hex", test::HexText(0, test::Pattern(32)));
  Open(ImageKind::Program, good);
  ASSERT_TRUE(ViewShows(2));

  // Cancelled file dialog; then a file with a bad checksum; then one with no end record.
  const std::string valid = test::HexText(0, test::Pattern(16));
  std::string badSum = valid;
  badSum[42] = badSum[42] == '0' ? '1' : '0';
  const std::string noEnd = valid.substr(0, valid.find(":00000001"));
  for (const QString& path :
       {QString(), files_.Write("bad.hex", badSum), files_.Write("open.hex", noEnd)}) {
    Open(ImageKind::Program, good);
    ASSERT_TRUE(dialog_->Image().Loaded(ImageKind::Program));
    Open(ImageKind::Program, path);
    EXPECT_FALSE(dialog_->Image().Loaded(ImageKind::Program)) << path.toStdString();
    EXPECT_FALSE(dialog_->Image().Loaded(ImageKind::Data));
    ASSERT_TRUE(ViewShows(2));
    EXPECT_EQ(dialog_->Label(0)->GetCaption(), good);
  }
}

TEST_F(FirmwareDialogTest, EnterIsSwallowedAndEscapeClosesAndDeletes) {
  QTest::keyClick(dialog_, Qt::Key_Return);
  QTest::keyClick(dialog_, Qt::Key_Enter);
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_EQ(closed_, 0);

  QTest::keyClick(dialog_, Qt::Key_Escape);
  EXPECT_GE(closed_, 1);
  ASSERT_TRUE(WaitFor([&] { return dialog_.isNull(); }));
}

TEST_F(FirmwareDialogTest, ExitAndCloseBoxEndTheDialog) {
  // "Exit" destroys the window directly.
  for (QAction* action : dialog_->ToolBar()->actions()) {
    if (action->data().toInt() == firmware::kCmdExit) {
      action->trigger();
    }
  }
  EXPECT_FALSE(dialog_->isVisible());
  ASSERT_TRUE(WaitFor([&] { return dialog_.isNull(); }));
  EXPECT_GE(closed_, 1);

  // The close box, on a fresh dialog that starts with nothing loaded.
  closed_ = 0;
  dialog_ = new CBootloader(nullptr, {nullptr, nullptr, [this] { ++closed_; }});
  dialog_->show();
  EXPECT_EQ(dialog_->CancelButton(), nullptr); // no push-button library, no Cancel button
  EXPECT_FALSE(dialog_->Image().Loaded(ImageKind::Program));
  EXPECT_EQ(dialog_->Label(0)->GetCaption(), "Cdd");
  dialog_->close();
  EXPECT_EQ(closed_, 1);
  ASSERT_TRUE(WaitFor([&] { return dialog_.isNull(); }));
  EXPECT_EQ(closed_, 2); // once when it closes, once when it is destroyed
}

TEST_F(FirmwareDialogTest, AParentWindowGoingAwayTakesTheDialogWithoutBeingTold) {
  auto* parent = new Window();
  int told = 0;
  QPointer<CBootloader> child = new CBootloader(parent, {nullptr, nullptr, [&] { ++told; }});
  child->show();
  const QString path = files_.Write("a.hex", test::HexText(0, test::Pattern(40000)));
  child->SetFileChooser([&](QWidget*, const QString&) { return path; });
  child->RunCommand(firmware::kCmdOpenProgramFile); // the view filler starts
  delete parent;
  EXPECT_TRUE(child.isNull());
  EXPECT_EQ(told, 0);
}

} // namespace
} // namespace lamp

namespace lamp {
namespace {

// The save commands write the image in the buffer, of their own kind only, as Intel HEX that
// loads back to the same bytes at the same base, with our reader and with srec_cat.
TEST_F(FirmwareDialogTest, SaveCommandsWriteTheLoadedImageAsIntelHex) {
  const std::filesystem::path saved = files_.Path() / "saved.hex";
  saveAs_ = QString::fromStdString(saved.string());
  Choose("Save Program(&FLASH) File");
  Choose("Save Data(&EEPROM) File");
  EXPECT_TRUE(saveFilters_.isEmpty()) << "no image: no save dialog";
  EXPECT_FALSE(std::filesystem::exists(saved));

  // A data image with a gap, based at 0x180.
  Bytes bytes = test::Pattern(64, 3);
  std::string text = test::HexText(0x180, bytes);
  text.erase(text.rfind(':')); // the end record comes after the second range
  text += test::HexText(0x280, test::Pattern(16, 9));
  Open(ImageKind::Data, files_.Write("gapped.eep", text));
  ASSERT_EQ(dialog_->Image().Size(), 0x110u);
  Choose("Save Program(&FLASH) File");
  EXPECT_TRUE(saveFilters_.isEmpty()) << "a data image is not a program image";
  Choose("Save Data(&EEPROM) File");
  ASSERT_EQ(saveFilters_.size(), 1);
  EXPECT_EQ(saveFilters_[0], "*.* (*.*);;*.hex (*.hex);;*.eep (*.eep)");
  const Bytes expected(firmware::ProgramImageBuffer().Data(),
                       firmware::ProgramImageBuffer().Data() + 0x110);

  firmware::ImageBuffer back;
  const firmware::HexLoadResult loaded = firmware::LoadHexFile(saved.string(), back);
  ASSERT_TRUE(loaded.ok);
  EXPECT_EQ(loaded.baseAddress, 0x180u);
  EXPECT_EQ(loaded.span, 0x110u);
  EXPECT_EQ(Bytes(back.Data(), back.Data() + 0x110), expected);
  EXPECT_EQ(back[0x100], 9);
  const std::filesystem::path binary = files_.Path() / "saved.bin";
  ASSERT_EQ(std::system(("srec_cat " + saved.string() + " -intel -offset -0x180 -o " +
                         binary.string() + " -binary")
                            .c_str()),
            0);
  std::ifstream in(binary, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), expected);
  EXPECT_TRUE(dialog_->StatusLine()->isVisible());
  EXPECT_EQ(dialog_->StatusLine()->text(),
            "Data(EEPROM) image saved: 272 bytes to " + saveAs_ + ".");

  // A save that cannot be written says so and leaves nothing behind.
  saveAs_ = QString::fromStdString((files_.Path() / "missing" / "x.hex").string());
  Choose("Save Data(&EEPROM) File");
  EXPECT_EQ(dialog_->StatusLine()->text(),
            "Data(EEPROM) image not saved: " + saveAs_ + " cannot be written.");
  EXPECT_FALSE(std::filesystem::exists(files_.Path() / "missing"));

  // Cancelling the save dialog saves nothing.
  std::filesystem::remove(saved);
  saveAs_.clear();
  Choose("Save Data(&EEPROM) File");
  EXPECT_FALSE(std::filesystem::exists(saved));
}

} // namespace
} // namespace lamp
