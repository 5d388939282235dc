#include "process_sample.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>

namespace soak {

namespace {

namespace fs = std::filesystem;

std::optional<std::uint64_t> ReadRss(const fs::path& status) {
  std::ifstream in(status);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) {
      std::istringstream fields(line.substr(6));
      std::uint64_t kib = 0;
      if (fields >> kib) {
        return kib;
      }
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<double> ReadCpuSeconds(const fs::path& stat) {
  std::ifstream in(stat);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The command name in parentheses may itself hold spaces and parentheses: the fields that
  // follow start after the last closing one. State is field 3, utime and stime fields 14 and 15.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  for (int i = 3; i < 14; ++i) {
    if (!(fields >> field)) {
      return std::nullopt;
    }
  }
  unsigned long long user = 0;
  unsigned long long system = 0;
  if (!(fields >> user >> system)) {
    return std::nullopt;
  }
  const long ticks = sysconf(_SC_CLK_TCK);
  return static_cast<double>(user + system) / static_cast<double>(ticks > 0 ? ticks : 100);
}

// Entries of `folder`, leaving out descriptors that point back at the folder (the one the
// directory walk holds open when a process counts its own descriptors).
std::optional<int> CountEntries(const fs::path& folder) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) {
    return std::nullopt;
  }
  int count = 0;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) {
      return std::nullopt;
    }
    std::error_code linkError;
    const fs::path target = fs::read_symlink(it->path(), linkError);
    if (!linkError && target == folder) {
      continue;
    }
    ++count;
  }
  return count;
}

} // namespace

std::optional<ProcessSample> ReadProcessSample(pid_t pid, const fs::path& proc) {
  const fs::path folder = proc / std::to_string(pid);
  const auto rss = ReadRss(folder / "status");
  const auto cpu = ReadCpuSeconds(folder / "stat");
  const auto threads = CountEntries(folder / "task");
  const auto fds = CountEntries(folder / "fd");
  if (!rss || !cpu || !threads || !fds) {
    return std::nullopt;
  }
  ProcessSample sample;
  sample.rssKiB = *rss;
  sample.cpuSeconds = *cpu;
  sample.threads = *threads;
  sample.fds = *fds;
  return sample;
}

} // namespace soak
