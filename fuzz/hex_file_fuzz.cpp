// LoadHexFile on arbitrary file contents. Besides the sanitizers' checks:
// - reading the file and reading the same text directly give the same result and the same image;
// - the same lines ended by CR LF instead of LF load exactly as they did;
// - behind 64 KiB of records that change nothing, so that the file is read in two pieces cut
//   inside the input, the input loads as it does alone.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "firmware/hex_reader.h"
#include "firmware/image_buffer.h"

namespace {

using namespace lamp::firmware;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool Same(const HexLoadResult& a, const HexLoadResult& b) {
  return a.ok == b.ok && a.byteCount == b.byteCount && a.baseAddress == b.baseAddress;
}

// The file behind LoadHexFile: an in-memory file reached through its /proc path.
class MemoryFile {
public:
  MemoryFile() : fd(memfd_create("hex", 0)) { Check(fd >= 0); }
  ~MemoryFile() { close(fd); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::string Holding(std::string_view content) {
    Check(ftruncate(fd, 0) == 0);
    Check(pwrite(fd, content.data(), content.size(), 0) == static_cast<ssize_t>(content.size()));
    return "/proc/self/fd/" + std::to_string(fd);
  }

private:
  int fd;
};

// Records that set the extended linear address to 0, which reads every later address as it
// stands, `bytes` long in all, ended by LF (16 characters) or CR LF (17).
std::string NeutralRecords(std::size_t bytes) {
  const std::size_t crlfLines = bytes % 16;
  std::string records;
  for (std::size_t i = 0; i < crlfLines; ++i) {
    records += ":020000040000FA\r\n";
  }
  while (records.size() < bytes) {
    records += ":020000040000FA\n";
  }
  return records;
}

constexpr std::size_t kFileChunk = 65536;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;
  static ImageBuffer fromFile;
  static ImageBuffer fromText;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const HexLoadResult loaded = LoadHexFile(file.Holding(text), fromFile);
  HexReader reader;
  const HexLoadResult read = reader.LoadText(text, fromText);
  Check(Same(loaded, read));
  Check(std::memcmp(fromFile.Data(), fromText.Data(), kImageBufferBytes) == 0);

  if (text.find('\r') == std::string_view::npos) {
    std::string windows;
    for (const char c : text) {
      if (c == '\n') {
        windows += '\r';
      }
      windows += c;
    }
    const HexLoadResult crlf = reader.LoadText(windows, fromFile);
    Check(Same(crlf, read));
    Check(std::memcmp(fromFile.Data(), fromText.Data(), kImageBufferBytes) == 0);
  }

  // Every eighth input (it costs a 64 KiB file): the piece boundary falls `cut` bytes into it.
  if (size > 0 && size % 8 == 0) {
    const std::size_t cut = data[0] % (size < 255 ? size + 1 : 256);
    const std::string padded = NeutralRecords(kFileChunk - cut) + std::string(text);
    const HexLoadResult split = LoadHexFile(file.Holding(padded), fromFile);
    Check(Same(split, read));
    Check(std::memcmp(fromFile.Data(), fromText.Data(), kImageBufferBytes) == 0);
  }
  return 0;
}
