#include "settings/profile_file.h"

#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace lamp {

namespace {

constexpr std::string_view kBlanks = " \t\v\f";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

// One line of the file: its text without the line end, and the line end as it was.
struct Line {
  std::string_view text;
  std::string_view end;
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  while (!content.empty()) {
    const std::size_t newline = content.find('\n');
    std::string_view text = content.substr(0, newline);
    std::string_view end;
    if (newline != std::string_view::npos) {
      end = content.substr(newline, 1);
      if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
        end = content.substr(newline - 1, 2);
      }
    } else if (!text.empty() && text.back() == '\r') {
      // A file cut between CR and LF: the CR ends the last line rather than joining its value.
      text.remove_suffix(1);
      end = content.substr(content.size() - 1);
    }
    lines.push_back({text, end});
    content.remove_prefix(newline == std::string_view::npos ? content.size() : newline + 1);
  }
  return lines;
}

// The section name of a "[NAME]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') {
    return std::nullopt;
  }
  const std::size_t close = line.find(']');
  return Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
}

// The key and the value of a "KEY=value" line.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    return std::nullopt;
  }
  return std::pair{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The whole file, or nothing when it is not a readable regular file (a folder or a pipe in its
// place reads as a missing file instead of failing or blocking).
std::optional<std::string> ReadAll(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::string content;
  char buffer[4096];
  try {
    // The stream library reports some read errors (EISDIR, EIO) by throwing.
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      content.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (in.bad()) {
    return std::nullopt;
  }
  return content;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct KeyPlace {
  bool sectionFound = false;
  std::size_t keyLine = 0; // index of the key's line, if found
  bool keyFound = false;
  std::size_t insertAfter = 0; // last non-blank line of the section
  std::optional<std::string_view> value;
};

KeyPlace Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  KeyPlace place;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto name = SectionName(lines[i].text)) {
      if (place.sectionFound) {
        break;
      }
      inSection = SameName(*name, section);
      if (inSection) {
        place.sectionFound = true;
        place.insertAfter = i;
      }
      continue;
    }
    if (!inSection) {
      continue;
    }
    if (!Trim(lines[i].text).empty()) {
      place.insertAfter = i;
    }
    if (const auto kv = KeyValue(lines[i].text);
        kv && !place.keyFound && SameName(kv->first, key)) {
      place.keyFound = true;
      place.keyLine = i;
      place.value = kv->second;
    }
  }
  return place;
}

bool Replace(const std::filesystem::path& path, const std::string& content) {
  std::error_code error;
  std::filesystem::path target = path;
  if (std::filesystem::is_symlink(path, error)) {
    target = std::filesystem::weakly_canonical(path, error);
    if (error) {
      return false;
    }
  }
  if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), error);
    if (error) {
      return false;
    }
  }
  const std::filesystem::path temporary =
      target.string() + ".tmp." + std::to_string(static_cast<long>(getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  const auto oldStatus = std::filesystem::status(target, error);
  if (!error && std::filesystem::exists(oldStatus)) {
    std::filesystem::permissions(temporary, oldStatus.permissions(), error);
  }
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  const std::string content = ReadAll(path_).value_or(std::string());
  // A byte-order mark written by an editor is not part of the first line.
  std::string_view body = content;
  if (body.starts_with(kByteOrderMark)) {
    body.remove_prefix(kByteOrderMark.size());
  }
  const KeyPlace place = Find(SplitLines(body), section, key);
  return std::string(place.value ? Unquoted(*place.value) : fallback);
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) const {
  if (Trim(section).empty() || Trim(key).empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos) {
    return false;
  }
  std::error_code error;
  std::string original;
  if (std::filesystem::exists(path_, error)) {
    std::optional<std::string> content = ReadAll(path_);
    if (!content) {
      return false;
    }
    original = std::move(*content);
  }
  // Lines are located in the text without a byte-order mark, then written back with it.
  const bool bom = std::string_view(original).starts_with(kByteOrderMark);
  const std::string_view body = std::string_view(original).substr(bom ? kByteOrderMark.size() : 0);
  const std::vector<Line> lines = SplitLines(body);
  std::string_view newline = "\n";
  if (!lines.empty() && lines.front().end.ends_with('\n')) {
    newline = lines.front().end;
  }
  const std::string entry = std::string(key) + "=" + std::string(value);
  const KeyPlace place = Find(lines, section, key);

  std::string content(bom ? kByteOrderMark : std::string_view());
  const auto append = [&](const Line& line) {
    content.append(line.text);
    content.append(line.end);
  };
  // A line that had no line end, or only a CR (the file's last), gets one before anything
  // follows it.
  const auto appendClosed = [&](const Line& line) {
    content.append(line.text);
    content.append(line.end.ends_with('\n') ? line.end
                   : line.end.empty()       ? newline
                                            : std::string_view("\r\n"));
  };

  if (place.keyFound) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == place.keyLine) {
        content += entry;
        content.append(lines[i].end);
      } else {
        append(lines[i]);
      }
    }
  } else if (place.sectionFound) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == place.insertAfter) {
        appendClosed(lines[i]);
        content += entry;
        content.append(newline);
      } else {
        append(lines[i]);
      }
    }
  } else {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i + 1 == lines.size()) {
        appendClosed(lines[i]);
      } else {
        append(lines[i]);
      }
    }
    if (!lines.empty()) {
      if (!Trim(lines.back().text).empty()) {
        content.append(newline);
      }
    }
    content += "[" + std::string(section) + "]";
    content.append(newline);
    content += entry;
    content.append(newline);
  }
  return Replace(path_, content);
}

} // namespace lamp
