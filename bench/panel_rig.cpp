#include "panel_rig.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The panel's environment: this process's own, with the offscreen platform and the rig's folders.
std::vector<std::string> PanelEnvironment(const std::filesystem::path& folder) {
  const std::vector<std::string> own = {
      "QT_QPA_PLATFORM=offscreen",
      "XDG_CONFIG_HOME=" + (folder / "config").string(),
      "XDG_RUNTIME_DIR=" + (folder / "runtime").string(),
  };
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('=') + 1);
    bool replaced = false;
    for (const std::string& mine : own) {
      replaced = replaced || mine.rfind(name, 0) == 0;
    }
    if (!replaced) {
      environment.push_back(text);
    }
  }
  environment.insert(environment.end(), own.begin(), own.end());
  return environment;
}

} // namespace

PanelRig::PanelRig(std::filesystem::path lampProgram) : program_(std::move(lampProgram)) {}

PanelRig::~PanelRig() {
  StopPanel();
  simulator_.reset();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool PanelRig::Start(std::string& error) {
  if (pid_ != -1 || simulator_ != nullptr) {
    error = "the rig was started before";
    return false;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "lamp-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    error = "cannot make a temporary folder";
    return false;
  }
  folder_ = pattern;
  const std::filesystem::path link = folder_ / "velora";

  sim::SimulatorOptions options;
  options.link = link;
  options.trace = [this](const std::string& line) { OnTrace(line); };
  simulator_ = std::make_unique<sim::Simulator>(std::move(options));
  if (!simulator_->Start(&error)) {
    return false;
  }

  std::filesystem::create_directory(folder_ / "config");
  std::filesystem::create_directory(folder_ / "runtime");
  std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all);
  std::ofstream(folder_ / "config" / "lamp.INI")
      << "[SERIAL]\nPORT=" << link.string()
      << "\nBAUDRATE=115200\nDATABIT=8\nPARITY=NONE\nSTOPBIT=1\nFLOW=NONE\n";

  const std::vector<std::string> environment = PanelEnvironment(folder_);
  std::vector<char*> envp;
  for (const std::string& entry : environment) {
    envp.push_back(const_cast<char*>(entry.c_str()));
  }
  envp.push_back(nullptr);
  const std::string programText = program_.string();
  const std::string logText = (folder_ / "panel.log").string();
  char* argv[] = {const_cast<char*>(programText.c_str()), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logText.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  spawned_ = Clock::now();
  const int failed = posix_spawn(&pid_, programText.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    pid_ = -1;
    error = "cannot start " + programText + ": " + std::strerror(failed);
    return false;
  }
  return true;
}

std::optional<std::chrono::nanoseconds>
PanelRig::WaitForFirstFrame(std::chrono::milliseconds deadline) {
  const Clock::time_point end = Clock::now() + deadline;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      // Short slices, so that a panel that ended is noticed.
      frameArrived_.wait_for(lock, 50ms, [&] { return firstFrameAt_.has_value(); });
      if (firstFrameAt_) {
        return *firstFrameAt_ - spawned_;
      }
    }
    if (!Running() || Clock::now() >= end) {
      return std::nullopt;
    }
  }
}

std::string PanelRig::FirstFrame() const {
  std::lock_guard lock(mutex_);
  return firstFrame_;
}

bool PanelRig::Running() {
  if (pid_ == -1) {
    return false;
  }
  if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void PanelRig::StopPanel() {
  if (pid_ == -1) {
    return;
  }
  ::kill(pid_, SIGTERM);
  const Clock::time_point end = Clock::now() + 5s;
  while (Running() && Clock::now() < end) {
    std::this_thread::sleep_for(10ms);
  }
  if (pid_ != -1) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

sim::SimulatorStats PanelRig::LineStats() const {
  return simulator_ != nullptr ? simulator_->Stats() : sim::SimulatorStats{};
}

std::string PanelRig::PanelLog() const {
  std::ifstream log(folder_ / "panel.log");
  std::ostringstream text;
  text << log.rdbuf();
  return text.str();
}

void PanelRig::OnTrace(const std::string& line) {
  // Trace lines read "<seconds> <arrow> <hex or event>"; "<-" marks what the simulator received.
  const std::size_t arrow = line.find(" <- ");
  if (arrow == std::string::npos) {
    return;
  }
  const Clock::time_point now = Clock::now();
  std::lock_guard lock(mutex_);
  if (!firstFrameAt_) {
    firstFrameAt_ = now;
    firstFrame_ = line.substr(arrow + 4);
    frameArrived_.notify_all();
  }
}

} // namespace bench
