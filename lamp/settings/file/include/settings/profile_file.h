#pragma once
// The program's profile file: an INI text file of sections ("[NAME]") and keys ("KEY=value").
//
// Reading follows the platform's profile functions: section and key names are compared without
// regard to ASCII case, blanks around names and values are dropped, a value enclosed in a pair of
// matching quotes loses them, and the first of several equal sections or keys counts. A file that
// is missing, unreadable or full of garbage reads as having no keys; nothing in it can make the
// reader fail.
//
// Writing one key keeps every other line of the file exactly as it was (comments, other
// sections, blank lines, line ends); the new file replaces the old one in one step, so a failed
// write leaves the old file as it was.
//
// Threads: an object may be used by one thread at a time; the file itself is not locked against
// other programs.

#include <filesystem>
#include <string>
#include <string_view>

namespace lamp {

class ProfileFile {
public:
  explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

  // The program's settings file: "lamp.INI" in $XDG_CONFIG_HOME, or in ~/.config when that
  // variable is unset, empty or not an absolute path; on Windows in the Windows folder.
  [[nodiscard]] static std::filesystem::path DefaultPath();

  [[nodiscard]] const std::filesystem::path& Path() const noexcept { return path_; }

  // The value of `key` in `section`, or `fallback` when the file, the section or the key is
  // missing. A key present with an empty value reads as the empty text.
  [[nodiscard]] std::string ReadString(std::string_view section, std::string_view key,
                                       std::string_view fallback) const;

  // Sets `key` in `section` to `value`, adding the section (at the end of the file) or the key
  // (after the section's last line) when missing, and the file and its folder when missing.
  // Returns false, leaving the file untouched, when it cannot be written or when a name or the
  // value would break the line structure (a line break anywhere, "]" in the section name, "="
  // in the key, an empty name).
  [[nodiscard]] bool WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) const;

private:
  std::filesystem::path path_;
};

} // namespace lamp
