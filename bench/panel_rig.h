#pragma once
// The operator panel as the operator runs it: the program `lamp` of the build as a child process,
// on Qt's offscreen platform, against the simulated controller running in this process.
//
// A temporary folder holds the simulator's link ("velora"), the panel's settings folder (its
// lamp.INI names the link, so the operator's own settings are never touched), its runtime folder
// and panel.log, which takes the panel's output. Everything is removed again by the destructor.
//
// Threads: one thread uses a rig; the simulator's trace arrives on the simulator's loop thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

#include "sim/simulator.h"

namespace bench {

class PanelRig {
public:
  // `lampProgram`: the panel's executable (its libraries are found next to it).
  explicit PanelRig(std::filesystem::path lampProgram);
  // Stops the panel and the simulator and removes the temporary folder.
  ~PanelRig();
  PanelRig(const PanelRig&) = delete;
  PanelRig& operator=(const PanelRig&) = delete;

  // Starts the simulator, writes the settings and spawns the panel; the spawn is the start of
  // WaitForFirstFrame's measure. False with `error` if any of it fails. Once only.
  [[nodiscard]] bool Start(std::string& error);

  // Waits until the simulator has received its first frame from the panel and returns the time
  // from spawning the panel to it. Nothing if the panel ends first or `deadline` passes.
  [[nodiscard]] std::optional<std::chrono::nanoseconds>
  WaitForFirstFrame(std::chrono::milliseconds deadline);

  // The first frame the simulator received, as its trace shows it (hex); empty before it.
  [[nodiscard]] std::string FirstFrame() const;

  // True while the panel runs (a panel that ended is reaped).
  [[nodiscard]] bool Running();

  // Asks the panel to end (SIGTERM), kills it if it has not ended after a few seconds, reaps it.
  void StopPanel();

  // The panel's process id; -1 before Start and after StopPanel.
  [[nodiscard]] pid_t Pid() const { return pid_; }

  // What the simulator counted on the line.
  [[nodiscard]] sim::SimulatorStats LineStats() const;

  // The panel's output so far (for reports of a failure).
  [[nodiscard]] std::string PanelLog() const;

private:
  void OnTrace(const std::string& line);

  const std::filesystem::path program_;
  std::filesystem::path folder_;
  std::unique_ptr<sim::Simulator> simulator_;
  pid_t pid_ = -1;
  std::chrono::steady_clock::time_point spawned_;

  mutable std::mutex mutex_;
  std::condition_variable frameArrived_;
  std::optional<std::chrono::steady_clock::time_point> firstFrameAt_;
  std::string firstFrame_;
};

} // namespace bench
