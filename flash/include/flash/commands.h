#pragma once
// The commands of velora-flash, from a parsed command line to an exit code: the HEX file, the
// port from lamp.INI or the options, entering and identifying the bootloader, the transfer with
// its progress, the byte-for-byte comparison and the jump back to the application. Progress and
// results go to `out`, one line per failure to `err`.

#include <cstdio>

#include "flash/exit_codes.h"
#include "flash/options.h"

namespace flash {

[[nodiscard]] ExitCode RunCommand(const Options& options, std::FILE* out, std::FILE* err,
                                  bool terminal);

} // namespace flash
