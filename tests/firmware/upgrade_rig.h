#pragma once
// A firmware upgrade on a real line, without the window: the bootloader conversation writes
// through Comlane onto a pseudo-terminal whose far end is the simulated controller with its
// bootloader. The thread that calls Run plays the dialog's user-interface thread: it takes the
// chunks Comlane delivers (WM_BOOT_DATA in the program) and ticks timer 10 while it runs.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <comlane/serial_port.h>
#include <wndmsg/messages.h>

#include "firmware/bootloader_protocol.h"
#include "lamp_test/temp_folder.h"
#include "sim/bootloader_device.h"
#include "sim/simulator.h"

namespace lamp::firmware::test {

class UpgradeRig final : public wndmsg::MessageTarget, public BootloaderEvents {
public:
  UpgradeRig(sim::SimulatorOptions options, const sim::BootloaderSettings& device) {
    options.link = folder.Path() / "velora";
    simulator = std::make_unique<sim::Simulator>(std::move(options));
    memory = sim::InstallBootloader(*simulator, device);
  }
  ~UpgradeRig() {
    protocol.Close();
    if (port != nullptr) {
      port->Destroy(1);
    }
    simulator.reset();
  }
  UpgradeRig(const UpgradeRig&) = delete;
  UpgradeRig& operator=(const UpgradeRig&) = delete;

  // Starts the simulator and opens its port through Comlane; false with `error` on failure.
  bool Start(std::string& error) {
    if (!simulator->Start(&error)) {
      return false;
    }
    port = Rs232Class();
    port->portName = (folder.Path() / "velora").string();
    port->baudRate = 115200;
    if (port->Open() == 0) {
      error = "cannot open " + port->portName;
      return false;
    }
    port->SetOwner(this);
    if (port->StartThreads() == 0) {
      error = "cannot start the port's threads";
      return false;
    }
    return true;
  }

  // Plays the user-interface thread until `done()` holds; false if `deadline` passes first.
  template <typename Done>
  bool Run(Done done, std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
      const auto now = std::chrono::steady_clock::now();
      if (now > end) {
        return false;
      }
      if (!timerOn.load()) {
        ticking = false;
      } else if (!ticking) {
        ticking = true;
        nextTick = now + kBlockTimerPeriod;
      } else if (now >= nextTick) {
        nextTick = now + kBlockTimerPeriod;
        protocol.OnTimerTick();
      }
      std::vector<std::uint8_t> chunk;
      {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::milliseconds(5), [&] { return !chunks.empty(); });
        if (chunks.empty()) {
          continue;
        }
        chunk = std::move(chunks.front());
        chunks.pop_front();
      }
      protocol.OnBootData(chunk.data(), chunk.size());
    }
    return true;
  }

  // "Jump Boot Program" with its pause, then waits for the identification.
  bool Enter(std::chrono::milliseconds identifyDeadline = std::chrono::seconds(10)) {
    protocol.BeginEntry();
    const auto resume = std::chrono::steady_clock::now() + kEntryPause;
    (void)Run([&] { return std::chrono::steady_clock::now() >= resume; });
    protocol.FinishEntry();
    return Run([&] { return protocol.Ready(); }, identifyDeadline);
  }

  // MessageTarget: Comlane's receive thread delivers here.
  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam,
                          wndmsg::LParam lParam) noexcept override {
    if (msg == wndmsg::WM_SERIAL_DATA) {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(wParam);
      const std::lock_guard lock(mutex);
      chunks.emplace_back(bytes, bytes + lParam);
      arrived.notify_all();
    }
    return 1;
  }
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

  // BootloaderEvents.
  void TargetChanged(const TargetPanel::Values& values) override { shownDevice = values[0]; }
  void ShowTransfer(bool shown) override { transferShown.store(shown); }
  void SetProgressRange(std::int32_t) override {}
  void SetProgressPosition(std::int32_t) override {}
  void StartBlockTimer() override { timerOn.store(true); }
  void StopBlockTimer() override { timerOn.store(false); }
  void ImageRead() override { reads.fetch_add(1); }

  lamp::test::TempFolder folder;
  std::unique_ptr<sim::Simulator> simulator;
  std::shared_ptr<sim::BootloaderMemory> memory;
  comlane::SerialPort* port = nullptr;
  ImageBuffer buffer;
  FirmwareImage image{buffer};
  SteadyPacer pacer;
  std::string shownDevice;
  std::atomic<bool> transferShown{false};
  std::atomic<int> reads{0};
  BootloaderProtocol protocol{image,
                              [this](const std::uint8_t* bytes, std::int32_t count) {
                                return port != nullptr ? port->Write(bytes, count) : 0;
                              },
                              pacer, *this};

private:
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::vector<std::uint8_t>> chunks;
  std::atomic<bool> timerOn{false};
  // Timer 10 as the user-interface thread runs it.
  bool ticking = false;
  std::chrono::steady_clock::time_point nextTick{};
};

} // namespace lamp::firmware::test
