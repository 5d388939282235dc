#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>

#include <sys/stat.h>

#include "lamp_test/temp_folder.h"

namespace lamp {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class ProfileFileTest : public ::testing::Test {
protected:
  std::filesystem::path Ini() const { return folder.Path() / "lamp.INI"; }

  TempFolder folder;
};

TEST_F(ProfileFileTest, ReadsLikeTheProfileFunctions) {
  WriteFile(Ini(), "\xEF\xBB\xBF; settings\r\n"
                   "[other]\r\n"
                   "PORT=wrong\r\n"
                   "  [ serial ]  \r\n"
                   "  port =  /dev/ttyUSB0  \r\n"
                   "PORT=second\r\n"
                   "BaudRate=\"115200\"\r\n"
                   "PARITY=\r\n"
                   "STOPBIT = 1.5\r\n"
                   "[SERIAL]\r\n"
                   "FLOW=HARDWARE\r\n"
                   "DATABIT=7");
  const ProfileFile file(Ini());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"PORT", "/dev/ttyUSB0"}, // names ignore case and blanks, the first key counts
      {"BAUDRATE", "115200"},   // quotes around a value are dropped
      {"PARITY", ""},           // present but empty: empty, not the fallback
      {"STOPBIT", "1.5"},       {"FLOW", "fallback"}, // only the first of two equal sections counts
      {"DATABIT", "fallback"},  {"MISSING", "fallback"},
  };
  for (const auto& [key, expected] : cases) {
    EXPECT_EQ(file.ReadString("SERIAL", key, "fallback"), expected) << key;
  }
  EXPECT_EQ(file.ReadString("NOSUCH", "PORT", "x"), "x");
  EXPECT_EQ(ProfileFile(folder.Path() / "absent.INI").ReadString("SERIAL", "PORT", "COM5"), "COM5");
  // A folder or a pipe where the file should be reads as a missing file, without blocking.
  EXPECT_EQ(ProfileFile(folder.Path()).ReadString("SERIAL", "PORT", "COM5"), "COM5");
  ASSERT_EQ(::mkfifo((folder.Path() / "pipe.INI").c_str(), 0600), 0);
  EXPECT_EQ(ProfileFile(folder.Path() / "pipe.INI").ReadString("SERIAL", "PORT", "COM5"), "COM5");
}

TEST_F(ProfileFileTest, GarbageNeverStopsTheReader) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string junk(random() % 3000, '\0');
    for (char& c : junk) {
      // Mostly the characters that mean something to the format, some of everything else.
      static const char kSyntax[] = "[]=\r\n \"';SERIALPORT";
      c = random() % 2 ? kSyntax[random() % (sizeof kSyntax - 1)] : static_cast<char>(random());
    }
    WriteFile(Ini(), junk);
    const ProfileFile file(Ini());
    static_cast<void>(file.ReadString("SERIAL", "PORT", "COM5"));
    ASSERT_TRUE(file.WriteString("SERIAL", "PORT", "/dev/x"));
    ASSERT_EQ(file.ReadString("SERIAL", "PORT", "COM5"), "/dev/x") << "round " << round;
  }
  // A binary prefix does not hide a good section after it.
  WriteFile(Ini(), std::string("\0\xFF\x5A[\0]\n=\n", 9) + "[SERIAL]\nPORT=/dev/ttyS1\n");
  EXPECT_EQ(ProfileFile(Ini()).ReadString("SERIAL", "PORT", "COM5"), "/dev/ttyS1");
}

TEST_F(ProfileFileTest, WritingAKeyKeepsEveryOtherLine) {
  const std::string before = "; hand-written\r\n"
                             "[SERIAL]\r\n"
                             "PORT = COM1 \r\n"
                             "weird line without equals\r\n"
                             "BAUDRATE=9600\r\n"
                             "\r\n"
                             "[OTHER]\r\n"
                             "PORT=keep\r\n";
  WriteFile(Ini(), before);
  const ProfileFile file(Ini());

  ASSERT_TRUE(file.WriteString("SERIAL", "PORT", "/dev/ttyUSB0"));
  EXPECT_EQ(ReadFile(Ini()), "; hand-written\r\n"
                             "[SERIAL]\r\n"
                             "PORT=/dev/ttyUSB0\r\n"
                             "weird line without equals\r\n"
                             "BAUDRATE=9600\r\n"
                             "\r\n"
                             "[OTHER]\r\n"
                             "PORT=keep\r\n");

  // A new key goes after the section's last line, before the blank line that separates it.
  ASSERT_TRUE(file.WriteString("serial", "FLOW", "NONE"));
  EXPECT_EQ(ReadFile(Ini()), "; hand-written\r\n"
                             "[SERIAL]\r\n"
                             "PORT=/dev/ttyUSB0\r\n"
                             "weird line without equals\r\n"
                             "BAUDRATE=9600\r\n"
                             "FLOW=NONE\r\n"
                             "\r\n"
                             "[OTHER]\r\n"
                             "PORT=keep\r\n");

  // A new section goes at the end, after a blank line.
  ASSERT_TRUE(file.WriteString("THIRD", "A", ""));
  EXPECT_TRUE(ReadFile(Ini()).ends_with("PORT=keep\r\n\r\n[THIRD]\r\nA=\r\n"));
  EXPECT_EQ(file.ReadString("THIRD", "A", "x"), "");
}

