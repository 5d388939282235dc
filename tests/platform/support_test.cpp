// Message boxes, dialog units and library loading.
#include <QFontMetrics>
#include <QWidget>
#include <gtest/gtest.h>
#include <thread>

#include "platform/dialog_units.h"
#include "platform/gui_calls.h"
#include "platform/library_loader.h"
#include "platform/message_box.h"

namespace {

TEST(MessageBox, RecorderTakesTheTextsFromAnyThreadAndAnswers) {
  lamp::MessageBoxRecorder recorder(lamp::MessageBoxResult::Yes);
  EXPECT_EQ(lamp::MessageBox(nullptr, "Knoblet.Dll\n File not found."),
            lamp::MessageBoxResult::Yes);
  std::thread worker([] {
    (void)lamp::MessageBox(nullptr, "COM9 already open.", "LAMP",
                           lamp::MessageBoxButtons::OkCancel);
  });
  lamp::JoinServicing(worker);
  const auto requests = recorder.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "Knoblet.Dll\n File not found.");
  EXPECT_EQ(requests[1].text, "COM9 already open.");
  EXPECT_EQ(requests[1].caption, "LAMP");
  EXPECT_EQ(requests[1].buttons, lamp::MessageBoxButtons::OkCancel);
}

TEST(MessageBox, RecordersNestAndRestoreThePreviousHook) {
  lamp::MessageBoxRecorder outer;
  {
    lamp::MessageBoxRecorder inner(lamp::MessageBoxResult::No);
    EXPECT_EQ(lamp::MessageBox(nullptr, "inner"), lamp::MessageBoxResult::No);
  }
  EXPECT_EQ(lamp::MessageBox(nullptr, "outer"), lamp::MessageBoxResult::Ok);
  EXPECT_EQ(outer.texts(), std::vector<QString>{"outer"});
}

TEST(DialogUnits, TemplateFontsAndUnitsFollowTheAverageCharacter) {
  EXPECT_EQ(lamp::DialogFont("Verdana", 8).pixelSize(), 11);
  EXPECT_EQ(lamp::DialogFont("Verdana", 9).pixelSize(), 12);

  const lamp::DialogUnits units(lamp::DialogFont("Verdana", 8));
  // A Verdana-metric face at 11 pixels has an average character of 6 to 7 pixels.
  EXPECT_GE(units.baseX(), 5);
  EXPECT_LE(units.baseX(), 8);
  EXPECT_GE(units.baseY(), 11);
  EXPECT_EQ(units.x(4), units.baseX());
  EXPECT_EQ(units.y(8), units.baseY());
  // Both corners convert separately, so adjacent template rectangles stay adjacent.
  const QRect a = units.rect(3, 5, 7, 9);
  const QRect b = units.rect(10, 14, 7, 9);
  EXPECT_EQ(a.right() + 1, b.left());
  EXPECT_EQ(a.bottom() + 1, b.top());
  EXPECT_EQ(units.x(-3), -units.x(3));
}

TEST(DialogUnits, TheHalvedAlphabetWidthIsRoundedNotCut) {
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  int odd = 0;
  for (int pixels = 6; pixels <= 40; ++pixels) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    const int twice = QFontMetrics(font).horizontalAdvance(alphabet) / 26;
    if (twice % 2 == 1) {
      ++odd;
      EXPECT_EQ(lamp::DialogUnits(font).baseX(), twice / 2 + 1) << pixels << " pixels";
    }
  }
  EXPECT_GT(odd, 0) << "no size with an odd width to round";
}

TEST(LibraryLoader, FindsLibrariesBesideTheProgramAndReportsFailures) {
  const lamp::LoadedLibrary probe = lamp::LoadProgramLibrary("libplatformprobe.so");
  ASSERT_TRUE(probe) << probe.error;
  const lamp::FoundSymbol answer = lamp::FindSymbol(probe, "PlatformProbeAnswer");
  ASSERT_TRUE(answer) << answer.error;
  EXPECT_EQ(reinterpret_cast<int (*)()>(answer.address)(), 42);

  const lamp::FoundSymbol missing = lamp::FindSymbol(probe, "NoSuchExport");
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.error.empty());

  const lamp::LoadedLibrary absent = lamp::LoadProgramLibrary("libnosuchlibrary.so");
  EXPECT_FALSE(absent);
  EXPECT_NE(absent.error.find("libnosuchlibrary.so"), std::string::npos);
  EXPECT_FALSE(lamp::LoadProgramLibrary(""));
  EXPECT_FALSE(lamp::FindSymbol(absent, "PlatformProbeAnswer"));
}

} // namespace
