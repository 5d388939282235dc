#pragma once
// Shared by the firmware dialog tests: the push-button library as the program loads it, Intel HEX
// files written into a temporary folder, and waits that process the GUI thread's events until a
// condition holds or a deadline passes.

#include <QApplication>
#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui_calls.h"
#include "platform/library_loader.h"

namespace lamp::test {

using Bytes = std::vector<std::uint8_t>;

// The push-button library from the build's program folder; null handle when it is missing.
inline void* KnobletModule() {
  static const LoadedLibrary knoblet = LoadProgramLibrary("libknoblet.so");
  return knoblet.handle;
}

// Processes events (and calls queued for the GUI thread) until `done()` holds; false when the
// deadline passes first.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds deadline = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ServiceGuiCalls();
  }
  return true;
}

// Intel HEX text for `bytes` from `address` on: data records of 16 bytes, an extended linear
// address record before each 64 KiB above the first, then the end-of-file record; lines end in LF.
inline std::string HexText(std::uint32_t address, const Bytes& bytes) {
  std::string text;
  char line[64];
  const auto record = [&](std::uint8_t type, std::uint32_t at, const std::uint8_t* data,
                          std::size_t count) {
    unsigned sum = unsigned(count) + (at >> 8 & 0xFF) + (at & 0xFF) + type;
    std::snprintf(line, sizeof line, ":%02X%04X%02X", unsigned(count), at & 0xFFFF, type);
    text += line;
    for (std::size_t i = 0; i < count; ++i) {
      std::snprintf(line, sizeof line, "%02X", data[i]);
      text += line;
      sum += data[i];
    }
    std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += line;
  };
  std::uint32_t upper = address >> 16;
  for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
    const std::uint32_t at = address + std::uint32_t(offset);
    if (at >> 16 != upper) {
      upper = at >> 16;
      const std::uint8_t word[2] = {std::uint8_t(upper >> 8), std::uint8_t(upper)};
      record(0x04, 0, word, 2);
    }
    record(0x00, address + std::uint32_t(offset), bytes.data() + offset,
           std::min<std::size_t>(16, bytes.size() - offset));
  }
  record(0x01, 0, nullptr, 0);
  return text;
}

// A temporary folder for HEX files, removed with the object.
class HexFolder {
public:
  HexFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lamp-fwdlg-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  ~HexFolder() { std::filesystem::remove_all(folder_); }
  HexFolder(const HexFolder&) = delete;
  HexFolder& operator=(const HexFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return folder_; }

  // Writes `text` to `name` and returns its path.
  QString Write(const std::string& name, const std::string& text) const {
    const std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return QString::fromStdString(path.string());
  }

private:
  std::filesystem::path folder_;
};

// Bytes 0, 1, 2, ... (mod 251, so that no page repeats another) for `count` bytes.
inline Bytes Pattern(std::size_t count, std::uint8_t seed = 0) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = std::uint8_t((i + seed) % 251);
  }
  return bytes;
}

} // namespace lamp::test
