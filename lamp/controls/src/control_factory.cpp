#include "controls/control_factory.h"

#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>

namespace lamp {

namespace {

template <typename Fn> Fn Factory(const LoadedLibrary& library, const char* symbol) {
  return reinterpret_cast<Fn>(FindSymbol(library, symbol).address);
}

} // namespace

knoblet::ButtonObject* LibraryControls::MakeButton() {
  const auto make = Factory<knoblet::BtnClassFn>(knoblet_, "BtnClass");
  return make != nullptr ? make() : nullptr;
}

segmenta::DigitDisplay* LibraryControls::MakeDisplay() {
  const auto make = Factory<segmenta::DigitalCharClassFn>(segmenta_, "DigitalCharClass");
  return make != nullptr ? make() : nullptr;
}

} // namespace lamp
