// velora-flash: the command-line upgrader of the Velora controller's firmware. See UsageText().

#include <cstdio>
#include <string>
#include <vector>

#include "flash/commands.h"
#include "flash/console.h"
#include "flash/options.h"

#ifndef LAMP_VERSION
#define LAMP_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  const flash::ParseResult parsed =
      flash::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "velora-flash: %s\n%s", parsed.error.c_str(), flash::UsageText());
    return flash::ToInt(flash::ExitCode::UsageOrBadFile);
  }
  if (parsed.options.help) {
    std::fputs(flash::UsageText(), stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::printf("velora-flash %s\n", LAMP_VERSION);
    return 0;
  }
  flash::CatchInterrupt();
  return flash::ToInt(flash::RunCommand(parsed.options, stdout, stderr, flash::IsTerminal(stdout)));
}
