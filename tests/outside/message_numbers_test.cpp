// The private window messages cross library boundaries: the push-button and display libraries,
// the serial library and the program may be built apart, so each number is held here against the
// one the system gives it, not against the shared header.
#include <gtest/gtest.h>

#include <wndmsg/messages.h>

TEST(MessageNumbers, AreTheSystemsOwn) {
  EXPECT_EQ(wndmsg::WM_SETFOCUS, 0x0007u);
  EXPECT_EQ(wndmsg::WM_KILLFOCUS, 0x0008u);
  EXPECT_EQ(wndmsg::WM_MOUSEMOVE, 0x0200u);
  EXPECT_EQ(wndmsg::WM_CELL_CLICKED, 0x466u);
  EXPECT_EQ(wndmsg::WM_CELL_CHANGED, 0x46Bu);
  EXPECT_EQ(wndmsg::WM_BUTTON_PRESSED, 0x813u);
  EXPECT_EQ(wndmsg::WM_BUTTON_RELEASED, 0x814u);
  EXPECT_EQ(wndmsg::WM_BUTTON_IGNORED, 0x815u);
  EXPECT_EQ(wndmsg::WM_BUTTON_CLICKED, 0x816u);
  EXPECT_EQ(wndmsg::WM_BUTTON_PRESS, 0x817u);
  EXPECT_EQ(wndmsg::WM_DISPLAY_EDIT, 0x818u);
  EXPECT_EQ(wndmsg::WM_DISPLAY_CLICKED, 0x81Bu);
  EXPECT_EQ(wndmsg::WM_BOOT_IDENTIFY, 0xB00u);
  EXPECT_EQ(wndmsg::WM_BOOT_DATA, 0xB01u);
  EXPECT_EQ(wndmsg::WM_EDITOR_CLOSED, 0xB17u);
  EXPECT_EQ(wndmsg::WM_SERIAL_DATA, 0x1400u);
}
