#include "soak_run.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "firmware/hex_writer.h"
#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace soak {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A fast line, so that a thousand runs fit in a sitting, and still a line: pacing, page time.
constexpr unsigned kBaud = 250000;
// Far beyond the longest failing run (identify timeout, three stalled reads); a run still going
// then has hung, which counts against the program.
constexpr auto kRunDeadline = 90s;

pid_t StartFlash(const std::string& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& log) {
  std::vector<std::string> words = {program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  const std::string logPath = log.string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

} // namespace

const char* FaultName(Fault fault) {
  switch (fault) {
  case Fault::None:
    return "none";
  case Fault::Noise:
    return "noise before replies";
  case Fault::DroppedReplies:
    return "dropped replies";
  case Fault::DelayedReplies:
    return "delayed replies";
  case Fault::RefusedBlock:
    return "a refused block";
  case Fault::PulledPlug:
    return "a pulled plug";
  case Fault::Silence:
    return "silence";
  }
  return "?";
}

RunResult Run(std::uint32_t seed, std::uint32_t index, const std::filesystem::path& folder,
              const std::string& flash) {
  std::mt19937 random(seed * 1000003u + index);
  const auto uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  RunResult result;
  result.fault = static_cast<Fault>(uniform(0, kFaultKinds - 1));

  sim::BootloaderSettings device = *sim::BootloaderSettings::ForDevice("ATmega8");
  sim::SimulatorOptions options;
  options.link = folder / "velora";
  options.baud = kBaud;
  options.seed = static_cast<std::uint32_t>(random());
  // When, after the start, a pulled plug or a silence begins, and for how long.
  const auto at = std::chrono::milliseconds(uniform(0, 2500));
  const auto lasting = std::chrono::milliseconds(uniform(100, 3000));
  char detail[96] = "";
  switch (result.fault) {
  case Fault::None:
    break;
  case Fault::Noise:
    options.noise = uniform(2, 30) / 100.0;
    std::snprintf(detail, sizeof detail, "chance %.2f", options.noise);
    break;
  case Fault::DroppedReplies:
    options.drop = uniform(1, 20) / 100.0;
    std::snprintf(detail, sizeof detail, "chance %.2f", options.drop);
    break;
  case Fault::DelayedReplies:
    options.delay = std::chrono::milliseconds(uniform(50, 2500));
    std::snprintf(detail, sizeof detail, "%lld ms", static_cast<long long>(options.delay.count()));
    break;
  case Fault::RefusedBlock:
    device.refuseBlock = static_cast<std::uint32_t>(uniform(0, 40));
    std::snprintf(detail, sizeof detail, "block %u", *device.refuseBlock);
    break;
  case Fault::PulledPlug:
  case Fault::Silence:
    std::snprintf(detail, sizeof detail, "at %lld ms for %lld ms",
                  static_cast<long long>(at.count()), static_cast<long long>(lasting.count()));
    break;
  }
  result.detail = detail;

  // A small image of random bytes that erased memory never holds whole.
  std::vector<std::uint8_t> image(static_cast<std::size_t>(uniform(64, 2048)));
  std::generate(image.begin(), image.end(),
                [&] { return static_cast<std::uint8_t>(uniform(0, 254)); });
  const std::string hex = (folder / "image.hex").string();
  if (!lamp::firmware::SaveHexFile(hex, image.data(), image.size(), 0)) {
    result.detail += " (image not saved)";
    return result;
  }

  sim::Simulator simulator(options);
  const std::shared_ptr<sim::BootloaderMemory> memory = sim::InstallBootloader(simulator, device);
  std::string error;
  if (!simulator.Start(&error)) {
    result.detail += " (simulator: " + error + ")";
    return result;
  }
  const auto start = Clock::now();
  const pid_t pid = StartFlash(flash,
                               {"write", hex, "--port", options.link.string(), "--baud",
                                std::to_string(kBaud), "--timeout", "3"},
                               folder / "flash.log");
  bool faultStarted = false;
  bool faultEnded = false;
  for (;;) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    const auto elapsed = Clock::now() - start;
    if (elapsed >= kRunDeadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      break;
    }
    if (!faultStarted && elapsed >= at) {
      faultStarted = true;
      if (result.fault == Fault::PulledPlug) {
        simulator.PullPlug(lasting);
      } else if (result.fault == Fault::Silence) {
        simulator.SetSilent(true);
      }
    }
    if (faultStarted && !faultEnded && elapsed >= at + lasting) {
      faultEnded = true;
      if (result.fault == Fault::Silence) {
        simulator.SetSilent(false);
      }
    }
    std::this_thread::sleep_for(2ms);
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  simulator.Stop();
  const std::vector<std::uint8_t> flashBytes = memory->Flash();
  result.flashMatches = std::equal(image.begin(), image.end(), flashBytes.begin());
  return result;
}

} // namespace soak
