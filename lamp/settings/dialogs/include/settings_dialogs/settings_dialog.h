#pragma once
// What the five settings dialogs of the option menu share: the window made from its template
// (size in dialog units of Verdana 8 point, tool-window frame, modeless), the keys (Escape closes
// without applying anything, Enter is swallowed), the closing that clears the main window's
// reference, the two backgrounds (plain near-white, or the grey gradient), and the skinned
// buttons made through the push-button library.
//
// A dialog is initialised (its controls made, its first reads sent) when it is first shown.
// A dialog deletes itself once closed (by the close box, Escape or its own buttons). It tells the
// main window that it closed when it closes and again when it is deleted after closing; when the
// main window itself goes with the dialog still open, the dialog calls nothing on it.
//
// GUI thread only.

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

#include "link/panel_host.h"
#include "link/protocol.h"
#include "platform/window.h"
#include "platform/window_handle.h"

namespace knoblet {
class ButtonObject;
}

class QRadioButton;

namespace lamp {

class TextLabel;

class SettingsDialog : public Dialog {
public:
  ~SettingsDialog() override;
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  [[nodiscard]] OptionDialog Which() const { return which_; }

protected:
  enum class Background { Plain, Gradient };

  struct Template {
    QString caption;
    QSize units;              // client size in dialog units
    bool centred = true;      // centred on the screen, else at the owner's client origin
    bool minimiseBox = false; // a minimise box in the caption
  };

  SettingsDialog(PanelHost& host, OptionDialog which, QWidget* parent, const Template& form,
                 Background background);

  [[nodiscard]] PanelHost& Host() const { return host_; }
  // A rectangle of the dialog's template, given in dialog units, in pixels.
  [[nodiscard]] QRect UnitsRect(int x, int y, int width, int height) const;

  // The set-up values all buttons of one kind share.
  struct ButtonLook {
    int points = 16;
    QColor focusColour{0, 250, 180};
    QColor accent{248, 168, 97};
    int accentStrength = 40;
  };

  // A new button from the push-button library, set up as every settings dialog does: Create
  // (caption centred both ways, visible child, `provisional` rectangle, this dialog, `id`),
  // SetIndex, SetPressNotify(0), Prepare, SetCaptionFont, SetIcons, SetBackdrop. Null when the
  // library is not loaded.
  knoblet::ButtonObject* MakeButton(const QString& caption, const QRect& provisional, int id,
                                    int index, const QPixmap& up, const QPixmap& down,
                                    const ButtonLook& look);
  // A caption as the settings dialogs draw them (MakeCaptionLabel): control ID 20000, the SS_*
  // alignment `style`, embossed in RGB(42, 116, 179), heavy Verdana of `points`, upright; moved
  // to `rect`.
  TextLabel* MakeLabel(const QString& caption, std::uint32_t style, int points, const QRect& rect);
  // A radio button of the template, drawn black on white, at `rect` (pixels).
  QRadioButton* MakeRadio(const QString& text, const QRect& rect);
  // The Read (index 0) and Write (index 1) pair, moved to `read` and `write`; icons from the
  // Read/Write strip (image 2i+1 while up, 2i while down). Nothing without the library.
  void MakeReadWriteButtons(const QRect& read, const QRect& write);

  // The dialog's initialisation: makes its controls and sends its first reads. Runs once, when
  // the dialog is first shown, so that the main window already holds its reference and
  // SendCommand finds it open.
  virtual void OnInitDialog() = 0;
  // Runs when a button of this dialog is clicked (WM_BUTTON_CLICKED), with its index.
  virtual void OnButton(int index) = 0;
  // Runs before the dialog closes by Escape, and before it closes by the close box.
  virtual void OnEscape() {}
  virtual void OnCloseBox() {}
  // Closes the dialog without applying anything: clears the main window's reference and deletes
  // the dialog once the current message has been handled.
  void CloseDialog();
  // True once the dialog closed itself, while the main window still handles messages: what a
  // destructor may still tell the main window. False when the dialog goes with the main window.
  [[nodiscard]] bool ClosedWithHostAlive() const;

  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  LResult OnButtonClicked(WParam wParam, LParam lParam);

  PanelHost& host_;
  // The parent's life: a parent that is going away itself is told nothing.
  OwnerLife ownerLife_;
  OptionDialog which_;
  Background background_;
  bool closed_ = false;
  bool initialised_ = false;
};

// The colour of row `y` of the gradient background over a window `height` pixels high, for a
// base colour `base`: each channel 250 - y * (255 - base) / (2 * height), rounded to the nearest
// integer and kept in 8 bits.
[[nodiscard]] QColor GradientRowColour(int y, int height, const QColor& base);

} // namespace lamp
