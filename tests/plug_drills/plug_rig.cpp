#include "plug_rig.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <comlane/serial_port.h>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <knoblet/button_object.h>

#include "controls/text_label.h"
#include "firmware_dialog/bootloader.h"
#include "firmware_dialog/bootloader_menu.h"
#include "lamp_test/operator_input.h"
#include "lamp_test/panel_settings.h"
#include "settings_dialogs/rs232_setup.h"

namespace lamp::test {

namespace {

double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace

double CpuMsOverQuietWindow(std::chrono::milliseconds window) {
  QEventLoop loop;
  QTimer::singleShot(window, &loop, &QEventLoop::quit);
  const double before = ProcessCpuMs();
  loop.exec();
  return ProcessCpuMs() - before;
}

int ComlaneThreadCount() {
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name;
    std::ifstream(task.path() / "comm") >> name;
    count += name.rfind("comlane-", 0) == 0 ? 1 : 0;
  }
  return count;
}

int PtyDescriptorCount() {
  int count = 0;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
    count += target.rfind("/dev/pts/", 0) == 0 || target == "/dev/ptmx" ? 1 : 0;
  }
  return count;
}

bool PlaceLink(const std::filesystem::path& link, const std::string& device) {
  std::filesystem::path fresh = link;
  fresh += ".new";
  std::error_code error;
  std::filesystem::remove(fresh, error);
  std::filesystem::create_symlink(device, fresh, error);
  if (!error) {
    std::filesystem::rename(fresh, link, error);
  }
  return !error;
}

ProgramSetting::ProgramSetting(const std::string& port) {
  if (!test::WritePanelSettings(config_.path(), port)) {
    ADD_FAILURE() << "cannot write the settings file";
  }
}

bool ChooseFromOptionMenu(MainWindow& window, const QString& item) {
  knoblet::ButtonObject* option = window.Button(kOptionButton);
  if (option == nullptr) {
    return false;
  }
  bool chosen = false;
  QTimer watch;
  watch.setInterval(10);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) {
      return;
    }
    watch.stop();
    for (QAction* action : menu->actions()) {
      if (action->text() == item) {
        menu->setActiveAction(action);
        chosen = true;
      }
    }
    QTest::keyClick(menu, chosen ? Qt::Key_Return : Qt::Key_Escape);
  });
  watch.start();
  QTest::mouseClick(option->window, Qt::LeftButton);
  watch.stop();
  return chosen;
}

bool ReopenPortFromSerialSetup(MainWindow& window, const std::string& port) {
  if (!ChooseFromOptionMenu(window, QStringLiteral("Serial port setup"))) {
    return false;
  }
  auto* setup = dynamic_cast<CRs232Setup*>(window.OpenOptionDialog(OptionDialog::Rs232Setup));
  if (setup == nullptr || setup->Text(0) != port) {
    return false;
  }
  const QPointer<QWidget> open(setup);
  QTest::keyClick(setup->List(1), Qt::Key_Down);
  QTest::keyClick(setup->List(1), Qt::Key_Up);
  if (setup->Text(1) != "115200" || !Press(*setup, QStringLiteral("Ok"))) {
    return false;
  }
  return WaitFor([&] { return open.isNull(); });
}

PlugRig::PlugRig() : link_(files_.Path() / "velora"), setting_(link_.string()) {
  sim::SimulatorOptions options;
  options.link = link_;
  options.second = std::chrono::hours(1);
  options.trace = [this](const std::string& line) { Trace(line); };
  simulator_ = std::make_unique<sim::Simulator>(std::move(options));
  memory_ = sim::InstallBootloader(*simulator_, {});
  std::string error;
  if (!simulator_->Start(&error)) {
    ADD_FAILURE() << error;
  }
}

PlugRig::~PlugRig() {
  ClosePanel();
  simulator_.reset();
}

bool PlugRig::StartPanel() {
  window_ = std::make_unique<MainWindow>(PanelSetup{.dialogs = ProgramOptionDialogs()});
  window_->Initialise();
  window_->show();
  traced_.store(window_.get());
  comlane::SerialPort* port = window_->SerialPort();
  return port != nullptr && port->IsOpen() != 0;
}

void PlugRig::ClosePanel() {
  lampMarker_.store(false);
  traced_.store(nullptr);
  if (window_ != nullptr) {
    window_->close();
    window_.reset();
  }
}

std::vector<std::string> PlugRig::Received(std::size_t from) const {
  const std::lock_guard lock(mutex_);
  return {received_.begin() + static_cast<std::ptrdiff_t>(std::min(from, received_.size())),
          received_.end()};
}

void PlugRig::Trace(const std::string& line) {
  if (line.find(" <- ") != std::string::npos) {
    const std::lock_guard lock(mutex_);
    received_.push_back(line);
  }
  if (line.find("<- 5A 06 01 07 01 03") != std::string::npos) {
    ++polls_;
  } else if (line.find("plug pulled") != std::string::npos) {
    ++pulls_;
  } else if (lampMarker_.load() && line.find("<- 5A 08 01 01 00 ") != std::string::npos) {
    // The controller has taken the lamp command and has not replied yet.
    ++lampMarks_;
    if (MainWindow* window = traced_.load()) {
      window->State().lampMask.store(0);
    }
  }
}

bool PlugRig::PullPlug(std::chrono::milliseconds downtime) {
  const int before = Pulls();
  simulator_->PullPlug(downtime);
  return WaitFor([&] { return Pulls() > before; });
}

bool PlugRig::WaitForReplug() {
  return WaitFor([&] {
    return simulator_->Stats().plugIns == static_cast<std::uint64_t>(Pulls()) + 1 &&
           !simulator_->SlavePath().empty();
  });
}

CBootloader* PlugRig::OpenFirmwareDialog(const Bytes& image) {
  if (!ChooseFromOptionMenu(QStringLiteral("Firmware upgrade"))) {
    return nullptr;
  }
  auto* dialog = dynamic_cast<CBootloader*>(window_->OpenOptionDialog(OptionDialog::Bootloader));
  if (dialog == nullptr) {
    return nullptr;
  }
  const QString path = files_.Write("velora.hex", HexText(0, image));
  dialog->SetFileChooser([path](QWidget*, const QString&) { return path; });
  dialog->RunCommand(firmware::kCmdOpenProgramFile);
  return dialog->Image().Loaded(firmware::ImageKind::Program) ? dialog : nullptr;
}

bool PlugRig::EnterBootloader(CBootloader& dialog) {
  dialog.RunCommand(firmware::kCmdJumpBoot);
  return WaitFor([&] { return dialog.Protocol().Ready(); });
}

bool PlugRig::PanelShowsTemperature(int degrees) {
  simulator_->UpdateState([degrees](sim::ControllerState& state) {
    state.temperature = static_cast<std::int16_t>(degrees);
  });
  const QString shown = QStringLiteral("%1\u2103").arg(degrees);
  return WaitFor([&] { return window_->TemperatureLabel()->GetCaption() == shown; });
}

} // namespace lamp::test
