#include "flash/commands.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "firmware/hex_writer.h"
#include "flash/console.h"
#include "flash/progress_output.h"
#include "flash/session.h"
#include "settings/profile_file.h"
#include "settings/serial_settings.h"

namespace flash {
namespace {

using Clock = std::chrono::steady_clock;
using lamp::firmware::ImageKind;

// A read that stalls or brings blocks with wrong checksums is given again this often in all.
constexpr int kReadAttempts = 3;

struct FileImage {
  std::vector<std::uint8_t> bytes;
  std::uint32_t base = 0;
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class Runner {
public:
  Runner(const Options& commandLine, std::FILE* output, std::FILE* errors, bool terminal)
      : options(commandLine), out(output), err(errors), progress(output, terminal),
        kind(commandLine.eeprom ? ImageKind::Data : ImageKind::Program),
        memoryName(commandLine.eeprom ? "EEPROM" : "FLASH") {}

  ExitCode Run();

private:
  template <typename... Args> ExitCode Fail(ExitCode code, const char* format, Args... args) {
    progress.End();
    std::fprintf(err, "velora-flash: ");
    if constexpr (sizeof...(Args) == 0) {
      std::fputs(format, err);
    } else {
      std::fprintf(err, format, args...);
    }
    std::fprintf(err, "\n");
    std::fflush(err);
    return code;
  }
  ExitCode LoadFile(FileImage& file);
  ExitCode OpenPort(Session& session);
  ExitCode EnterBootloader(Session& session);
  ExitCode ReadMemory(Session& session, std::vector<std::uint8_t>& memory);
  ExitCode Compare(const FileImage& file, const std::vector<std::uint8_t>& memory);
  ExitCode WriteFile(Session& session, const FileImage& file);
  // Ends a command that left the device as it was: back to the application unless --no-jump.
  ExitCode Leave(Session& session, ExitCode code);
  [[nodiscard]] std::uint32_t MemoryBytes(const Session& session) const;

  const Options& options;
  std::FILE* out;
  std::FILE* err;
  ProgressOutput progress;
  const ImageKind kind;
  const char* memoryName;
  std::string portName;
};

ExitCode Runner::LoadFile(FileImage& file) {
  if (!std::ifstream(options.file, std::ios::binary)) {
    return Fail(ExitCode::UsageOrBadFile, "%s: cannot open the file", options.file.c_str());
  }
  auto buffer = std::make_unique<lamp::firmware::ImageBuffer>();
  lamp::firmware::FirmwareImage image(*buffer);
  if (!image.OpenFile(kind, options.file)) {
    return Fail(ExitCode::UsageOrBadFile, "%s: not a valid Intel HEX file", options.file.c_str());
  }
  if (image.Size() == 0) {
    return Fail(ExitCode::UsageOrBadFile, "%s: the file holds no data", options.file.c_str());
  }
  file.bytes.assign(buffer->Data(), buffer->Data() + image.Size());
  file.base = image.Base();
  return ExitCode::Success;
}

ExitCode Runner::OpenPort(Session& session) {
  const lamp::ProfileFile profile(lamp::ProfileFile::DefaultPath());
  comlane::SerialPort& port = session.Port();
  lamp::LoadSerialSettings(port, profile);
  if (options.port) {
    port.portName = *options.port;
  }
  if (options.baud) {
    port.baudRate = *options.baud;
  }
  portName = port.portName;
  const char* name = portName.c_str();
  switch (session.Open()) {
  case Session::OpenResult::Opened:
    return ExitCode::Success;
  case Session::OpenResult::Missing:
    return Fail(ExitCode::PortProblem, "serial port %s (%s) not found", name,
                session.DevicePath().c_str());
  case Session::OpenResult::NotAllowed:
    return Fail(ExitCode::PortProblem,
                "serial port %s: permission denied (be a member of the dialout group)", name);
  case Session::OpenResult::Busy:
    return Fail(ExitCode::PortProblem, "serial port %s is busy: another program holds it", name);
  case Session::OpenResult::Refused:
    break;
  }
  return Fail(ExitCode::PortProblem, "serial port %s cannot be opened as a serial line at %u bit/s",
              name, static_cast<unsigned>(port.baudRate));
}

ExitCode Runner::EnterBootloader(Session& session) {
  switch (session.Enter(options.identifyTimeout)) {
  case Session::EnterResult::Identified:
    break;
  case Session::EnterResult::Silent:
    return Fail(ExitCode::DeviceNotAnswering,
                "the device did not answer the identify request within %lld s on %s",
                static_cast<long long>(options.identifyTimeout.count() / 1000), portName.c_str());
  case Session::EnterResult::LineLost:
    return Fail(ExitCode::PortProblem, "the line to %s was lost", portName.c_str());
  case Session::EnterResult::Interrupted:
    return Fail(ExitCode::Interrupted, "interrupted before the device answered");
  }
  const lamp::firmware::DeviceDescriptor& device = session.Device();
  std::fprintf(out,
               "device: %s (signature %04X), FLASH %d KiB in pages of %d bytes, EEPROM %d bytes, "
               "boot section %d\n",
               lamp::firmware::DeviceName(device.signature), device.signature, device.flashKBytes,
               device.pageBytes, device.eepromSize, device.bootSize);
  std::fflush(out);
  return ExitCode::Success;
}

std::uint32_t Runner::MemoryBytes(const Session& session) const {
  const lamp::firmware::DeviceDescriptor& device = session.Device();
  return kind == ImageKind::Program ? static_cast<std::uint32_t>(device.flashKBytes) * 1024
                                    : static_cast<std::uint32_t>(device.eepromSize);
}

ExitCode Runner::ReadMemory(Session& session, std::vector<std::uint8_t>& memory) {
  for (int attempt = 1;; ++attempt) {
    progress.Begin("reading");
    const auto start = Clock::now();
    Session::ReadResult result = session.Read(kind);
    switch (result.end) {
    case Session::ReadEnd::Finished:
      progress.Update(1, 1);
      progress.End();
      std::fprintf(out, "read %zu bytes of %s in %.3f s\n", result.bytes.size(), memoryName,
                   SecondsSince(start));
      std::fflush(out);
      memory = std::move(result.bytes);
      return ExitCode::Success;
    case Session::ReadEnd::LineLost:
      return Fail(ExitCode::PortProblem, "the line to %s was lost during the read",
                  portName.c_str());
    case Session::ReadEnd::Interrupted:
      return Fail(ExitCode::Interrupted, "read interrupted by Ctrl-C");
    case Session::ReadEnd::Stalled:
    case Session::ReadEnd::Damaged:
      break;
    }
    const bool stalled = result.end == Session::ReadEnd::Stalled;
    if (attempt == kReadAttempts) {
      return stalled ? Fail(ExitCode::DeviceNotAnswering,
                            "the device stopped sending its %s within the block time-out, %d "
                            "times",
                            memoryName, kReadAttempts)
                     : Fail(ExitCode::DeviceNotAnswering,
                            "the device's %s blocks kept failing their checksum (%d reads, the "
                            "last at 0x%06X)",
                            memoryName, kReadAttempts, result.address);
    }
    progress.End();
    std::fprintf(out, "read %d of %d failed (%s), reading again\n", attempt, kReadAttempts,
                 stalled ? "no block for a while" : "blocks with a wrong checksum");
    std::fflush(out);
  }
}

ExitCode Runner::Compare(const FileImage& file, const std::vector<std::uint8_t>& memory) {
  std::size_t differing = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < file.bytes.size(); ++i) {
    const std::size_t address = file.base + i;
    if (address >= memory.size() || memory[address] != file.bytes[i]) {
      if (differing++ == 0) {
        first = address;
      }
    }
  }
  if (differing == 0) {
    std::fprintf(out, "verified %zu bytes from 0x%06X: the device holds the file\n",
                 file.bytes.size(), file.base);
    std::fflush(out);
    return ExitCode::Success;
  }
  if (first >= memory.size()) {
    return Fail(ExitCode::VerifyMismatch,
                "mismatch at 0x%06zX: the device's %s ends at 0x%06zX (%zu bytes differ)", first,
                memoryName, memory.size(), differing);
  }
  return Fail(ExitCode::VerifyMismatch,
              "mismatch at 0x%06zX: device 0x%02X, file 0x%02X (%zu of %zu bytes differ)", first,
              memory[first], file.bytes[first - file.base], differing, file.bytes.size());
}

ExitCode Runner::WriteFile(Session& session, const FileImage& file) {
  progress.Begin("writing");
  const auto start = Clock::now();
  const Session::WriteResult result = session.Write(
      kind, file.bytes.data(), static_cast<std::uint32_t>(file.bytes.size()), file.base);
  const unsigned address = result.address;
  switch (result.end) {
  case Session::WriteEnd::Finished:
    progress.Update(1, 1);
    progress.End();
    std::fprintf(out, "wrote %zu bytes of %s from 0x%06X in %.3f s\n", file.bytes.size(),
                 memoryName, file.base, SecondsSince(start));
    std::fflush(out);
    return ExitCode::Success;
  case Session::WriteEnd::NotStarted:
    return Fail(ExitCode::UsageOrBadFile,
                "%s: the image at 0x%06X cannot be written to this device (it must start on a "
                "block boundary and fit the block numbers)",
                options.file.c_str(), file.base);
  case Session::WriteEnd::Refused:
    return Fail(ExitCode::BlockRefused,
                "the device refused the block at 0x%06X (block %d); the write stopped and the "
                "device stays in its bootloader",
                address, result.block);
  case Session::WriteEnd::NoAcknowledgement:
    return Fail(ExitCode::DeviceNotAnswering,
                "no acknowledgement for the block at 0x%06X (block %d); the write stopped and the "
                "device stays in its bootloader",
                address, result.block);
  case Session::WriteEnd::LineLost:
    return Fail(ExitCode::PortProblem,
                "the line to %s was lost during the write, at the block at 0x%06X",
                portName.c_str(), address);
  case Session::WriteEnd::Cancelled:
    return Fail(ExitCode::Interrupted,
                "write cancelled by Ctrl-C after the block at 0x%06X (block %d): FF FF sent, the "
                "device holds part of the image and stays in its bootloader",
                address, result.block);
  }
  return ExitCode::DeviceNotAnswering;
}

ExitCode Runner::Leave(Session& session, ExitCode code) {
  if (options.noJump) {
    return code;
  }
  if (!session.Jump()) {
    const ExitCode failure =
        Fail(ExitCode::DeviceNotAnswering,
             "the device did not confirm the jump to its application; it may still be in its "
             "bootloader");
    return code == ExitCode::Success ? failure : code;
  }
  std::fprintf(out, "device back in its application\n");
  std::fflush(out);
  return code;
}

ExitCode Runner::Run() {
  FileImage file;
  if (options.command == Command::Write || options.command == Command::Verify) {
    if (const ExitCode code = LoadFile(file); code != ExitCode::Success) {
      return code;
    }
  }
  Session session(Interrupted, [this](std::int32_t position, std::int32_t maximum) {
    progress.Update(position, maximum);
  });
  if (const ExitCode code = OpenPort(session); code != ExitCode::Success) {
    return code;
  }
  if (const ExitCode code = EnterBootloader(session); code != ExitCode::Success) {
    return code;
  }
  if (options.command == Command::Write || options.command == Command::Verify) {
    const std::size_t end = file.base + file.bytes.size();
    if (end > MemoryBytes(session)) {
      return Leave(session, Fail(ExitCode::UsageOrBadFile,
                                 "%s reaches to 0x%06zX, beyond the device's %s of %u bytes",
                                 options.file.c_str(), end, memoryName, MemoryBytes(session)));
    }
  }
  std::vector<std::uint8_t> memory;
  switch (options.command) {
  case Command::Identify:
    return Leave(session, ExitCode::Success);
  case Command::Read: {
    if (const ExitCode code = ReadMemory(session, memory); code != ExitCode::Success) {
      return code == ExitCode::Interrupted ? code : Leave(session, code);
    }
    if (!lamp::firmware::SaveHexFile(options.file, memory.data(), memory.size(), 0)) {
      return Leave(session, Fail(ExitCode::UsageOrBadFile, "%s: cannot write the file",
                                 options.file.c_str()));
    }
    std::fprintf(out, "saved %zu bytes of %s to %s\n", memory.size(), memoryName,
                 options.file.c_str());
    return Leave(session, ExitCode::Success);
  }
  case Command::Verify: {
    if (const ExitCode code = ReadMemory(session, memory); code != ExitCode::Success) {
      return code == ExitCode::Interrupted ? code : Leave(session, code);
    }
    return Leave(session, Compare(file, memory));
  }
  case Command::Write:
    break;
  }
  if (const ExitCode code = WriteFile(session, file); code != ExitCode::Success) {
    return code;
  }
  if (const ExitCode code = ReadMemory(session, memory); code != ExitCode::Success) {
    return code;
  }
  if (const ExitCode code = Compare(file, memory); code != ExitCode::Success) {
    std::fprintf(err, "velora-flash: the device stays in its bootloader: write again\n");
    return code;
  }
  return Leave(session, ExitCode::Success);
}

} // namespace

ExitCode RunCommand(const Options& options, std::FILE* out, std::FILE* err, bool terminal) {
  return Runner(options, out, err, terminal).Run();
}

} // namespace flash
