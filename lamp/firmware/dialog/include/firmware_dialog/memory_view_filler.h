#pragma once
// The firmware dialog's memory view filler: a worker that puts the rows of the image into the
// memory view after a file is loaded or memory is read, so that a large image never blocks the
// window. The rows are made and put into the view by calls on the GUI thread (which owns the view
// and the image), in batches of 256 rows with a pause of 1 ms before each pass.
//
// Threads: Refresh, Stop and the destructor belong to the GUI thread; Running may be asked from
// any thread. The calls the worker makes carry the window's tag (MessageWindow::life), so that
// closing the window releases a worker waiting on one of them.

#include <atomic>
#include <mutex>
#include <thread>

#include "firmware/firmware_image.h"

namespace lamp::firmware {

class MemoryView;

class MemoryViewFiller {
public:
  // `image` and `view` belong to the window whose calls carry `guiTag`; both outlive the filler.
  MemoryViewFiller(const FirmwareImage& image, MemoryView& view, const void* guiTag);
  // Stops and joins the worker.
  ~MemoryViewFiller();
  MemoryViewFiller(const MemoryViewFiller&) = delete;
  MemoryViewFiller& operator=(const MemoryViewFiller&) = delete;

  // Asks for a pass over the whole image: starts the worker, or, while it runs, makes it do one
  // more pass after the current one. Does nothing once stopped.
  void Refresh();
  // Ends the worker for good and joins it, running the GUI calls it waits for meanwhile.
  void Stop();
  // True while the worker runs.
  [[nodiscard]] bool Running() const;

private:
  void Run();
  void FillPass();

  const FirmwareImage& image_;
  MemoryView& view_;
  const void* guiTag_;

  // `refresh_` asks for (another) pass; `running_` and the thread object are guarded by mutex_.
  std::atomic<bool> refresh_{false};
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  bool running_ = false;
  std::thread worker_;
};

} // namespace lamp::firmware
