#include "link/reply_applier.h"

#include <cstdio>

#include "link/decimal_text.h"
#include "link/protocol.h"

namespace lamp {

namespace {

const char* const kDegreeCelsius = "\u2103";

// Payload byte k of an entry. Entries are 20 bytes; indices past the end read as 0.
std::uint8_t P(const ReplyRing::Slot& entry, int k) {
  const int offset = kPayloadOffset + k;
  return offset < ReplyRing::kSlotSize ? entry[static_cast<std::size_t>(offset)] : 0;
}

std::int32_t S16(const ReplyRing::Slot& entry, int k) {
  return Signed16(P(entry, k), P(entry, k + 1));
}

std::string Format(const char* format, std::int32_t value) {
  char text[32];
  std::snprintf(text, sizeof text, format, static_cast<int>(value));
  return text;
}

} // namespace

void ReplyApplier::Apply(const ReplyRing::Slot& entry) {
  panel_.EndLevelEdit();
  switch (entry[kCommandOffset]) {
  case command::kLampSwitch:
    if (state_.userMode.load() == 0) {
      state_.lampMask.store(P(entry, 0));
    } else {
      state_.userLampMask.store(P(entry, 0) + 256 * P(entry, 1));
    }
    panel_.RefreshLampButtons();
    break;
  case command::kLampLevels:
    for (int lamp = 0; lamp < 4; ++lamp) {
      panel_.ShowLevel(lamp, S16(entry, 2 * lamp));
    }
    break;
  case command::kCursorDigit:
    panel_.SetCursorDigits(P(entry, 0));
    panel_.PlaceCursorMarker();
    break;
  case command::kStatusPoll:
    panel_.SetTemperatureText(Format("%02d", S16(entry, 0)) + kDegreeCelsius);
    panel_.SetFanText(P(entry, 2) != 0 ? "ON" : "OFF");
    break;
  case command::kAutoKind:
    state_.autoKind.store(P(entry, 0));
    break;
  case command::kFanTemperatures:
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::FanCtrl)) {
      dialog->SetFieldText(0, Format("%02d", P(entry, 0)));
      dialog->SetFieldText(1, Format("%02d", P(entry, 1)));
    }
    break;
  case command::kModeATable:
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::Automode)) {
      for (int row = 0; row < 4; ++row) {
        dialog->SetCellText(row, 1, Format("%d", S16(entry, 2 * row)));
      }
    }
    break;
  case command::kModeBRange:
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::Automode)) {
      dialog->SetFieldText(0, Format("%d", P(entry, 0)));
      dialog->SetFieldText(1, Format("%d", P(entry, 1)));
    }
    break;
  case command::kModeBTable:
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::Automode)) {
      for (int k = 0; k < 5; ++k) {
        dialog->SetCellText(P(entry, 0), k + 1, Format("%d", S16(entry, 1 + 2 * k)));
      }
    }
    break;
  case command::kAutoStopped:
    AutoStopped(entry);
    break;
  case command::kAutoStep:
    AutoRunning(entry);
    break;
  case command::kSystemSetup:
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::Machine)) {
      const int row = P(entry, 0);
      if (row < 4) {
        for (int k = 0; k < 3; ++k) {
          dialog->SetCellText(row, k + 1, Format("%d", S16(entry, 1 + 2 * k)));
        }
      } else {
        dialog->SetCellText(row, 3, Format("%d", S16(entry, 1)));
      }
    }
    break;
  case command::kOnOffKey:
    state_.syncingButtons.store(true);
    if (P(entry, 0) == 0) {
      panel_.SetButtonCaption(kOnOffButton, "OFF");
      panel_.PressButton(kOnOffButton, 1);
    } else {
      panel_.SetButtonCaption(kOnOffButton, "ON");
      panel_.PressButton(kOnOffButton, 0);
    }
    state_.syncingButtons.store(false);
    break;
  case command::kUserMode:
    state_.userMode.store(P(entry, 0));
    break;
  case command::kUserTable:
    state_.userMode.store(P(entry, 0));
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::UserMode)) {
      dialog->CheckRadio(kUserModeDisableRadio, kUserModeEnableRadio,
                         P(entry, 0) != 0 ? kUserModeEnableRadio : kUserModeDisableRadio);
      for (int k = 0; k < 4; ++k) {
        dialog->SetCellText(P(entry, 1), k + 1, Format("%d", S16(entry, 2 + 2 * k)));
      }
    }
    break;
  case command::kSelectedUserRow:
    if (ReplyDialog* dialog = panel_.OpenReplyDialog(SetupDialog::UserMode)) {
      dialog->SetSelectedUser(P(entry, 0));
      for (int k = 0; k < 4; ++k) {
        dialog->SetCellText(P(entry, 0), k + 1, Format("%d", S16(entry, 1 + 2 * k)));
      }
    }
    break;
  default:
    break;
  }
}

void ReplyApplier::SetAutoButton(std::int32_t state) {
  panel_.PressButton(kAutoButton, state);
}

void ReplyApplier::AutoStopped(const ReplyRing::Slot& entry) {
  panel_.ShowStatusLabel(false);
  panel_.SetStatusText("");
  state_.autoRunning.store(P(entry, 0));
  state_.syncingButtons.store(true);
  SetAutoButton(state_.autoRunning.load() == 0 ? 1 : 0);
  if (state_.autoBActive.load()) {
    for (int lamp = 0; lamp < 4; ++lamp) {
      panel_.ShowLevel(lamp, state_.savedLevels[static_cast<std::size_t>(lamp)].load());
    }
    state_.autoBActive.store(false);
  }
  state_.syncingButtons.store(false);
}

void ReplyApplier::AutoRunning(const ReplyRing::Slot& entry) {
  panel_.ShowStatusLabel(true);
  state_.syncingButtons.store(true);
  state_.autoRunning.store(1);
  SetAutoButton(0);
  const std::uint8_t kind = P(entry, 0);
  if (kind == kModeAStep) {
    panel_.SetStatusText("Auto mode [ A ] Running.....");
    for (int lamp = 0; lamp < 4; ++lamp) {
      panel_.PressButton(lamp, 0);
    }
    const int current = P(entry, 1);
    if (current < 4 && (state_.lampMask.load() & (1u << current)) == 0) {
      panel_.PressButton(current, 1);
    }
  } else if (kind == kModeBStep) {
    char text[48];
    std::snprintf(text, sizeof text, "Auto mode [ B ] %02d Running.....", P(entry, 1));
    panel_.SetStatusText(text);
    if (state_.autoBActive.load()) {
      for (int lamp = 0; lamp < 4; ++lamp) {
        panel_.ShowLevel(lamp, S16(entry, 2 + 2 * lamp));
      }
    } else {
      for (int lamp = 0; lamp < 4; ++lamp) {
        state_.savedLevels[static_cast<std::size_t>(lamp)].store(panel_.Level(lamp));
        panel_.RepaintButton(lamp, 0);
      }
      state_.autoBActive.store(true);
    }
  }
  state_.syncingButtons.store(false);
}

} // namespace lamp
