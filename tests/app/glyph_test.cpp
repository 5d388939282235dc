// Every text the program shows that is not plain ASCII (the About window's Korean, the context
// menu's item, the degree sign) is drawn with real glyphs: each of its characters resolves in the
// font that draws it, its fall-backs included. Without a Hangul font these render as empty boxes.
// With LAMP_SCREENS_DIR set, the test saves pictures of the context menu and the About window
// there (docs/screens/context-menu.png, docs/screens/about.png).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>

#include "app/lamp_app.h"
#include "app/main_window.h"
#include "controls/text_label.h"
#include "lamp_test/panel_settings.h"
#include "lamp_test/pty_peer.h"
#include "platform/log_font.h"
#include "platform/message_box.h"
#include "platform/notify.h"

namespace lamp {
namespace {

constexpr int kDeadlineMs = 10000;

struct ShownText {
  QString text;
  QFont font;
  QString where;
};

bool PlainAscii(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

class TextCollector {
public:
  void Add(const QString& text, const QFont& font, const QString& where) {
    if (!text.isEmpty() && !PlainAscii(text)) {
      texts.push_back({text, font, where});
    }
  }

  // The texts of a window and of every widget in it, each with the font that draws it.
  void AddWindow(QWidget* window) {
    Add(window->windowTitle(), QApplication::font("QWidget"), window->objectName() + " title");
    std::vector<QWidget*> widgets{window};
    for (QWidget* child : window->findChildren<QWidget*>()) {
      widgets.push_back(child);
    }
    for (QWidget* widget : widgets) {
      const QString where = QString::fromLatin1(widget->metaObject()->className());
      if (auto* label = dynamic_cast<TextLabel*>(widget)) {
        Add(label->GetCaption(), FontFromLogFont(label->fontDescription()), where);
      } else if (auto* qlabel = qobject_cast<QLabel*>(widget)) {
        Add(qlabel->text(), qlabel->font(), where);
      } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        Add(button->text(), button->font(), where);
      } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i) {
          Add(combo->itemText(i), combo->font(), where);
        }
      } else if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        AddItemView(*view, where);
      } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        AddMenu(*menu);
      }
    }
  }

  void AddMenu(const QMenu& menu) {
    for (const QAction* action : menu.actions()) {
      Add(action->text(), action->font().resolve(menu.font()), QStringLiteral("menu item"));
    }
  }

  std::vector<ShownText> texts;

private:
  void AddItemView(const QAbstractItemView& view, const QString& where) {
    const QAbstractItemModel* model = view.model();
    if (model == nullptr) {
      return;
    }
    const auto* table = qobject_cast<const QTableView*>(&view);
    const QFont headerFont = table != nullptr ? table->horizontalHeader()->font() : view.font();
    for (int column = 0; column < model->columnCount(); ++column) {
      Add(model->headerData(column, Qt::Horizontal).toString(), headerFont, where + " header");
    }
    for (int row = 0; row < model->rowCount(); ++row) {
      Add(model->headerData(row, Qt::Vertical).toString(), headerFont, where + " header");
      for (int column = 0; column < model->columnCount(); ++column) {
        Add(model->index(row, column).data().toString(), view.font(), where);
      }
    }
  }
};

// Runs `act` on the widget that `find` returns once it is there: used while a menu or a modal
// window runs its own event loop.
void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act,
               QDeadlineTimer deadline = QDeadlineTimer(kDeadlineMs)) {
  QTimer::singleShot(10, [=] {
    if (QWidget* widget = find(); widget != nullptr && widget->isVisible()) {
      act(widget);
    } else if (!deadline.hasExpired()) {
      WhenShown(find, act, deadline);
    }
  });
}

void SaveScreen(QWidget* widget, const char* name) {
  const QString folder = qEnvironmentVariable("LAMP_SCREENS_DIR");
  if (!folder.isEmpty()) {
    EXPECT_TRUE(widget->grab().save(QDir(folder).filePath(QString::fromLatin1(name))));
  }
}

class GlyphTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(test::WritePanelSettings(config.path(), peer.SlavePath()));
  }

  QTemporaryDir config;
  test::PtyPeer peer;
};

TEST_F(GlyphTest, EveryNonAsciiTextResolvesToGlyphsInTheFontThatDrawsIt) {
  MessageBoxRecorder messageBoxes;
  MainWindow window({.dialogs = ProgramOptionDialogs()});
  window.Initialise();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  TextCollector collector;
  collector.AddWindow(&window);

  for (int i = 0; i < kOptionDialogCount; ++i) {
    window.send(WM_COMMAND, static_cast<WParam>(kFirstOptionCommand + i), 0);
    QWidget* dialog = window.OpenOptionDialog(static_cast<OptionDialog>(i));
    ASSERT_NE(dialog, nullptr) << "option dialog " << i;
    collector.AddWindow(dialog);
    dialog->close();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.OpenOptionDialog(static_cast<OptionDialog>(i)) == nullptr; },
        kDeadlineMs));
  }

  // The context menu as the operator opens it, and from it the About window.
  bool aboutSeen = false;
  WhenShown([] { return QApplication::activePopupWidget(); },
            [&](QWidget* popup) {
              auto* menu = qobject_cast<QMenu*>(popup);
              ASSERT_NE(menu, nullptr);
              collector.AddMenu(*menu);
              SaveScreen(menu, "context-menu.png");
              WhenShown([] { return QApplication::activeModalWidget(); },
                        [&](QWidget* about) {
                          aboutSeen = true;
                          collector.AddWindow(about);
                          SaveScreen(about, "about.png");
                          for (auto* button : about->findChildren<QAbstractButton*>()) {
                            QTest::mouseClick(button, Qt::LeftButton);
                          }
                        });
              menu->setActiveAction(menu->actions().value(0));
              QTest::keyClick(menu, Qt::Key_Return);
            });
  const QPoint inside(10, 10);
  QContextMenuEvent event(QContextMenuEvent::Mouse, inside, window.mapToGlobal(inside));
  QApplication::sendEvent(&window, &event);
  EXPECT_TRUE(aboutSeen);

  std::set<QString> seen;
  for (const ShownText& shown : collector.texts) {
    seen.insert(shown.text);
    const QFontMetrics metrics(shown.font);
    for (const char32_t c : shown.text.toUcs4()) {
      EXPECT_TRUE(c < 0x80 || metrics.inFontUcs4(c))
          << "U+" << std::hex << static_cast<unsigned>(c) << " of \"" << shown.text.toStdString()
          << "\" (" << shown.where.toStdString() << ") has no glyph in "
          << shown.font.family().toStdString();
    }
  }
  // The walk reached the texts that matter; a walk that misses them proves nothing.
  for (const QString& expected : {QStringLiteral("LAMP 정보(&A)..."), QStringLiteral("확인"),
                                  QStringLiteral("LAMP 정보"), QStringLiteral("25\u2103")}) {
    EXPECT_TRUE(seen.count(expected) == 1) << expected.toStdString() << " not found";
  }
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const QString& text) {
    return text.startsWith(QStringLiteral("FAN START"));
  })) << "the fan control dialog's degree sign not found";
  window.close();
}

} // namespace
} // namespace lamp
