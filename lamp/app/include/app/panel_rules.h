#pragma once
// The operator rules of the main panel: what a click, a key or a timer tick does to MachineState
// and which controller command it writes. Plain functions over plain state: no widget, no line.
// The panel (panel.h) applies the outcomes to its widgets and sends the commands.
//
// Every command named here is written (direction 0). Functions that change MachineState are for
// the user-interface thread, as every handler of the panel is.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/machine_state.h"
#include "link/panel_host.h"
#include "link/protocol.h"

namespace lamp {

inline constexpr int kDisplayCount = 4;

// A typed level above this is dropped.
inline constexpr std::int32_t kHighestLevel = 1000;
// RESET leaves the panel frozen this long before the state is read back.
inline constexpr int kResetFreezeMs = 1000;
// Period of the fan animation while the fan label reads "ON".
inline constexpr int kFanPeriodMs = 30;
// The user selector is redrawn this long after a click on a lamp button.
inline constexpr int kSelectorDelayMs = 30;

// What a click on panel button `index` (0..11) does.
enum class ButtonAction {
  SwitchLamp,     // 0..3
  MoveCursor,     // left, right
  StepLevels,     // up, down
  ToggleAuto,     // AUTO
  ToggleOnOff,    // ON/OFF
  Reset,          // RESET
  ShowOptionMenu, // OPTION
  None,
};
[[nodiscard]] ButtonAction ActionOfButton(int index);

// A click on lamp button `lamp` whose two-state button now has `buttonState`. Ignored while the
// program itself presses the buttons. Not in user mode the button's state switches the lamp; in
// user mode the click chooses that lamp alone, or clears the choice when it was the chosen one,
// unless the user mode setting dialog is open, and the selector is redrawn either way.
struct LampClick {
  bool writeSwitchMask = false;
  bool redrawSelector = false;
};
[[nodiscard]] LampClick ClickLampButton(MachineState& state, int lamp, std::int32_t buttonState,
                                        bool userModeDialogOpen);

// The displays that Up and Down step: the highlighted ones, or, when none is, those of the lamps
// that are off. None in user mode. Level command 2 is written in every case.
[[nodiscard]] std::array<bool, kDisplayCount> StepTargets(const MachineState& state);

// AUTO: flips `autoRunning`. When the run ends, the lamp buttons are refreshed. Levels saved
// during a Mode B sequence are handed back once (`autoBActive` is cleared). Ignored while the
// program itself presses the buttons; otherwise command 4 is written and the status cleared.
struct AutoToggle {
  bool ignored = false;
  bool refreshLampButtons = false;
  std::optional<std::array<std::int32_t, kDisplayCount>> restoredLevels;
};
[[nodiscard]] AutoToggle ToggleAuto(MachineState& state);

// The caption of the ON/OFF button for its two-state `buttonState` after a click.
[[nodiscard]] const char* OnOffCaption(std::int32_t buttonState);

// A click on display `display` (or keys 5 to 8): ignored in user mode; highlights or unhighlights
// the display only while its lamp is off; writes command 1 whenever not ignored.
struct DisplayClick {
  bool ignored = false;
  bool recolour = false;
  bool highlighted = false;
};
[[nodiscard]] DisplayClick ClickDisplay(MachineState& state, int display);

// A display's level may be typed in place only outside user mode and while its lamp is off.
[[nodiscard]] bool MayEditLevel(const MachineState& state, int display);

// The level that Enter takes from the editor's text: its leading decimal number, or nothing
// when that is above kHighestLevel.
[[nodiscard]] std::optional<std::int32_t> TypedLevel(const std::string& text);

// What a key pressed while the editor is closed does. Letters count in either case.
struct KeyAction {
  enum class Kind { None, PressButton, ClickDisplay, ShowResetPress };
  Kind kind = Kind::None;
  int index = 0;
  friend bool operator==(const KeyAction&, const KeyAction&) = default;
};
// `key` is a Qt::Key code.
[[nodiscard]] KeyAction ActionOfKey(int key);

// How the four lamp buttons and the displays show MachineState: in user mode the buttons show
// USER1..USER4 and the chosen one is up; otherwise a lamp that is on is down and the displays
// show their highlight. `buttonState[n]` is the state to give button n before it is pressed (not
// in user mode) or repainted (user mode); `highlighted` is empty in user mode, whose displays
// keep their colours.
struct LampButtonsLook {
  bool userMode = false;
  std::array<std::int32_t, kLampButtonCount> buttonState{};
  std::optional<std::array<bool, kDisplayCount>> highlighted;
};
[[nodiscard]] LampButtonsLook LookOfLampButtons(const MachineState& state);

// The lamp button the user selector shows pressed: the lowest chosen one, if any.
[[nodiscard]] std::optional<int> ChosenUserLamp(std::int32_t userLampMask);

// The status poll goes out unless the operator is typing a level, the line is lost, or the
// firmware dialog holds the line.
[[nodiscard]] bool PollDue(bool editorOpen, bool lineLost, bool firmwareDialogOpen);
// The fan turns while its label reads exactly "ON".
[[nodiscard]] bool FanTurns(const std::string& fanCaption);
// The picture file of fan frame 0..3, and the frame after it.
[[nodiscard]] std::string FanPictureFile(int frame);
[[nodiscard]] int NextFanFrame(int frame);

// The items of the OPTION menu, in their order, with their menu commands.
struct OptionMenuItem {
  const char* text;
  int command;
};
[[nodiscard]] const std::array<OptionMenuItem, kOptionDialogCount>& OptionMenuItems();
// The dialog that menu command `command` opens; the commands up to 20000 are the menu's, but only
// 10000..10005 open a dialog.
[[nodiscard]] std::optional<OptionDialog> DialogOfCommand(int command);

} // namespace lamp
