#pragma once
// Where the panel's picture files ("img_logo.bmp", ...) and button strips are found.

#include <QString>

namespace lamp {

// The file to load for the bare file name `name`: the working directory first, then the
// program's installed data folder (../share/lamp beside the program's folder, then the install
// prefix's share/lamp), then the artwork folder of the build tree the program was built in. When
// none has the file, `name` itself, which then simply shows nothing.
[[nodiscard]] QString ImagePath(const QString& name);

} // namespace lamp
