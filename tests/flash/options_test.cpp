#include "flash/options.h"

#include <gtest/gtest.h>

namespace flash {
namespace {

TEST(FlashOptionsTest, CommandsFilesAndOptionsInAnyOrder) {
  ParseResult parsed = ParseArguments({"--port", "/dev/ttyUSB1", "write", "--eeprom", "fw.eep",
                                       "--no-jump", "--baud", "38400", "--timeout", "2"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.command, Command::Write);
  EXPECT_EQ(parsed.options.file, "fw.eep");
  EXPECT_EQ(parsed.options.port, "/dev/ttyUSB1");
  EXPECT_EQ(parsed.options.baud, 38400u);
  EXPECT_TRUE(parsed.options.eeprom);
  EXPECT_TRUE(parsed.options.noJump);
  EXPECT_EQ(parsed.options.identifyTimeout, std::chrono::seconds(2));

  parsed = ParseArguments({"identify"});
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.options.command, Command::Identify);
  EXPECT_FALSE(parsed.options.port.has_value());
  EXPECT_FALSE(parsed.options.baud.has_value());

  EXPECT_TRUE(ParseArguments({"--version"}).options.version);
  EXPECT_TRUE(ParseArguments({"write", "--help"}).options.help);
}

TEST(FlashOptionsTest, EveryBadCommandLineIsRefusedWithItsReason) {
  const struct {
    std::vector<std::string> arguments;
    const char* error;
  } cases[] = {
      {{}, "no command given"},
      {{"erase"}, "unknown command erase"},
      {{"write"}, "write needs one FILE"},
      {{"read", "a.hex", "b.hex"}, "read needs one FILE"},
      {{"identify", "a.hex"}, "identify takes no FILE"},
      {{"identify", "--port"}, "--port needs a value"},
      {{"identify", "--baud", "0"}, "--baud: not a line rate: 0"},
      {{"identify", "--baud", "-9600"}, "--baud: not a line rate: -9600"},
      {{"identify", "--baud", "96k"}, "--baud: not a line rate: 96k"},
      {{"identify", "--baud", "99999999999999"}, "--baud: not a line rate: 99999999999999"},
      {{"identify", "--timeout", "0"}, "--timeout: not a number of seconds from 1 to 3600: 0"},
      {{"identify", "--force"}, "unknown option --force"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseArguments(c.arguments).error, c.error);
  }
}

TEST(FlashOptionsTest, HelpNamesEveryExitCode) {
  const std::string usage = UsageText();
  for (const char* line : {"  0    success", "  1    verify mismatch", "  2    bad command line",
                           "  3    device not answering", "  4    serial port",
                           "  5    the bootloader refused", "  130  interrupted"}) {
    EXPECT_NE(usage.find(line), std::string::npos) << line;
  }
}

} // namespace
} // namespace flash
