#pragma once
// ControlFactory: how a window makes the outside libraries' controls, the push buttons of Knoblet
// (factory BtnClass) and the numeric displays of Segmenta (factory DigitalCharClass). The program
// loads the two libraries once, at start-up, and hands the same factory to every dialog it opens.
//
// LibraryControls is that factory over the loaded libraries. A library that is not loaded, or
// whose factory function is missing, makes nothing: its Make* returns null, and the caller goes
// without that control.
//
// Threads: the user-interface thread only, as everything that makes a window.

#include "platform/library_loader.h"

namespace knoblet {
class ButtonObject;
}
namespace segmenta {
class DigitDisplay;
}

namespace lamp {

class ControlFactory {
public:
  // A new push button, not yet created as a window (its Create comes next); null when the
  // library cannot make one. The window it is created in owns it.
  [[nodiscard]] virtual knoblet::ButtonObject* MakeButton() = 0;
  // A new numeric display, likewise.
  [[nodiscard]] virtual segmenta::DigitDisplay* MakeDisplay() = 0;

protected:
  ~ControlFactory() = default;
};

class LibraryControls final : public ControlFactory {
public:
  // The libraries as loaded; an empty LoadedLibrary leaves that kind of control out.
  void SetButtonLibrary(const LoadedLibrary& knoblet) { knoblet_ = knoblet; }
  void SetDisplayLibrary(const LoadedLibrary& segmenta) { segmenta_ = segmenta; }

  [[nodiscard]] knoblet::ButtonObject* MakeButton() override;
  [[nodiscard]] segmenta::DigitDisplay* MakeDisplay() override;

private:
  LoadedLibrary knoblet_;
  LoadedLibrary segmenta_;
};

} // namespace lamp
