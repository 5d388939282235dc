#pragma once
// A temporary folder for firmware images, handing back their paths as the dialogs take them.

#include <QString>
#include <string>

#include "lamp_test/temp_folder.h"

namespace lamp::test {

class HexFolder : public TempFolder {
public:
  // Writes `text` to `name` and returns its path.
  QString Write(const std::string& name, const std::string& text) const {
    return QString::fromStdString(TempFolder::Write(name, text).string());
  }
};

} // namespace lamp::test
