// The settings file on arbitrary contents: LoadSerialSettings reads it, then one key of section
// "SERIAL" is written. Besides the sanitizers' checks:
// - the line attributes hold codes from their fixed sets;
// - the written key reads back as written, and the other keys of the section read as before;
// - the write changes the file within one line at most (or adds lines), never elsewhere.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <comlane/serial_port.h>

#include "lamp_test/attributes_only_port.h"
#include "settings/profile_file.h"
#include "settings/serial_settings.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

constexpr std::array<std::string_view, 6> kKeys = {lamp::kPortKey,    lamp::kBaudRateKey,
                                                   lamp::kDataBitKey, lamp::kParityKey,
                                                   lamp::kStopBitKey, lamp::kFlowKey};
constexpr std::array<std::string_view, 4> kValues = {"/dev/ttyUSB0", "9600", "EVEN", ""};
constexpr std::string_view kAbsent = "\x01";

// The settings file in a fresh folder, in memory where the system offers one (every input writes
// the file twice), removed with the folder when the run ends.
class SettingsFolder {
public:
  SettingsFolder() {
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::is_directory("/dev/shm", error)
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
    std::string pattern = (parent / "lamp-fuzz-XXXXXX").string();
    Check(mkdtemp(pattern.data()) != nullptr);
    folder = pattern;
  }
  ~SettingsFolder() {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }
  SettingsFolder(const SettingsFolder&) = delete;
  SettingsFolder& operator=(const SettingsFolder&) = delete;

  [[nodiscard]] std::filesystem::path File() const { return folder / "lamp.INI"; }

private:
  std::filesystem::path folder;
};

std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::array<std::string, 6> ReadKeys(const lamp::ProfileFile& file) {
  std::array<std::string, 6> values;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    values[i] = file.ReadString(lamp::kSerialSection, kKeys[i], kAbsent);
  }
  return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const SettingsFolder folder;
  const std::filesystem::path path = folder.File();
  if (size == 0) {
    return 0;
  }
  const std::size_t keyIndex = data[0] % kKeys.size();
  const std::string_view value = kValues[(data[0] / kKeys.size()) % kValues.size()];
  const std::string before(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << before;
  const lamp::ProfileFile file(path);

  lamp::test::AttributesOnly port;
  lamp::LoadSerialSettings(port, file);
  Check(port.parity <= comlane::kParitySpace);
  Check(port.stopBits <= comlane::kStopTwo);
  Check(port.flowControl <= 2);
  Check(static_cast<std::int32_t>(port.baudRate) >= 0);

  const std::array<std::string, 6> keysBefore = ReadKeys(file);
  Check(file.WriteString(lamp::kSerialSection, kKeys[keyIndex], value));
  std::array<std::string, 6> keysAfter = ReadKeys(file);
  Check(keysAfter[keyIndex] == value);
  keysAfter[keyIndex] = keysBefore[keyIndex];
  Check(keysAfter == keysBefore);

  // What differs between the old and the new file lies within one line of the old file.
  const std::string after = Contents(path);
  std::size_t prefix = 0;
  while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view oldMiddle =
      std::string_view(before).substr(prefix, before.size() - prefix - suffix);
  Check(oldMiddle.find('\n') == std::string_view::npos);
  return 0;
}
