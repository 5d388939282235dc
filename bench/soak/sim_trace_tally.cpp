#include "sim_trace_tally.h"

#include <array>
#include <utility>

namespace soak {

namespace {

struct Pattern {
  std::string_view text;
  std::uint64_t TraceCounts::*counter;
  // True: the frame starts with `text` and goes on (step number, levels); false: it is `text`.
  bool prefix;
};

constexpr std::array kFrames = {
    Pattern{"<- 5A 06 01 07 01 03", &TraceCounts::polls, false},
    Pattern{"<- 5A 07 01 04 00 01 03", &TraceCounts::autoOn, false},
    Pattern{"<- 5A 07 01 04 00 00 03", &TraceCounts::autoOff, false},
    Pattern{"-> 5A 08 01 0E 00 41 ", &TraceCounts::modeASteps, true},
    Pattern{"-> 5A 10 01 0E 00 42 ", &TraceCounts::modeBSteps, true},
    Pattern{"-> 5A 07 01 0D 00 00 03", &TraceCounts::sequenceEnds, false},
};

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

void CountTraceLine(std::string_view line, TraceCounts& counts) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
    line.remove_suffix(1);
  }
  const std::size_t arrow = line.find_first_of("<-");
  if (arrow == std::string_view::npos) {
    return;
  }
  const std::string_view frame = line.substr(arrow);
  if (frame.rfind("-> ", 0) == 0 &&
      (EndsWith(frame, "(noise)") || EndsWith(frame, "(over-long)"))) {
    ++counts.noise;
    return;
  }
  if (frame.rfind("<- ", 0) == 0 && EndsWith(frame, ")")) {
    ++counts.rejected;
    return;
  }
  for (const Pattern& pattern : kFrames) {
    if (pattern.prefix ? frame.rfind(pattern.text, 0) == 0 : frame == pattern.text) {
      ++(counts.*pattern.counter);
      return;
    }
  }
}

SimTraceTally::SimTraceTally(std::filesystem::path trace) : path_(std::move(trace)) {}

const TraceCounts& SimTraceTally::Update() {
  if (!in_.is_open()) {
    in_.open(path_, std::ios::binary);
    if (!in_.is_open()) {
      return counts_;
    }
  }
  // Reading to the end sets eof; clear it so that text written later is read next time.
  in_.clear();
  char buffer[4096];
  while (in_.read(buffer, sizeof buffer) || in_.gcount() > 0) {
    partial_.append(buffer, static_cast<std::size_t>(in_.gcount()));
    if (in_.eof()) {
      break;
    }
  }
  std::size_t start = 0;
  for (std::size_t end = partial_.find('\n'); end != std::string::npos;
       end = partial_.find('\n', start)) {
    CountTraceLine(std::string_view(partial_).substr(start, end - start), counts_);
    start = end + 1;
  }
  partial_.erase(0, start);
  in_.clear();
  return counts_;
}

} // namespace soak
