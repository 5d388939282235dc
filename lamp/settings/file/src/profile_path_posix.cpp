#include "settings/profile_file.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace lamp {

std::filesystem::path ProfileFile::DefaultPath() {
  constexpr std::string_view kFileName = "lamp.INI";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    return std::filesystem::path(config) / kFileName;
  }
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : ".";
  }
  return std::filesystem::path(home) / ".config" / kFileName;
}

} // namespace lamp
