// CBootloader's memory view filler: a worker that puts the image's rows into the memory view
// through calls on the GUI thread, in batches, so that a large image never blocks the window.
#include <algorithm>
#include <chrono>

#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/memory_view.h"
#include "platform/gui_calls.h"

namespace lamp {
namespace {

// Rows the filler hands to the GUI thread per call, so that a large image never blocks it long.
constexpr std::uint32_t kFillBatchRows = 256;
constexpr std::chrono::milliseconds kFillPause{1};

} // namespace

void CBootloader::RefreshView() {
  viewRefresh.store(true);
  const std::lock_guard lock(fillerMutex_);
  if (fillerRunning_ || viewClosing_.load()) {
    return;
  }
  if (filler_.joinable()) {
    filler_.join(); // a filler that has finished its last pass
  }
  fillerRunning_ = true;
  filler_ = std::thread([this] { RunViewFiller(); });
}

void CBootloader::RunViewFiller() {
  for (;;) {
    {
      // The request is taken at the start of a pass, so a refresh asked for during a pass gets
      // a pass of its own.
      const std::lock_guard lock(fillerMutex_);
      if (viewClosing_.load() || !viewRefresh.exchange(false)) {
        fillerRunning_ = false;
        return;
      }
    }
    std::this_thread::sleep_for(kFillPause);
    FillViewPass();
  }
}

void CBootloader::FillViewPass() {
  // The texts are made and put into the view on the GUI thread, which owns the view and the
  // image; the calls are tagged with the window's life, so closing releases them.
  const void* tag = life().get();
  std::uint32_t rows = 0;
  if (!RunOnGui([&] { rows = image_.ViewRowCount(); }, tag)) {
    return;
  }
  for (std::uint32_t first = 0; first < rows; first += kFillBatchRows) {
    if (viewClosing_.load()) {
      return;
    }
    const std::uint32_t end = std::min(rows, first + kFillBatchRows);
    const bool ran = RunOnGui(
        [&] {
          std::vector<firmware::MemoryViewRow> batch;
          batch.reserve(end - first);
          for (std::uint32_t row = first; row < end; ++row) {
            batch.push_back(image_.ViewRow(row));
          }
          memoryView_->SetRows(first, batch);
        },
        tag);
    if (!ran) {
      return;
    }
  }
  (void)RunOnGui([&] { memoryView_->Truncate(rows); }, tag);
}

} // namespace lamp