// A file cut between the CR and the LF of its last line end (found by fuzzing): the CR used to
// stay in the last value, and a write then turned it into a line end, changing that value.
TEST_F(ProfileFileTest, ALoneCarriageReturnEndsTheLastLine) {
  const ProfileFile file(Ini());
  WriteFile(Ini(), "[SERIAL]\r\nPORT = \"COM3\" \r");
  EXPECT_EQ(file.ReadString("SERIAL", "PORT", "COM5"), "COM3");
  ASSERT_TRUE(file.WriteString("SERIAL", "BAUDRATE", "9600"));
  EXPECT_EQ(ReadFile(Ini()), "[SERIAL]\r\nPORT = \"COM3\" \r\nBAUDRATE=9600\r\n");
  EXPECT_EQ(file.ReadString("SERIAL", "PORT", "COM5"), "COM3");

  WriteFile(Ini(), "[VIEW]\r\nZOOM=2\r");
  ASSERT_TRUE(file.WriteString("SERIAL", "PORT", "/dev/ttyS0"));
  EXPECT_EQ(ReadFile(Ini()), "[VIEW]\r\nZOOM=2\r\n\r\n[SERIAL]\r\nPORT=/dev/ttyS0\r\n");
  EXPECT_EQ(file.ReadString("VIEW", "ZOOM", "1"), "2");

  // Alone in the file, the CR is no line end to copy for the lines that follow.
  WriteFile(Ini(), "[SERIAL]\r");
  ASSERT_TRUE(file.WriteString("SERIAL", "PORT", "COM2"));
  EXPECT_EQ(ReadFile(Ini()), "[SERIAL]\r\nPORT=COM2\n");
  EXPECT_EQ(file.ReadString("SERIAL", "PORT", "COM5"), "COM2");
}

TEST_F(ProfileFileTest, WritingCreatesWhatIsMissing) {
  const ProfileFile fresh(folder.Path() / "config" / "deeper" / "lamp.INI");
  ASSERT_TRUE(fresh.WriteString("SERIAL", "PORT", "COM3"));
  ASSERT_TRUE(fresh.WriteString("SERIAL", "BAUDRATE", "19200"));
  EXPECT_EQ(ReadFile(fresh.Path()), "[SERIAL]\nPORT=COM3\nBAUDRATE=19200\n");

  // A last line without a line end gets one before anything is added.
  WriteFile(Ini(), "[SERIAL]\nPORT=COM1");
  ASSERT_TRUE(ProfileFile(Ini()).WriteString("SERIAL", "FLOW", "NONE"));
  EXPECT_EQ(ReadFile(Ini()), "[SERIAL]\nPORT=COM1\nFLOW=NONE\n");
}

TEST_F(ProfileFileTest, RefusedWritesLeaveTheFileAlone) {
  WriteFile(Ini(), "[SERIAL]\nPORT=COM1\n");
  const ProfileFile file(Ini());
  EXPECT_FALSE(file.WriteString("SERIAL", "PORT", "COM2\n[EVIL]"));
  EXPECT_FALSE(file.WriteString("SERIAL", "PO=RT", "x"));
  EXPECT_FALSE(file.WriteString("SER]IAL", "PORT", "x"));
  EXPECT_FALSE(file.WriteString("", "PORT", "x"));
  EXPECT_FALSE(file.WriteString("SERIAL", " ", "x"));
  // The folder that should hold the file is a file.
  WriteFile(folder.Path() / "blocker", "");
  EXPECT_FALSE(ProfileFile(folder.Path() / "blocker" / "lamp.INI").WriteString("S", "K", "v"));
  EXPECT_EQ(ReadFile(Ini()), "[SERIAL]\nPORT=COM1\n");
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ProfileFilePathTest, LivesInTheUsersConfigFolder) {
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(ProfileFile::DefaultPath(), "/srv/conf/lamp.INI");
  }
  ScopedEnv home("HOME", "/home/op");
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/conf"}) {
    ScopedEnv config("XDG_CONFIG_HOME", unusable);
    EXPECT_EQ(ProfileFile::DefaultPath(), "/home/op/.config/lamp.INI");
  }
}

} // namespace
} // namespace lamp
