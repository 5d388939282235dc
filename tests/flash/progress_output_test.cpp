#include "flash/progress_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace flash {
namespace {

// What the output wrote, through a real temporary file.
class Capture {
public:
  Capture() : file(std::tmpfile()) {}
  ~Capture() { std::fclose(file); }
  std::string Text() {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
      text += static_cast<char>(c);
    }
    return text;
  }
  std::FILE* file;
};

TEST(ProgressOutputTest, PlainLinesAtEveryTenthWhenNotATerminal) {
  Capture capture;
  ProgressOutput progress(capture.file, false);
  progress.Begin("writing");
  for (int k = 0; k <= 512; ++k) {
    progress.Update(k, 512);
  }
  progress.End();
  EXPECT_EQ(capture.Text(), "writing: 0 %\nwriting: 10 %\nwriting: 20 %\nwriting: 30 %\n"
                            "writing: 40 %\nwriting: 50 %\nwriting: 60 %\nwriting: 70 %\n"
                            "writing: 80 %\nwriting: 90 %\nwriting: 100 %\n");
}

TEST(ProgressOutputTest, OneBarRedrawnInPlaceOnATerminalAndEndedOnce) {
  Capture capture;
  ProgressOutput progress(capture.file, true);
  progress.Begin("reading");
  progress.Update(0, 4);
  progress.Update(0, 4);
  progress.Update(2, 4);
  progress.Update(9, 4); // past the range: shown full, not beyond
  progress.End();
  progress.End();
  const std::string empty(40, '.');
  const std::string half = std::string(20, '#') + std::string(20, '.');
  const std::string full(40, '#');
  EXPECT_EQ(capture.Text(), "\rreading  [" + empty + "]   0 %\rreading  [" + half +
                                "]  50 %\rreading  [" + full + "] 100 %\n");
}

} // namespace
} // namespace flash
