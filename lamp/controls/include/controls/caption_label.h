#pragma once
// The caption label of the program's windows: a TextLabel in heavy Verdana, embossed one pixel
// inward in a colour of its own, and see-through, so that the window's background shows around
// the letters. The panel, the settings dialogs and the firmware dialog make their captions this
// way; what differs between them is the CaptionLook.

#include <QColor>
#include <QString>
#include <cstdint>

class QWidget;

namespace lamp {

class TextLabel;

// The parts of a caption's look that differ between windows.
struct CaptionLook {
  QColor emboss;        // the colour of the inward copy
  int points = 0;       // the size of the heavy Verdana
  bool slanted = false; // italic
};

// A new caption label: a visible child of `parent` with the SS_* alignment `style`, provisional
// rectangle (0, 0, 100, 100) and control ID `id`, showing `text` in `look`. The parent owns it;
// the caller moves it into place.
TextLabel* MakeCaptionLabel(QWidget& parent, int id, std::uint32_t style, const QString& text,
                            const CaptionLook& look);

} // namespace lamp
