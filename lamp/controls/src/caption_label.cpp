#include "controls/caption_label.h"

#include "controls/text_label.h"
#include "controls/window_styles.h"

namespace lamp {

TextLabel* MakeCaptionLabel(QWidget& parent, int id, std::uint32_t style, const QString& text,
                            const CaptionLook& look) {
  auto* label = new TextLabel();
  label->Create(QString(), WS_VISIBLE | style, QRect(0, 0, 100, 100), &parent, id);
  label->SetCaption(text)
      .SetEmbossed(true, true)
      .SetEmbossColour(look.emboss)
      .SetTypeface(QStringLiteral("Verdana"), 0)
      .SetPoints(look.points)
      .SetHeavy(true)
      .SetSlanted(look.slanted)
      .SetSeeThrough(true);
  return label;
}

} // namespace lamp
