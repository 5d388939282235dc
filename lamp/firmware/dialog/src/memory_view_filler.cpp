#include "firmware_dialog/memory_view_filler.h"

#include <algorithm>
#include <chrono>

#include "firmware_dialog/memory_view.h"
#include "platform/gui_calls.h"

namespace lamp::firmware {
namespace {

// Rows the filler hands to the GUI thread per call, so that a large image never blocks it long.
constexpr std::uint32_t kFillBatchRows = 256;
constexpr std::chrono::milliseconds kFillPause{1};

} // namespace

MemoryViewFiller::MemoryViewFiller(const FirmwareImage& image, MemoryView& view, const void* guiTag)
    : image_(image), view_(view), guiTag_(guiTag) {}

MemoryViewFiller::~MemoryViewFiller() {
  Stop();
}

void MemoryViewFiller::Refresh() {
  refresh_.store(true);
  const std::lock_guard lock(mutex_);
  if (running_ || stopping_.load()) {
    return;
  }
  if (worker_.joinable()) {
    worker_.join(); // a filler that has finished its last pass
  }
  running_ = true;
  worker_ = std::thread([this] { Run(); });
}

void MemoryViewFiller::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_.store(true);
    refresh_.store(false);
  }
  // The worker may be waiting for this thread to run one of its calls.
  JoinServicing(worker_);
}

bool MemoryViewFiller::Running() const {
  const std::lock_guard lock(mutex_);
  return running_;
}

void MemoryViewFiller::Run() {
  for (;;) {
    {
      // The request is taken at the start of a pass, so a refresh asked for during a pass gets
      // a pass of its own.
      const std::lock_guard lock(mutex_);
      if (stopping_.load() || !refresh_.exchange(false)) {
        running_ = false;
        return;
      }
    }
    std::this_thread::sleep_for(kFillPause);
    FillPass();
  }
}

void MemoryViewFiller::FillPass() {
  std::uint32_t rows = 0;
  if (!RunOnGui([&] { rows = image_.ViewRowCount(); }, guiTag_)) {
    return;
  }
  for (std::uint32_t first = 0; first < rows; first += kFillBatchRows) {
    if (stopping_.load()) {
      return;
    }
    const std::uint32_t end = std::min(rows, first + kFillBatchRows);
    const bool ran = RunOnGui(
        [&] {
          std::vector<MemoryViewRow> batch;
          batch.reserve(end - first);
          for (std::uint32_t row = first; row < end; ++row) {
            batch.push_back(image_.ViewRow(row));
          }
          view_.SetRows(first, batch);
        },
        guiTag_);
    if (!ran) {
      return;
    }
  }
  (void)RunOnGui([&] { view_.Truncate(rows); }, guiTag_);
}

} // namespace lamp::firmware
