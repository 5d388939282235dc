#include "process_figures.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace bench {

namespace {

std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path);
  if (!file) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::filesystem::path ProcFolder(pid_t pid) {
  return std::filesystem::path("/proc") / std::to_string(pid);
}

// The number that follows `key` at the start of a line of `text` ("VmRSS:\t  1234 kB").
std::optional<std::int64_t> Field(std::string_view text, std::string_view key) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.substr(0, key.size()) != key) {
      continue;
    }
    std::size_t digits = key.size();
    while (digits < line.size() && (line[digits] == ' ' || line[digits] == '\t')) {
      ++digits;
    }
    std::int64_t value = 0;
    const auto [next, error] =
        std::from_chars(line.data() + digits, line.data() + line.size(), value);
    if (error != std::errc() || next == line.data() + digits) {
      return std::nullopt;
    }
    return value;
  }
  return std::nullopt;
}

// Calls `visit` with the /proc folder of each thread the process has now whose name starts with
// `namePrefix` (every thread if empty). A thread that ends meanwhile adds nothing to what
// `visit` reads. False if the process's threads cannot be listed (it has ended).
bool ForEachThread(pid_t pid, std::string_view namePrefix,
                   const std::function<void(const std::filesystem::path&)>& visit) {
  std::error_code error;
  std::filesystem::directory_iterator tasks(ProcFolder(pid) / "task", error);
  if (error) {
    return false;
  }
  for (const auto& task : tasks) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    if (name.rfind(namePrefix, 0) == 0) {
      visit(task.path());
    }
  }
  return true;
}

} // namespace

std::optional<ProcessMemory> ParseStatus(std::string_view text) {
  const auto rss = Field(text, "VmRSS:");
  const auto hwm = Field(text, "VmHWM:");
  const auto threads = Field(text, "Threads:");
  if (!rss || !hwm || !threads) {
    return std::nullopt;
  }
  return ProcessMemory{*rss, *hwm, static_cast<int>(*threads)};
}

std::optional<ProcessMemory> ReadMemory(pid_t pid) {
  const auto text = ReadFile(ProcFolder(pid) / "status");
  return text ? ParseStatus(*text) : std::nullopt;
}

std::optional<std::int64_t> ParseStatTicks(std::string_view text) {
  // The command name in parentheses may hold spaces and parentheses itself: the fields are
  // counted from the last ')'. After it come state (field 3) ... utime (14), stime (15).
  const std::size_t close = text.rfind(')');
  if (close == std::string_view::npos) {
    return std::nullopt;
  }
  std::istringstream fields{std::string(text.substr(close + 1))};
  std::string field;
  std::int64_t ticks = 0;
  for (int number = 3; number <= 15; ++number) {
    if (!(fields >> field)) {
      return std::nullopt;
    }
    if (number >= 14) {
      std::int64_t value = 0;
      const auto [next, error] = std::from_chars(field.data(), field.data() + field.size(), value);
      if (error != std::errc() || next != field.data() + field.size()) {
        return std::nullopt;
      }
      ticks += value;
    }
  }
  return ticks;
}

std::optional<std::int64_t> ReadProcessCpuNs(pid_t pid) {
  const auto text = ReadFile(ProcFolder(pid) / "stat");
  const auto ticks = text ? ParseStatTicks(*text) : std::nullopt;
  if (!ticks) {
    return std::nullopt;
  }
  return *ticks * (1'000'000'000 / ::sysconf(_SC_CLK_TCK));
}

std::optional<std::int64_t> ReadThreadsCpuNs(pid_t pid, std::string_view namePrefix) {
  std::int64_t total = 0;
  const bool listed = ForEachThread(pid, namePrefix, [&total](const std::filesystem::path& task) {
    std::int64_t onCpu = 0;
    if (std::ifstream(task / "schedstat") >> onCpu) {
      total += onCpu;
    }
  });
  return listed ? std::optional(total) : std::nullopt;
}

std::optional<ContextSwitches> ParseSwitches(std::string_view text) {
  const auto voluntary = Field(text, "voluntary_ctxt_switches:");
  const auto involuntary = Field(text, "nonvoluntary_ctxt_switches:");
  if (!voluntary || !involuntary) {
    return std::nullopt;
  }
  return ContextSwitches{*voluntary, *involuntary};
}

std::optional<ContextSwitches> ReadThreadsSwitches(pid_t pid, std::string_view namePrefix) {
  ContextSwitches total;
  const bool listed = ForEachThread(pid, namePrefix, [&total](const std::filesystem::path& task) {
    const auto text = ReadFile(task / "status");
    if (const auto switches = text ? ParseSwitches(*text) : std::nullopt) {
      total.voluntary += switches->voluntary;
      total.involuntary += switches->involuntary;
    }
  });
  return listed ? std::optional(total) : std::nullopt;
}

} // namespace bench
