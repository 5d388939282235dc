// Test main for widget tests: one QApplication on the offscreen platform for the whole run, and
// a check that text really renders (without fonts Qt draws boxes and pixel tests pass blindly).
#include <QApplication>
#include <QFontMetrics>
#include <QThreadPool>
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
  const int result = RUN_ALL_TESTS();
  // Qt scales and converts pictures on its global thread pool. Ending those threads here, while
  // the application still exists, keeps them from racing the program's exit, where a pool thread
  // still winding down leaves its thread record behind and the leak checker reports it.
  QThreadPool::globalInstance()->waitForDone();
  return result;
}
