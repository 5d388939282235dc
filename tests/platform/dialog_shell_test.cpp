// The dialog shell: caption, frame, template font and fixed size; and the owner's life a dialog
// asks before it tells its owner that it closed.
#include <QDialog>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

#include "platform/dialog_shell.h"
#include "platform/window.h"
#include "platform/window_handle.h"

namespace {

using lamp::DialogShell;

TEST(DialogShell, SetsCaptionFrameBoxesFontAndClosingAsAsked) {
  const struct {
    DialogShell shell;
    Qt::WindowType frame;
  } cases[] = {
      {{.title = QStringLiteral("Velora"),
        .face = QStringLiteral("MS Shell Dlg"),
        .points = 9,
        .toolWindow = false,
        .minimiseBox = true},
       Qt::Dialog},
      {{.title = QStringLiteral("Fan control"),
        .face = QStringLiteral("Verdana"),
        .points = 8,
        .deleteOnClose = true},
       Qt::Tool},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shell.title.toStdString());
    QDialog dialog;
    const lamp::DialogUnits units = lamp::ShapeDialog(dialog, c.shell);
    EXPECT_EQ(dialog.windowTitle(), c.shell.title);
    EXPECT_EQ(dialog.windowType(), c.frame);
    const Qt::WindowFlags flags = dialog.windowFlags();
    for (const Qt::WindowType box : {Qt::CustomizeWindowHint, Qt::WindowTitleHint,
                                     Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint}) {
      EXPECT_TRUE(flags.testFlag(box)) << box;
    }
    EXPECT_EQ(flags.testFlag(Qt::WindowMinimizeButtonHint), c.shell.minimiseBox);
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.testAttribute(Qt::WA_DeleteOnClose), c.shell.deleteOnClose);
    EXPECT_EQ(dialog.font(), lamp::DialogFont(c.shell.face, c.shell.points));
    EXPECT_EQ(units.baseY(), lamp::DialogUnits(dialog.font()).baseY());
  }
}

TEST(DialogShell, FixesTheTemplatesClientSizeWithRoomAbove) {
  QDialog dialog;
  const lamp::DialogUnits units =
      lamp::ShapeDialog(dialog, {.face = QStringLiteral("Verdana"), .points = 8});
  const QSize client = lamp::FixTemplateSize(dialog, units, QSize(338, 338), 21);
  EXPECT_EQ(client, units.size(338, 338));
  EXPECT_EQ(dialog.minimumSize(), QSize(client.width(), client.height() + 21));
  EXPECT_EQ(dialog.maximumSize(), dialog.minimumSize());
}

TEST(OwnerLife, OnlyAProgramWindowOwnerCanBeGone) {
  EXPECT_TRUE(lamp::OwnerLife(nullptr).alive());
  QWidget plain;
  EXPECT_TRUE(lamp::OwnerLife(&plain).alive()) << "an owner without messages misses none";

  auto window = std::make_unique<lamp::Window>();
  const lamp::OwnerLife life(window.get());
  EXPECT_TRUE(life.alive());
  window->beginClose();
  EXPECT_FALSE(life.alive()) << "an owner that began closing is told nothing";
  window.reset();
  EXPECT_FALSE(life.alive());
}

} // namespace
