#include "markdown_table.h"

#include <cstdarg>
#include <cstdio>

namespace bench {

namespace {

std::string Line(const std::vector<std::string>& cells, std::size_t count) {
  std::string line = "|";
  for (std::size_t i = 0; i < count; ++i) {
    std::string cell = i < cells.size() ? cells[i] : std::string();
    for (std::size_t at = cell.find('|'); at != std::string::npos; at = cell.find('|', at + 2)) {
      cell.insert(at, 1, '\\');
    }
    line += " " + cell + " |";
  }
  return line + "\n";
}

} // namespace

MarkdownTable::MarkdownTable(std::vector<std::string> header) : header_(std::move(header)) {}

void MarkdownTable::Row(std::vector<std::string> cells) {
  rows_.push_back(std::move(cells));
}

std::string MarkdownTable::Text() const {
  std::string text = Line(header_, header_.size()) + "|";
  for (std::size_t i = 0; i < header_.size(); ++i) {
    text += "---|";
  }
  text += "\n";
  for (const auto& row : rows_) {
    text += Line(row, header_.size());
  }
  return text;
}

std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

} // namespace bench
