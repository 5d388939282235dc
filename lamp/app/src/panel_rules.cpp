#include "app/panel_rules.h"

#include <Qt>

#include "link/decimal_text.h"

namespace lamp {

namespace {

constexpr int kLastMenuCommand = 20000;

bool LampOn(std::uint8_t lampMask, int lamp) {
  return (lampMask & (1u << lamp)) != 0;
}

// Bits 4-7 of lampMask are set while the displays show their normal colours.
bool Highlighted(std::uint8_t lampMask, int display) {
  return (lampMask & (0x10u << display)) == 0;
}

} // namespace

ButtonAction ActionOfButton(int index) {
  switch (index) {
  case 0:
  case 1:
  case 2:
  case 3:
    return ButtonAction::SwitchLamp;
  case kLeftButton:
  case kRightButton:
    return ButtonAction::MoveCursor;
  case kUpButton:
  case kDownButton:
    return ButtonAction::StepLevels;
  case kAutoButton:
    return ButtonAction::ToggleAuto;
  case kOnOffButton:
    return ButtonAction::ToggleOnOff;
  case kResetButton:
    return ButtonAction::Reset;
  case kOptionButton:
    return ButtonAction::ShowOptionMenu;
  default:
    return ButtonAction::None;
  }
}

LampClick ClickLampButton(MachineState& state, int lamp, std::int32_t buttonState,
                          bool userModeDialogOpen) {
  if (state.syncingButtons.load() || lamp < 0 || lamp >= kLampButtonCount) {
    return {};
  }
  const auto bit = static_cast<std::uint8_t>(1u << lamp);
  if (state.userMode.load() == 0) {
    const std::uint8_t mask = state.lampMask.load();
    state.lampMask.store(buttonState == 1 ? static_cast<std::uint8_t>(mask | bit)
                                          : static_cast<std::uint8_t>(mask & ~bit));
    return {.writeSwitchMask = true, .redrawSelector = false};
  }
  if (userModeDialogOpen) {
    return {.writeSwitchMask = false, .redrawSelector = true};
  }
  // A click on the chosen lamp clears the choice, a click on another chooses it alone.
  state.userLampMask.store((state.userLampMask.load() ^ bit) & bit);
  return {.writeSwitchMask = true, .redrawSelector = true};
}

std::array<bool, kDisplayCount> StepTargets(const MachineState& state) {
  std::array<bool, kDisplayCount> chosen{};
  if (state.userMode.load() != 0) {
    return chosen;
  }
  const std::uint8_t mask = state.lampMask.load();
  const bool noneHighlighted = (mask & 0xF0u) == 0xF0u;
  for (int i = 0; i < kDisplayCount; ++i) {
    chosen[static_cast<std::size_t>(i)] = noneHighlighted ? !LampOn(mask, i) : Highlighted(mask, i);
  }
  return chosen;
}

AutoToggle ToggleAuto(MachineState& state) {
  AutoToggle result;
  if (state.syncingButtons.load()) {
    result.ignored = true;
    return result;
  }
  const std::int32_t running = state.autoRunning.load() != 0 ? 0 : 1;
  state.autoRunning.store(running);
  result.refreshLampButtons = running == 0;
  if (state.autoBActive.load()) {
    std::array<std::int32_t, kDisplayCount> levels{};
    for (std::size_t i = 0; i < levels.size(); ++i) {
      levels[i] = state.savedLevels[i].load();
    }
    result.restoredLevels = levels;
    state.autoBActive.store(false);
  }
  return result;
}

const char* OnOffCaption(std::int32_t buttonState) {
  return buttonState != 0 ? "ON" : "OFF";
}

DisplayClick ClickDisplay(MachineState& state, int display) {
  DisplayClick click;
  if (display < 0 || display >= kDisplayCount || state.userMode.load() != 0) {
    click.ignored = true;
    return click;
  }
  const std::uint8_t mask = state.lampMask.load();
  if (LampOn(mask, display)) {
    return click;
  }
  const auto flipped = static_cast<std::uint8_t>(mask ^ (0x10u << display));
  state.lampMask.store(flipped);
  click.recolour = true;
  click.highlighted = Highlighted(flipped, display);
  return click;
}

bool MayEditLevel(const MachineState& state, int display) {
  return display >= 0 && display < kDisplayCount && state.userMode.load() == 0 &&
         !LampOn(state.lampMask.load(), display);
}

std::optional<std::int32_t> TypedLevel(const std::string& text) {
  const std::int32_t value = DecimalValue(text);
  if (value > kHighestLevel) {
    return std::nullopt;
  }
  return value;
}

KeyAction ActionOfKey(int key) {
  using Kind = KeyAction::Kind;
  switch (key) {
  case Qt::Key_Left:
    return {Kind::PressButton, kLeftButton};
  case Qt::Key_Right:
    return {Kind::PressButton, kRightButton};
  case Qt::Key_Up:
    return {Kind::PressButton, kUpButton};
  case Qt::Key_Down:
    return {Kind::PressButton, kDownButton};
  case Qt::Key_1:
  case Qt::Key_2:
  case Qt::Key_3:
  case Qt::Key_4:
    return {Kind::PressButton, key - Qt::Key_1};
  case Qt::Key_5:
  case Qt::Key_6:
  case Qt::Key_7:
  case Qt::Key_8:
    return {Kind::ClickDisplay, key - Qt::Key_5};
  case Qt::Key_A:
    return {Kind::PressButton, kAutoButton};
  case Qt::Key_P:
    return {Kind::PressButton, kOnOffButton};
  case Qt::Key_O:
    return {Kind::PressButton, kOptionButton};
  case Qt::Key_R:
    return {Kind::ShowResetPress, kResetButton};
  default:
    return {};
  }
}

LampButtonsLook LookOfLampButtons(const MachineState& state) {
  LampButtonsLook look;
  look.userMode = state.userMode.load() != 0;
  const std::uint8_t mask = state.lampMask.load();
  const std::int32_t userMask = state.userLampMask.load();
  // The press that follows flips a two-state button, so a lamp that is on starts at 0.
  for (int n = 0; n < kLampButtonCount; ++n) {
    const bool down = look.userMode ? (userMask & (1 << n)) != 0 : LampOn(mask, n);
    look.buttonState[static_cast<std::size_t>(n)] = down ? 0 : 1;
  }
  if (!look.userMode) {
    std::array<bool, kDisplayCount> highlighted{};
    for (int n = 0; n < kDisplayCount; ++n) {
      highlighted[static_cast<std::size_t>(n)] = Highlighted(mask, n);
    }
    look.highlighted = highlighted;
  }
  return look;
}

std::optional<int> ChosenUserLamp(std::int32_t userLampMask) {
  for (int n = 0; n < kLampButtonCount; ++n) {
    if ((userLampMask & (1 << n)) != 0) {
      return n;
    }
  }
  return std::nullopt;
}

bool PollDue(bool editorOpen, bool lineLost, bool firmwareDialogOpen) {
  return !editorOpen && !lineLost && !firmwareDialogOpen;
}

bool FanTurns(const std::string& fanCaption) {
  return fanCaption == "ON";
}

std::string FanPictureFile(int frame) {
  return "img_fan" + std::to_string(frame + 1) + ".bmp";
}

int NextFanFrame(int frame) {
  return (frame + 1) % 4;
}

const std::array<OptionMenuItem, kOptionDialogCount>& OptionMenuItems() {
  static const std::array<OptionMenuItem, kOptionDialogCount> kItems = {{
      {"Auto mode setup", kFirstOptionCommand + static_cast<int>(OptionDialog::Automode)},
      {"Fan control", kFirstOptionCommand + static_cast<int>(OptionDialog::FanCtrl)},
      {"Serial port setup", kFirstOptionCommand + static_cast<int>(OptionDialog::Rs232Setup)},
      {"System setup", kFirstOptionCommand + static_cast<int>(OptionDialog::Machine)},
      {"Firmware upgrade", kFirstOptionCommand + static_cast<int>(OptionDialog::Bootloader)},
      {"User Mode Setting", kFirstOptionCommand + static_cast<int>(OptionDialog::UserMode)},
  }};
  return kItems;
}

std::optional<OptionDialog> DialogOfCommand(int command) {
  if (command < kFirstOptionCommand || command > kLastMenuCommand ||
      command - kFirstOptionCommand >= kOptionDialogCount) {
    return std::nullopt;
  }
  return static_cast<OptionDialog>(command - kFirstOptionCommand);
}

} // namespace lamp
