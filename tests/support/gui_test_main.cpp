// Test main for widget tests: one QApplication on the offscreen platform for the whole run, and
// a check that text really renders (without fonts Qt draws boxes and pixel tests pass blindly).
#include <QApplication>
#include <QFontMetrics>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QFontMetrics metrics(QApplication::font());
  if (!metrics.inFontUcs4('A')) {
    std::fprintf(stderr, "no usable font: install fonts-dejavu-core (scripts/install-deps)\n");
    return EXIT_FAILURE;
  }
  return RUN_ALL_TESTS();
}
