#include "flash/progress_output.h"

#include <algorithm>

namespace flash {
namespace {
constexpr int kBarWidth = 40;
}

void ProgressOutput::Begin(std::string name) {
  End();
  label = std::move(name);
  open = true;
  shownPercent = -1;
}

void ProgressOutput::Update(std::int64_t position, std::int64_t maximum) {
  if (!open || maximum <= 0) {
    return;
  }
  const int percent = static_cast<int>(std::clamp<std::int64_t>(position * 100 / maximum, 0, 100));
  if (percent == shownPercent || (!bar && percent / 10 == shownPercent / 10 && shownPercent >= 0)) {
    return;
  }
  shownPercent = percent;
  if (bar) {
    const int filled = percent * kBarWidth / 100;
    std::fprintf(out, "\r%-8s [%s%s] %3d %%", label.c_str(), std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), percent);
  } else {
    std::fprintf(out, "%s: %d %%\n", label.c_str(), percent / 10 * 10);
  }
  std::fflush(out);
}

void ProgressOutput::End() {
  if (open && bar && shownPercent >= 0) {
    std::fprintf(out, "\n");
    std::fflush(out);
  }
  open = false;
}

} // namespace flash
