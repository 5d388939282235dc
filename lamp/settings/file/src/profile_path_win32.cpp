#include "settings/profile_file.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace lamp {

// A profile file named without a folder lives in the Windows folder: that is where the
// platform's profile functions keep the program's "lamp.INI".
std::filesystem::path ProfileFile::DefaultPath() {
  char folder[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return "lamp.INI";
  }
  return std::filesystem::path(folder) / "lamp.INI";
}

} // namespace lamp
