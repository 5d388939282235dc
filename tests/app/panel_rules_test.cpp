// The panel's operator rules without a window: what clicks, keys and ticks do to the machine
// state and which command they write.
#include <gtest/gtest.h>

#include <Qt>

#include "app/panel_rules.h"

namespace lamp {
namespace {

using Targets = std::array<bool, kDisplayCount>;

TEST(PanelRulesTest, LampButtonSwitchesItsLampOutsideUserMode) {
  MachineState state;
  // LAMP2 clicked while off: the two-state button is now 1.
  EXPECT_TRUE(ClickLampButton(state, 1, 1, false).writeSwitchMask);
  EXPECT_EQ(state.lampMask.load(), 0xF2);
  EXPECT_FALSE(ClickLampButton(state, 1, 0, false).redrawSelector);
  EXPECT_EQ(state.lampMask.load(), 0xF0);

  // The program's own presses are not clicks.
  state.syncingButtons.store(true);
  const LampClick ignored = ClickLampButton(state, 3, 1, false);
  EXPECT_FALSE(ignored.writeSwitchMask || ignored.redrawSelector);
  EXPECT_EQ(state.lampMask.load(), 0xF0);
}

TEST(PanelRulesTest, UserSelectorChoosesOneLampUnlessItsDialogIsOpen) {
  MachineState state;
  state.userMode.store(1);
  state.userLampMask.store(0x1);
  const LampClick third = ClickLampButton(state, 2, 1, false);
  EXPECT_TRUE(third.writeSwitchMask && third.redrawSelector);
  EXPECT_EQ(state.userLampMask.load(), 0x4);
  (void)ClickLampButton(state, 2, 0, false);
  EXPECT_EQ(state.userLampMask.load(), 0);

  // With the user mode setting open the choice stays, yet the selector is redrawn.
  state.userLampMask.store(0x8);
  const LampClick open = ClickLampButton(state, 0, 1, true);
  EXPECT_FALSE(open.writeSwitchMask);
  EXPECT_TRUE(open.redrawSelector);
  EXPECT_EQ(state.userLampMask.load(), 0x8);
  EXPECT_EQ(state.lampMask.load(), 0xF0);

  EXPECT_EQ(ChosenUserLamp(0x0), std::nullopt);
  EXPECT_EQ(ChosenUserLamp(0x4), 2);
  EXPECT_EQ(ChosenUserLamp(0xA), 1);
}

TEST(PanelRulesTest, UpAndDownStepHighlightedDisplaysOrElseThoseOfLampsThatAreOff) {
  struct Case {
    std::uint8_t lampMask;
    std::int32_t userMode;
    Targets chosen;
  };
  for (const Case c : {
           Case{0x50, 0, {false, true, false, true}}, // displays 1 and 3 highlighted
           Case{0xF3, 0, {false, false, true, true}}, // none highlighted, LAMP1 and LAMP2 on
           Case{0x53, 0, {false, true, false, true}}, // highlighting wins over the lamps
           Case{0xF0, 0, {true, true, true, true}},
           Case{0x00, 1, {false, false, false, false}}, // none in user mode
       }) {
    MachineState state;
    state.lampMask.store(c.lampMask);
    state.userMode.store(c.userMode);
    EXPECT_EQ(StepTargets(state), c.chosen) << int(c.lampMask);
  }
}

TEST(PanelRulesTest, DisplayClickHighlightsOnlyWhileItsLampIsOff) {
  MachineState state;
  DisplayClick click = ClickDisplay(state, 2);
  EXPECT_FALSE(click.ignored);
  EXPECT_TRUE(click.recolour && click.highlighted);
  EXPECT_EQ(state.lampMask.load(), 0xB0);
  click = ClickDisplay(state, 2);
  EXPECT_TRUE(click.recolour);
  EXPECT_FALSE(click.highlighted);
  EXPECT_EQ(state.lampMask.load(), 0xF0);

  // Lamp on: nothing changes, but command 1 is still written (not ignored).
  state.lampMask.store(0xF1);
  click = ClickDisplay(state, 0);
  EXPECT_FALSE(click.ignored || click.recolour);
  EXPECT_EQ(state.lampMask.load(), 0xF1);

  state.userMode.store(1);
  EXPECT_TRUE(ClickDisplay(state, 1).ignored);
  EXPECT_EQ(state.lampMask.load(), 0xF1);
  for (int outside : {-1, 4}) {
    state.userMode.store(0);
    EXPECT_TRUE(ClickDisplay(state, outside).ignored);
  }
}

TEST(PanelRulesTest, LevelsAreTypedOnlyForLampsThatAreOffAndAtMostOneThousand) {
  MachineState state;
  state.lampMask.store(0xF2);
  EXPECT_TRUE(MayEditLevel(state, 0));
  EXPECT_FALSE(MayEditLevel(state, 1));
  EXPECT_FALSE(MayEditLevel(state, 4));
  state.userMode.store(1);
  EXPECT_FALSE(MayEditLevel(state, 0));

  EXPECT_EQ(TypedLevel("250"), 250);
  EXPECT_EQ(TypedLevel("1000"), 1000);
  EXPECT_EQ(TypedLevel("1001"), std::nullopt);
  EXPECT_EQ(TypedLevel("9999"), std::nullopt);
  EXPECT_EQ(TypedLevel(""), 0);
}

TEST(PanelRulesTest, AutoFlipsTheRunAndHandsSavedModeBLevelsBackOnce) {
  MachineState state;
  AutoToggle toggle = ToggleAuto(state);
  EXPECT_EQ(state.autoRunning.load(), 1);
  EXPECT_FALSE(toggle.refreshLampButtons);
  EXPECT_FALSE(toggle.restoredLevels);

  state.autoBActive.store(true);
  const std::array<std::int32_t, 4> saved{100, 200, 300, 1000};
  for (std::size_t i = 0; i < saved.size(); ++i) {
    state.savedLevels[i].store(saved[i]);
  }
  toggle = ToggleAuto(state);
  EXPECT_EQ(state.autoRunning.load(), 0);
  EXPECT_TRUE(toggle.refreshLampButtons);
  ASSERT_TRUE(toggle.restoredLevels);
  EXPECT_EQ(*toggle.restoredLevels, saved);
  EXPECT_FALSE(state.autoBActive.load());
  EXPECT_FALSE(ToggleAuto(state).restoredLevels);

  state.syncingButtons.store(true);
  EXPECT_TRUE(ToggleAuto(state).ignored);
  EXPECT_EQ(state.autoRunning.load(), 1);

  EXPECT_STREQ(OnOffCaption(1), "ON");
  EXPECT_STREQ(OnOffCaption(0), "OFF");
}

TEST(PanelRulesTest, LampButtonsShowTheMachineStateOrTheUserChoice) {
  MachineState state;
  state.lampMask.store(0xA5); // lamps 1 and 3 on, displays 0 and 2 highlighted
  LampButtonsLook look = LookOfLampButtons(state);
  EXPECT_FALSE(look.userMode);
  // The press that follows flips each button: lamps that are on end down (1).
  EXPECT_EQ(look.buttonState, (std::array<std::int32_t, 4>{0, 1, 0, 1}));
  ASSERT_TRUE(look.highlighted);
  EXPECT_EQ(*look.highlighted, (Targets{true, false, true, false}));

  state.userMode.store(1);
  state.userLampMask.store(0x2);
  look = LookOfLampButtons(state);
  EXPECT_TRUE(look.userMode);
  EXPECT_EQ(look.buttonState, (std::array<std::int32_t, 4>{1, 0, 1, 1}));
  EXPECT_FALSE(look.highlighted);
}

TEST(PanelRulesTest, KeysActAsTheButtonsAndDisplaysTheyStandFor) {
  using Kind = KeyAction::Kind;
  struct Case {
    int key;
    KeyAction action;
  };
  for (const Case c : {
           Case{Qt::Key_Left, {Kind::PressButton, kLeftButton}},
           Case{Qt::Key_Right, {Kind::PressButton, kRightButton}},
           Case{Qt::Key_Up, {Kind::PressButton, kUpButton}},
           Case{Qt::Key_Down, {Kind::PressButton, kDownButton}},
           Case{Qt::Key_1, {Kind::PressButton, 0}},
           Case{Qt::Key_4, {Kind::PressButton, 3}},
           Case{Qt::Key_5, {Kind::ClickDisplay, 0}},
           Case{Qt::Key_8, {Kind::ClickDisplay, 3}},
           Case{Qt::Key_A, {Kind::PressButton, kAutoButton}},
           Case{Qt::Key_P, {Kind::PressButton, kOnOffButton}},
           Case{Qt::Key_O, {Kind::PressButton, kOptionButton}},
           Case{Qt::Key_R, {Kind::ShowResetPress, kResetButton}},
           Case{Qt::Key_0, {}},
           Case{Qt::Key_9, {}},
           Case{Qt::Key_Escape, {}},
       }) {
    EXPECT_EQ(ActionOfKey(c.key), c.action) << c.key;
  }
  EXPECT_EQ(ActionOfButton(3), ButtonAction::SwitchLamp);
  EXPECT_EQ(ActionOfButton(kRightButton), ButtonAction::MoveCursor);
  EXPECT_EQ(ActionOfButton(kDownButton), ButtonAction::StepLevels);
  EXPECT_EQ(ActionOfButton(kResetButton), ButtonAction::Reset);
  EXPECT_EQ(ActionOfButton(12), ButtonAction::None);
  EXPECT_EQ(ActionOfButton(-1), ButtonAction::None);
}

TEST(PanelRulesTest, PollFanAndOptionMenuFollowThePanel) {
  EXPECT_TRUE(PollDue(false, false, false));
  EXPECT_FALSE(PollDue(true, false, false));
  EXPECT_FALSE(PollDue(false, true, false));
  EXPECT_FALSE(PollDue(false, false, true));

  EXPECT_TRUE(FanTurns("ON"));
  EXPECT_FALSE(FanTurns("OFF"));
  EXPECT_FALSE(FanTurns("ON "));
  EXPECT_EQ(FanPictureFile(0), "img_fan1.bmp");
  EXPECT_EQ(FanPictureFile(3), "img_fan4.bmp");
  EXPECT_EQ(NextFanFrame(2), 3);
  EXPECT_EQ(NextFanFrame(3), 0);

  const char* const texts[] = {"Auto mode setup", "Fan control",      "Serial port setup",
                               "System setup",    "Firmware upgrade", "User Mode Setting"};
  for (int i = 0; i < kOptionDialogCount; ++i) {
    const OptionMenuItem& item = OptionMenuItems()[static_cast<std::size_t>(i)];
    EXPECT_STREQ(item.text, texts[i]);
    EXPECT_EQ(item.command, 10000 + i);
  }
  EXPECT_EQ(DialogOfCommand(10001), OptionDialog::FanCtrl);
  EXPECT_EQ(DialogOfCommand(10004), OptionDialog::Bootloader);
  EXPECT_EQ(DialogOfCommand(10006), std::nullopt);
  EXPECT_EQ(DialogOfCommand(20000), std::nullopt);
  EXPECT_EQ(DialogOfCommand(9999), std::nullopt);
}

} // namespace
} // namespace lamp
