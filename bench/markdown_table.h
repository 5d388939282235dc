#pragma once
// A table in GitHub's markdown, as the benchmarks print their figures for docs/performance.md.

#include <string>
#include <vector>

namespace bench {

class MarkdownTable {
public:
  explicit MarkdownTable(std::vector<std::string> header);

  // Adds a row; missing cells are left empty, cells beyond the header's count are dropped.
  void Row(std::vector<std::string> cells);

  // The table, one line per row after the header and its rule, each line ending in '\n'. A '|' in
  // a cell is escaped, so that it cannot split the cell.
  [[nodiscard]] std::string Text() const;

private:
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
};

// printf-style formatting into a string, for the cells.
[[nodiscard]] std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace bench
