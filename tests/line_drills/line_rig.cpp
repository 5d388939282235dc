#include "line_rig.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cstdio>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>
#include <sstream>

#include "platform/notify.h"

namespace lamp::drills {

namespace {

// "   12.345 -> 5A 06 01 07 01 03  (noise)": the arrow, the bytes, and what they were.
struct TraceLine {
  std::string arrow;
  Bytes bytes;
  std::string what;
};

TraceLine Parse(const std::string& line) {
  TraceLine parsed;
  std::istringstream in(line);
  std::string stamp;
  in >> stamp >> parsed.arrow;
  std::string word;
  while (in >> word) {
    if (word.front() == '(') {
      parsed.what = word;
      break;
    }
    if (word.size() != 2) {
      parsed.bytes.clear();
      return parsed; // an event line ("-- plugged in at ...")
    }
    parsed.bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  }
  return parsed;
}

bool IsPoll(const Bytes& frame) {
  return frame.size() > 3 && frame[3] == kStatusPoll;
}

std::vector<Bytes> WithoutPolls(const std::vector<Bytes>& frames, bool withPolls) {
  std::vector<Bytes> kept;
  for (const Bytes& frame : frames) {
    if (withPolls || !IsPoll(frame)) {
      kept.push_back(frame);
    }
  }
  return kept;
}

} // namespace

void ReplyRecorder::SetTemperatureText(const std::string& text) {
  temperatures.push_back(text);
  panel->SetTemperatureText(text);
}

void ReplyRecorder::SetFanText(const std::string& text) {
  fans.push_back(text);
  panel->SetFanText(text);
}

void ReplyRecorder::ShowLevel(int lamp, std::int32_t level) {
  levels.push_back(level);
  panel->ShowLevel(lamp, level);
}

void ReplyRecorder::RefreshLampButtons() {
  if (recordMasks) {
    masks.push_back(machine->lampMask.load());
  }
  panel->RefreshLampButtons();
}

WatchedWindow::WatchedWindow(std::unique_ptr<ReplyRecorder> recorder)
    : MainWindow({.dialogs = ProgramOptionDialogs(),
                  .replies = [watch = recorder.get()](Panel& panel) -> ReplyPanel& {
                    watch->panel = &panel;
                    return *watch;
                  }}),
      recorder_(std::move(recorder)) {
  recorder_->machine = &State();
}

LineRig::LineRig(sim::SimulatorOptions options)
    : link_((std::filesystem::path(folder_.path().toStdString()) / "velora").string()),
      setting_(link_) {
  options.link = link_;
  options.trace = [this](const std::string& line) { Record(line); };
  simulator_ = std::make_unique<sim::Simulator>(std::move(options));
  std::string error;
  if (!simulator_->Start(&error)) {
    ADD_FAILURE() << "simulator: " << error;
  }
}

LineRig::~LineRig() {
  CloseWindow();
  simulator_.reset();
}

void LineRig::StartWindow() {
  window_ = std::make_unique<WatchedWindow>();
  window_->Initialise();
  window_->recordMasks = true;
  window_->show();
}

void LineRig::CloseWindow() {
  if (window_) {
    window_->close();
    window_.reset();
  }
}

void LineRig::Record(const std::string& line) {
  const TraceLine parsed = Parse(line);
  if (parsed.bytes.empty()) {
    return;
  }
  const std::lock_guard lock(mutex_);
  if (parsed.arrow == "<-" && parsed.what.empty()) {
    taken_.push_back(parsed.bytes);
  } else if (parsed.arrow == "->" && parsed.what.empty()) {
    sent_.push_back(parsed.bytes);
  } else if (parsed.arrow == "->" && parsed.what == "(noise)") {
    ++noiseBursts_;
  } else if (parsed.arrow == "->" && parsed.what == "(over-long)") {
    ++overlongFrames_;
  }
}

std::vector<Bytes> LineRig::Taken(bool withPolls) const {
  const std::lock_guard lock(mutex_);
  return WithoutPolls(taken_, withPolls);
}

std::vector<Bytes> LineRig::Sent(bool withPolls) const {
  const std::lock_guard lock(mutex_);
  return WithoutPolls(sent_, withPolls);
}

int LineRig::NoiseBursts() const {
  const std::lock_guard lock(mutex_);
  return noiseBursts_;
}

int LineRig::OverlongFrames() const {
  const std::lock_guard lock(mutex_);
  return overlongFrames_;
}

int LineRig::Polls() const {
  const std::lock_guard lock(mutex_);
  int polls = 0;
  for (const Bytes& frame : taken_) {
    polls += IsPoll(frame) ? 1 : 0;
  }
  return polls;
}

void LineRig::Key(int key) {
  QTest::keyClick(window_.get(), static_cast<Qt::Key>(key));
}

QWidget* LineRig::OpenDialog(OptionDialog which) {
  window_->send(WM_COMMAND, MakeWParam(kFirstOptionCommand + static_cast<unsigned>(which), 0), 0);
  return window_->OpenOptionDialog(which);
}

std::array<std::int32_t, 4> LineRig::PanelLevels() const {
  std::array<std::int32_t, 4> levels{};
  for (int i = 0; i < 4; ++i) {
    levels[static_cast<std::size_t>(i)] = window_->Display(i)->level.load();
  }
  return levels;
}

std::string TemperatureText(int degrees) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", degrees);
  return std::string(text) + "\u2103";
}

} // namespace lamp::drills
