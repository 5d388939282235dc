// Pictures of the five settings dialogs, each filled by the simulated controller: opens every
// dialog against velora-sim (in process), applies the replies and saves what the dialog draws as
// <folder>/<name>.png. Usage: settings_dialog_screens <folder>. Runs on any Qt platform
// (offscreen included).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTest>
#include <cstdio>
#include <sim/simulator.h>

#include "dialog_host.h"

namespace {

using lamp::OptionDialog;

// Lets the simulator's replies arrive and applies them until none came for a while.
void Settle(lamp::test::DialogHost& host) {
  for (int quiet = 0; quiet < 4;) {
    QTest::qWait(100);
    quiet = host.ApplyWaiting() == 0 ? quiet + 1 : 0;
  }
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: settings_dialog_screens <folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);

  sim::Simulator simulator(sim::SimulatorOptions{});
  std::string error;
  if (!simulator.Start(&error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }
  lamp::test::DialogHost host(simulator.SlavePath());
  host.resize(200, 100);

  struct Shot {
    OptionDialog which;
    const char* name;
    int autoKind;
  };
  int failures = 0;
  for (const Shot& shot : {Shot{OptionDialog::Machine, "system_setup", 0},
                           Shot{OptionDialog::FanCtrl, "fan_control", 0},
                           Shot{OptionDialog::Automode, "auto_mode_setup_a", 0},
                           Shot{OptionDialog::Automode, "auto_mode_setup_b", 1},
                           Shot{OptionDialog::UserMode, "user_mode_setting", 0},
                           Shot{OptionDialog::Rs232Setup, "serial_port_setup", 0}}) {
    host.State().autoKind = shot.autoKind;
    QWidget* dialog = host.Open(shot.which);
    Settle(host);
    const QString file = folder + QLatin1Char('/') + QLatin1String(shot.name) + ".png";
    if (!dialog->grab().save(file)) {
      std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
      ++failures;
    }
    dialog->close();
    QTest::qWait(50);
  }
  return failures == 0 ? 0 : 1;
}
