// velora-sim: the Velora controller on a pseudo-terminal, for running and testing the operator
// program without the machine.
//
//   velora-sim --link /tmp/velora [--trace] [--baud N] [faults...]
//
// Runs until SIGINT or SIGTERM. SIGUSR1 pulls the plug (for --unplug-for), SIGUSR2 presses the
// machine's ON/OFF key.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace {

constexpr const char* kUsage =
    "usage: velora-sim [options]\n"
    "  --help, -h           print this list and exit\n"
    "  --version            print the version and exit\n"
    "  --link PATH          symlink to the simulated port (default /tmp/velora)\n"
    "  --baud N             line rate N bit/s, ten bits a byte, both directions: replies go\n"
    "                       out and the program's bytes are taken no faster (default: unpaced)\n"
    "  --trace              print every frame received (<-) and sent (->) in hex\n"
    "  --noise P            chance per reply of noise bytes before it (0..1)\n"
    "  --overlong P         chance per reply of an over-long frame before it (0..1)\n"
    "  --drop P             chance per reply of dropping it (0..1)\n"
    "  --delay MS           hold every reply back MS milliseconds\n"
    "  --unplug-every MS    pull the plug every MS milliseconds\n"
    "  --unplug-for MS      how long the plug stays out (default 2000)\n"
    "  --second MS          length of a controller second (default 1000)\n"
    "  --seed N             seed of the fault dice (default 1)\n"
    "bootloader (after the entry frame 5A 06 01 90 87 03):\n"
    "  --device NAME        ATmega8, ATmega16, ATmega32, ATmega64 or ATmega128 (default)\n"
    "  --refuse-block N     answer block N of every write (0 = the first) with NAK\n"
    "  --never-ack          never answer write blocks\n"
    "  --bad-read-checksum  send every read block with a wrong checksum\n"
    "  --never-identify     never answer the identify request\n"
    "  --page-time MS       time to program a FLASH page before acknowledging it\n"
    "                       (default 4.5, the ATmega's longest page write; 0 for none)\n";

bool ParseNumber(std::string_view text, double& value) {
  char* end = nullptr;
  const std::string copy(text);
  value = std::strtod(copy.c_str(), &end);
  return !copy.empty() && end != nullptr && *end == '\0' && value >= 0;
}

} // namespace

int main(int argc, char** argv) {
  sim::SimulatorOptions options;
  options.link = "/tmp/velora";
  sim::BootloaderSettings boot;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << "velora-sim " LAMP_VERSION "\n";
      return 0;
    }
    if (arg == "--trace") {
      options.trace = [](const std::string& line) {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
      };
      continue;
    }
    if (arg == "--never-ack" || arg == "--bad-read-checksum" || arg == "--never-identify") {
      (arg == "--never-ack"           ? boot.neverAcknowledge
       : arg == "--bad-read-checksum" ? boot.badReadChecksums
                                      : boot.neverIdentify) = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::cerr << "velora-sim: " << arg << " needs a value\n" << kUsage;
      return 2;
    }
    const std::string_view value = argv[++i];
    if (arg == "--link") {
      options.link = std::string(value);
      continue;
    }
    if (arg == "--device") {
      const auto device = sim::BootloaderSettings::ForDevice(std::string(value));
      if (!device) {
        std::cerr << "velora-sim: unknown device " << value << "\n" << kUsage;
        return 2;
      }
      boot.signature = device->signature;
      boot.flashKBytes = device->flashKBytes;
      boot.bootSize = device->bootSize;
      boot.pageSize = device->pageSize;
      boot.pageBytes = device->pageBytes;
      boot.eepromSize = device->eepromSize;
      continue;
    }
    double number = 0;
    if (!ParseNumber(value, number)) {
      std::cerr << "velora-sim: " << arg << ": not a number: " << value << "\n";
      return 2;
    }
    const auto ms = std::chrono::milliseconds(static_cast<long long>(number));
    if (arg == "--baud") {
      options.baud = static_cast<unsigned>(number);
    } else if (arg == "--noise") {
      options.noise = number;
    } else if (arg == "--overlong") {
      options.overlong = number;
    } else if (arg == "--drop") {
      options.drop = number;
    } else if (arg == "--delay") {
      options.delay = ms;
    } else if (arg == "--unplug-every") {
      options.unplugEvery = ms;
    } else if (arg == "--unplug-for") {
      options.unplugFor = ms;
    } else if (arg == "--second") {
      options.second = ms;
    } else if (arg == "--refuse-block") {
      boot.refuseBlock = static_cast<std::uint32_t>(number);
    } else if (arg == "--page-time") {
      boot.pageTime = std::chrono::microseconds(static_cast<long long>(number * 1000));
    } else if (arg == "--seed") {
      options.seed = static_cast<std::uint32_t>(number);
    } else {
      std::cerr << "velora-sim: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
  }

  // The loop thread inherits this mask, so the signals reach only the sigwait below.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
    sigaddset(&signals, s);
  }
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const std::chrono::milliseconds unplugFor = options.unplugFor;
  const std::string linkPath = options.link.string();
  sim::Simulator simulator(std::move(options));
  static_cast<void>(sim::InstallBootloader(simulator, boot));
  std::string error;
  if (!simulator.Start(&error)) {
    std::cerr << "velora-sim: " << error << "\n";
    return 1;
  }
  std::fprintf(stdout, "velora-sim: controller at %s, link %s\n", simulator.SlavePath().c_str(),
               linkPath.c_str());
  std::fflush(stdout);

  for (;;) {
    int received = 0;
    if (sigwait(&signals, &received) != 0) {
      continue;
    }
    if (received == SIGUSR1) {
      simulator.PullPlug(unplugFor);
    } else if (received == SIGUSR2) {
      simulator.PressOnOffKey();
    } else {
      break;
    }
  }
  simulator.Stop();
  return 0;
}
