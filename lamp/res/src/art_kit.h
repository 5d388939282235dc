#pragma once
// Colours and drawing pieces shared by all generated artwork, so that the panel, the buttons and
// the dialogs look like one machine.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <lamp_res/artwork.h>

namespace lamp_res {

namespace ink {
inline const QColor kGround(254, 254, 254);
inline const QColor kSteel(42, 116, 179);
inline const QColor kSteelDark(28, 62, 96);
inline const QColor kSteelLight(150, 190, 225);
inline const QColor kOrange(248, 168, 97);
inline const QColor kOrangeDeep(226, 120, 40);
inline const QColor kBrown(92, 52, 28);
inline const QColor kRed(214, 40, 32);
inline const QColor kGreen(46, 150, 70);
inline const QColor kGrey(120, 128, 136);
inline const QColor kGreyLight(222, 226, 230);
} // namespace ink

QColor ToColor(Rgb c);

// A transparent ARGB canvas of the given size.
QImage Canvas(int width, int height);

// An opaque image of the panel ground.
QImage PanelCanvas(int width, int height);

// Makes a drawn cell opaque for a strip with a transparent colour: nearly transparent pixels
// become `key`, the others are laid over the panel ground; no drawn pixel keeps the key colour.
QImage Keyed(const QImage& argb, const QColor& key);

// The same picture in greys, lighter, for the resting look of a push button.
QImage Greyed(const QImage& argb);

// The bold sans-serif face of every lettering (DejaVu Sans, installed with the build tools).
QFont Lettering(qreal pixelSize, bool bold = true);

// A light bulb filling `box`: glass, base and, when lit, a glow with rays.
void DrawBulb(QPainter& p, const QRectF& box, const QColor& tone, bool lit);

void SetUpPainter(QPainter& p);

} // namespace lamp_res
