// The upgrade soak: velora-flash writes with verify again and again against the simulated
// ATmega8 while the simulator injects one fault per run, chosen at random: noise before its
// replies, dropped or delayed replies (acknowledgements among them), a refused block, a pulled
// plug, silence, or none. After each run the simulated flash is compared with the image.
//
//   upgrade_soak --flash PROGRAM [--runs N] [--jobs N] [--seed N]
//
// Prints a markdown section with the counts of runs, of each fault and of each exit code, and
// the figure that matters: runs whose exit code said success while the flash differs from the
// image. Exits 1 if there was one, or if a run hung; 0 otherwise.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "soak_run.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
  std::mutex mutex;
  std::uint32_t runs = 0;
  std::map<int, std::uint32_t> exitCodes;
  std::uint32_t faults[soak::kFaultKinds] = {};
  std::uint32_t successes[soak::kFaultKinds] = {};
  std::uint32_t falseSuccesses = 0;
  std::uint32_t hung = 0;
  // Failures reported although the flash holds the image (e.g. only the jump went unconfirmed).
  std::uint32_t failedButMatching = 0;
  double longest = 0;
  std::vector<std::string> incidents;
};

const char* CodeMeaning(int code) {
  switch (code) {
  case -1:
    return "hung: killed after the run's deadline";
  case 0:
    return "success";
  case 1:
    return "verify mismatch";
  case 2:
    return "bad file or usage";
  case 3:
    return "device not answering";
  case 4:
    return "serial port missing, busy or lost";
  case 5:
    return "block refused";
  case 130:
    return "interrupted";
  default:
    return "other";
  }
}

} // namespace

int main(int argc, char** argv) {
  std::string flash;
  std::uint32_t runs = 1000;
  unsigned jobs = 4;
  std::uint32_t seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    const char* value = argv[i + 1];
    if (option == "--flash") {
      flash = value;
    } else if (option == "--runs") {
      runs = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (option == "--jobs") {
      jobs = std::max(1u, static_cast<unsigned>(std::strtoul(value, nullptr, 10)));
    } else if (option == "--seed") {
      seed = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    }
  }
  if (flash.empty() || runs == 0) {
    std::fprintf(stderr, "usage: upgrade_soak --flash PROGRAM [--runs N] [--jobs N] [--seed N]\n");
    return 2;
  }

  Tally tally;
  std::atomic<std::uint32_t> next{0};
  const auto started = Clock::now();
  std::vector<std::thread> workers;
  for (unsigned job = 0; job < jobs; ++job) {
    workers.emplace_back([&] {
      std::string pattern =
          (std::filesystem::temp_directory_path() / "upgrade-soak-XXXXXX").string();
      const std::filesystem::path folder = ::mkdtemp(pattern.data());
      for (std::uint32_t index; (index = next.fetch_add(1)) < runs;) {
        const soak::RunResult result = soak::Run(seed, index, folder, flash);
        const int fault = static_cast<int>(result.fault);
        const std::lock_guard lock(tally.mutex);
        ++tally.runs;
        ++tally.faults[fault];
        ++tally.exitCodes[result.exitCode];
        tally.longest = std::max(tally.longest, result.seconds);
        if (result.exitCode == 0) {
          ++tally.successes[fault];
        }
        std::string incident;
        if (result.exitCode == 0 && !result.flashMatches) {
          ++tally.falseSuccesses;
          incident = "FALSE SUCCESS";
        } else if (result.exitCode == -1) {
          ++tally.hung;
          incident = "hung";
        } else if (result.exitCode != 0 && result.flashMatches) {
          ++tally.failedButMatching;
        }
        if (!incident.empty()) {
          char line[256];
          std::snprintf(line, sizeof line, "run %u (seed %u): %s, fault %s %s", index, seed,
                        incident.c_str(), soak::FaultName(result.fault), result.detail.c_str());
          tally.incidents.push_back(line);
          std::fprintf(stderr, "upgrade_soak: %s\n", line);
        }
        if (tally.runs % 50 == 0) {
          std::fprintf(stderr, "upgrade_soak: %u of %u runs, %u false successes\n", tally.runs,
                       runs, tally.falseSuccesses);
        }
      }
      std::filesystem::remove_all(folder);
    });
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  const double minutes = std::chrono::duration<double>(Clock::now() - started).count() / 60;

  std::printf("## Upgrade under faults (`make upgrade-soak`)\n\n");
  std::printf("`velora-flash write` with verify, %u runs (seed %u, %u at a time), each against a "
              "fresh simulated ATmega8 (8 KiB FLASH, 64-byte pages, 4.5 ms page time) paced at "
              "250000 bit/s, with a random image of 64 to 2048 bytes and one fault chosen at "
              "random; after each run the simulated flash is compared with the image. The run "
              "took %.1f minutes; the longest single run %.1f s.\n\n",
              tally.runs, seed, jobs, minutes, tally.longest);
  std::printf("| figure | count |\n|---|---|\n");
  std::printf("| **runs whose exit code said success while the flash differs** | **%u** |\n",
              tally.falseSuccesses);
  std::printf("| runs | %u |\n", tally.runs);
  std::printf("| runs that hung | %u |\n", tally.hung);
  std::printf("| runs that failed although the flash holds the image | %u |\n\n",
              tally.failedButMatching);
  std::printf("| fault injected | runs | of them success |\n|---|---|---|\n");
  for (int fault = 0; fault < soak::kFaultKinds; ++fault) {
    std::printf("| %s | %u | %u |\n", soak::FaultName(static_cast<soak::Fault>(fault)),
                tally.faults[fault], tally.successes[fault]);
  }
  std::printf("\n| exit code | meaning | runs |\n|---|---|---|\n");
  for (const auto& [code, count] : tally.exitCodes) {
    std::printf("| %d | %s | %u |\n", code, CodeMeaning(code), count);
  }
  std::printf("\n");
  for (const std::string& incident : tally.incidents) {
    std::printf("- %s\n", incident.c_str());
  }
  return tally.falseSuccesses == 0 && tally.hung == 0 ? 0 : 1;
}
