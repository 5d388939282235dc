#pragma once
// Progress of a transfer as velora-flash shows it: on a terminal one bar redrawn in place
// ("writing  [#########...........]  45 %"); otherwise a plain line at every tenth, so that
// logs of a production line stay readable.
//
// Threads: one thread at a time.

#include <cstdint>
#include <cstdio>
#include <string>

namespace flash {

class ProgressOutput {
public:
  ProgressOutput(std::FILE* stream, bool terminal) : out(stream), bar(terminal) {}

  // A new transfer called `label` ("writing", "reading") begins.
  void Begin(std::string label);
  // The transfer is at `position` of 0 to `maximum`.
  void Update(std::int64_t position, std::int64_t maximum);
  // The transfer is over; the bar's line is ended. Idempotent.
  void End();

private:
  std::FILE* out;
  bool bar;
  bool open = false;
  std::string label;
  int shownPercent = -1;
};

} // namespace flash
