#pragma once
// Shared by the firmware dialog tests: the push-button library as the program loads it, with the
// shared HEX builders, folders and GUI waits.

#include "lamp_test/frames.h"
#include "lamp_test/gui_wait.h"
#include "lamp_test/hex_folder.h"
#include "lamp_test/hex_text.h"
#include "platform/library_loader.h"

namespace lamp::test {

// The push-button library from the build's program folder; null handle when it is missing.
inline void* KnobletModule() {
  static const LoadedLibrary knoblet = LoadProgramLibrary("libknoblet.so");
  return knoblet.handle;
}

} // namespace lamp::test
