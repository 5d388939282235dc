#pragma once
// Shared by the firmware dialog tests: the push-button library as the program loads it, with the
// shared HEX builders, folders and GUI waits.

#include "controls/control_factory.h"
#include "lamp_test/frames.h"
#include "lamp_test/gui_wait.h"
#include "lamp_test/hex_folder.h"
#include "lamp_test/hex_text.h"
#include "platform/library_loader.h"

namespace lamp::test {

// The buttons of the push-button library from the build's program folder, as the program makes
// them.
inline ControlFactory* Controls() {
  static LibraryControls controls = [] {
    LibraryControls loaded;
    loaded.SetButtonLibrary(LoadProgramLibrary("libknoblet.so"));
    return loaded;
  }();
  return &controls;
}

} // namespace lamp::test
