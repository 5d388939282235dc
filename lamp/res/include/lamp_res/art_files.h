#pragma once
// Finding the artwork files and cutting the bitmap strips into their cells: the one place that
// the panel, the settings dialogs and the firmware dialog take their pictures from.
//
// Target: `lamp_res` (needs a QGuiApplication for CutStrip, as any QPixmap does). User-interface
// thread only.

#include <QPixmap>
#include <QString>
#include <vector>

#include "lamp_res/artwork.h"

namespace lamp_res {

// The file to load for the bare file name `name`, from the first of these folders that has it:
//   1. the working directory;
//   2. the installed data folder: share/lamp beside the program's folder (../share/lamp), then
//      the install prefix's share/lamp;
//   3. the build's artwork folder: res beside the program (build/bin/res), then the build tree
//      the program was built in.
// When none has it, `name` itself, which then loads as an empty picture.
[[nodiscard]] QString ArtworkPath(const QString& name);
[[nodiscard]] QString ArtworkPath(const char* name);

// The cells of `strip`, left to right, each with the strip's transparent colour masked out. Empty
// when the file cannot be read; a narrower file gives the whole cells it holds.
[[nodiscard]] std::vector<QPixmap> CutStrip(const Strip& strip);

} // namespace lamp_res
