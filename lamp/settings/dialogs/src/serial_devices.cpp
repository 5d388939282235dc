#include "settings_dialogs/serial_devices.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace lamp {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute file, without the line end; empty when unreadable.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) {
    return {};
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
    line.pop_back();
  }
  return line;
}

// "ttyUSB10" sorts after "ttyUSB2".
bool ByNumber(const std::string& a, const std::string& b) {
  const auto digits = [](const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') {
      --i;
    }
    return i;
  };
  const std::size_t da = digits(a);
  const std::size_t db = digits(b);
  if (a.compare(0, da, b, 0, db) != 0 || da == a.size() || db == b.size()) {
    return a < b;
  }
  const std::string na = a.substr(da);
  const std::string nb = b.substr(db);
  return na.size() != nb.size() ? na.size() < nb.size() : na < nb;
}

// The names in `folder` that start with `prefix`, sorted by number.
std::vector<std::string> NamesIn(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.starts_with(prefix)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), ByNumber);
  return names;
}

// Maker and product of the USB device a tty belongs to: the nearest folder above the tty's
// device that names a product.
std::string UsbDescription(const fs::path& sysTty) {
  std::error_code error;
  fs::path device = fs::canonical(sysTty / "device", error);
  if (error) {
    return {};
  }
  for (int level = 0; level < 4 && device.has_relative_path(); ++level) {
    const std::string product = ReadAttribute(device / "product");
    if (!product.empty()) {
      const std::string maker = ReadAttribute(device / "manufacturer");
      return maker.empty() ? product : maker + " " + product;
    }
    device = device.parent_path();
  }
  return {};
}

} // namespace

std::vector<SerialDevice> ListSerialDevices(const fs::path& root) {
  std::vector<SerialDevice> devices;
  const fs::path dev = root / "dev";
  const fs::path sysTty = root / "sys/class/tty";
  const fs::path shown = "/dev";

  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const std::string& name : NamesIn(dev, prefix)) {
      devices.push_back({(shown / name).string(), UsbDescription(sysTty / name)});
    }
  }
  for (const std::string& name : NamesIn(dev, "ttyS")) {
    // The kernel makes a node for every possible built-in port; only a port with a UART behind
    // it has a type other than 0.
    const std::string type = ReadAttribute(sysTty / name / "type");
    if (!type.empty() && type != "0") {
      devices.push_back({(shown / name).string(), "built-in serial port"});
    }
  }
  for (const std::string& name : NamesIn(dev / "serial/by-id", "")) {
    std::error_code error;
    const fs::path target = fs::canonical(dev / "serial/by-id" / name, error);
    devices.push_back({(shown / "serial/by-id" / name).string(),
                       error ? std::string() : "link to " + target.filename().string()});
  }
  return devices;
}

} // namespace lamp
