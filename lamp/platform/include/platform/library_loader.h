#pragma once
// Run-time loading of the program's libraries (Comlane, Knoblet, Segmenta). A library is looked
// up in the program's own folder first, then along the system's search path. Libraries stay
// loaded until the process ends: their widgets and threads may outlive any handle.

#include <string>

namespace lamp {

struct LoadedLibrary {
  void* handle = nullptr; // null when loading failed
  std::string error;      // the loader's text when it failed
  [[nodiscard]] explicit operator bool() const { return handle != nullptr; }
};

struct FoundSymbol {
  void* address = nullptr; // null when the symbol is missing
  std::string error;
  [[nodiscard]] explicit operator bool() const { return address != nullptr; }
};

// Loads `fileName` with all symbols bound at once. A name holding a "/" is used as it stands;
// otherwise the program's folder is tried first (the application's folder, or that of
// /proc/self/exe before the application object exists), then the default search. Any thread.
[[nodiscard]] LoadedLibrary LoadProgramLibrary(const std::string& fileName);

// Looks up `name` in a library that LoadProgramLibrary returned. Any thread.
[[nodiscard]] FoundSymbol FindSymbol(const LoadedLibrary& library, const char* name);

} // namespace lamp
