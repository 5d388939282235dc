// Test main for widget tests: one QApplication on the offscreen platform for the whole run, and
// a check that text really renders (without fonts Qt draws boxes and pixel tests pass blindly).
#include <QApplication>
#include <QFontMetrics>
#include <QThreadPool>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

// Whether one of Qt's pool threads ("Thread (pooled)") is still a task of this process.
bool PoolThreadAlive() {
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name == "Thread (pooled)") {
      return true;
    }
  }
  return false;
}

// Qt scales and converts pictures on its global thread pool. Its threads are ended here, while
// the application still exists, and the run waits until they are really gone: a pool thread
// drops its last hold on its thread record only as it exits, and one still exiting when the
// program ends leaves that record behind for the leak checker.
void EndQtPoolThreads() {
  QThreadPool::globalInstance()->waitForDone();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PoolThreadAlive() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

} // namespace

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
  EndQtPoolThreads();
  return result;
}
