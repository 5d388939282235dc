#include "platform/library_loader.h"

#include <QCoreApplication>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace lamp {
namespace {

std::filesystem::path ProgramFolder() {
  if (QCoreApplication::instance() != nullptr) {
    return QCoreApplication::applicationDirPath().toStdString();
  }
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : exe.parent_path();
}

// dlerror's text is per thread but only valid until the next dl call; take it at once.
std::string LoaderError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown loader error";
}

} // namespace

LoadedLibrary LoadProgramLibrary(const std::string& fileName) {
  constexpr int kFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
  LoadedLibrary result;
  if (fileName.empty()) {
    result.error = "empty library name";
    return result;
  }
  if (fileName.find('/') == std::string::npos) {
    const std::filesystem::path folder = ProgramFolder();
    std::error_code error;
    if (!folder.empty() && std::filesystem::exists(folder / fileName, error)) {
      // The copy beside the program is the one meant; if it cannot be loaded, say why rather
      // than silently taking another one from the search path.
      result.handle = dlopen((folder / fileName).c_str(), kFlags);
      if (result.handle == nullptr) {
        result.error = LoaderError();
      }
      return result;
    }
  }
  result.handle = dlopen(fileName.c_str(), kFlags);
  if (result.handle == nullptr) {
    result.error = LoaderError();
  }
  return result;
}

FoundSymbol FindSymbol(const LoadedLibrary& library, const char* name) {
  FoundSymbol result;
  if (!library.handle || name == nullptr) {
    result.error = "no library";
    return result;
  }
  dlerror();
  result.address = dlsym(library.handle, name);
  if (result.address == nullptr) {
    result.error = LoaderError();
  }
  return result;
}

} // namespace lamp
