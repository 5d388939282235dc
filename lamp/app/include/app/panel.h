#pragma once
// Panel: the controls of the main panel, children of the main window. It makes them (the four
// level displays, the twelve buttons, the labels, pictures and the in-place level editor), lays
// them out with the rules of panel_layout.h, and shows what the operator rules and the replies
// decide. It is the ReplyPanel the reply dispatcher drives and the CommandSource the command
// frames read their levels, digit and ON/OFF state from.
//
// Controls that were not made (a missing display or button library) are skipped by every
// operation; what would be placed relative to them keeps its template position.
//
// Threads: the user-interface thread only.

#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <knoblet/button_object.h>
#include <segmenta/digit_display.h>
#include <string>
#include <vector>

#include "app/option_dialogs.h"
#include "app/panel_layout.h"
#include "app/panel_rules.h"
#include "link/command_source.h"
#include "link/machine_state.h"
#include "link/reply_panel.h"

namespace lamp {

class CImageStatic;
class ControlFactory;
class CMyEdit;
class DialogUnits;
class TextLabel;

class Panel : public ReplyPanel, public CommandSource {
public:
  Panel(QWidget& window, MachineState& state, const OptionDialogs& dialogs);
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // Start-up, in this order. The template's pictures and the editor, at their template
  // positions (dialog units of the window's font).
  void MakeTemplateControls(const DialogUnits& units);
  // Logo, product name and first line.
  void LayoutHeader();
  // The four level displays with their percent signs, the second line and the cursor marker.
  void MakeDisplays(ControlFactory& controls);
  // Lamp, arrow and command buttons; ON is shown pressed.
  void MakeButtons(ControlFactory& controls);
  // Cursor, thermometer and fan pictures, the last two placed under the second line.
  void PlacePictures();
  // Temperature and fan labels beside their pictures, and the level editor's look.
  void MakeLabels();
  void MakeEditor();
  // The automatic-mode status label under the command buttons, hidden.
  void MakeStatusLabel();

  [[nodiscard]] bool HasButton(int index) const;
  [[nodiscard]] bool HasDisplay(int index) const;
  [[nodiscard]] knoblet::ButtonObject* Button(int index) const;
  [[nodiscard]] segmenta::DigitDisplay* Display(int index) const;
  [[nodiscard]] CMyEdit* Editor() const { return editor_; }
  [[nodiscard]] TextLabel* TemperatureLabel() const { return temperatureLabel_; }
  [[nodiscard]] TextLabel* FanLabel() const { return fanLabel_; }
  [[nodiscard]] TextLabel* StatusLabel() const { return statusLabel_; }
  [[nodiscard]] CImageStatic* CursorMarker() const { return cursorMarker_; }
  [[nodiscard]] CImageStatic* FanPicture() const { return fanPicture_; }

  // The member `state` of button `index`; 0 when it was not made.
  [[nodiscard]] std::int32_t ButtonState(int index) const;
  void SetButtonText(int index, const char* caption);
  // Sends message `msg` with zero parameters to button `index`.
  void SendToButton(int index, unsigned msg);
  // RESET shown pressed: focus, mouse move, press, focus loss.
  void ShowResetPress();

  // All four display cursors one digit left (`left`) or right.
  void MoveCursors(bool left);
  // Steps the digit under the cursor of each chosen display up or down.
  void StepDisplays(const std::array<bool, kDisplayCount>& chosen, bool up);
  void SetDisplayColours(int index, bool highlighted);

  // The user selector: all lamp buttons up, then the lowest chosen one down.
  void DrawUserSelector();
  [[nodiscard]] std::string FanCaption() const;
  // Shows the next fan picture.
  void AnimateFan();
  [[nodiscard]] std::string StatusCaption() const;

  // The in-place level editor: opened over display `index` with its text, spaces removed.
  [[nodiscard]] bool EditorOpen() const;
  void OpenLevelEditor(int index);
  [[nodiscard]] std::string EditorText() const;

  // CommandSource.
  [[nodiscard]] std::int32_t Level(int lamp) const override;
  [[nodiscard]] std::int32_t CursorDigit(int lamp) const override;
  [[nodiscard]] std::int32_t OnOffState() const override;
  [[nodiscard]] const DialogData* OpenDialog(SetupDialog which) const override;
  void RefreshLampButtons() override;

  // ReplyPanel.
  void EndLevelEdit() override;
  void ShowLevel(int lamp, std::int32_t level) override;
  void SetCursorDigits(std::int32_t digit) override;
  void PlaceCursorMarker() override;
  void SetTemperatureText(const std::string& text) override;
  void SetFanText(const std::string& text) override;
  void PressButton(int index, std::int32_t state) override;
  void RepaintButton(int index, std::int32_t state) override;
  void SetButtonCaption(int index, const std::string& caption) override;
  void ShowStatusLabel(bool visible) override;
  void SetStatusText(const std::string& text) override;
  [[nodiscard]] ReplyDialog* OpenReplyDialog(SetupDialog which) override;

private:
  TextLabel* MakeLabel(const QString& text);
  [[nodiscard]] PixelRect RectOf(const QWidget* widget) const;
  void MoveTo(QWidget* widget, const PixelRect& rect);
  void SetImage(CImageStatic* picture, const QString& name);
  [[nodiscard]] int Width() const;

  QWidget& window_;
  MachineState& state_;
  const OptionDialogs& dialogs_;

  std::array<segmenta::DigitDisplay*, kDisplayCount> displays_{};
  std::array<knoblet::ButtonObject*, kPanelButtonCount> buttons_{};
  std::vector<QPixmap> lampImages_;
  std::vector<QPixmap> userImages_;

  CImageStatic* firstLine_ = nullptr;
  CImageStatic* secondLine_ = nullptr;
  CImageStatic* logo_ = nullptr;
  CImageStatic* productName_ = nullptr;
  std::array<CImageStatic*, kDisplayCount> percentSigns_{};
  CImageStatic* cursorMarker_ = nullptr;
  CImageStatic* thermometer_ = nullptr;
  CImageStatic* fanPicture_ = nullptr;
  CMyEdit* editor_ = nullptr;
  TextLabel* fanLabel_ = nullptr;
  TextLabel* temperatureLabel_ = nullptr;
  TextLabel* statusLabel_ = nullptr;
  int fanFrame_ = 0;
};

} // namespace lamp
