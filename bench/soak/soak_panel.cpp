// soak_panel: the operator panel's main window, as the program builds it, worked for a long
// stretch against the simulated controller (velora-sim, a separate process whose trace this
// program reads), while its resident memory, threads, file descriptors and CPU time are sampled.
// At the end the panel is closed and the figures and the verdict are printed; the exit code is 0
// when every check passed, 1 when one failed, 2 when the soak could not start.
//
//   soak_panel --trace FILE [--seconds N] [--sample-every S] [--warm-up S] [--rss-bound-kib K]
//
// Memory is judged from the first sample after the warm-up (default 60 s) on, so a run needs
// to last a few minutes to be judged at all.
//
// The panel finds the simulator's port through its settings file (XDG_CONFIG_HOME/lamp.INI) as
// the program does; scripts/run-soak sets everything up.

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/lamp_app.h"
#include "app/main_window.h"
#include "platform/gui_calls.h"
#include "platform/message_box.h"
#include "soak_operator.h"
#include "soak_verdict.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string trace;
  double seconds = 600;
  double sampleEvery = 10;
  double warmUp = 60;
  std::uint64_t rssBoundKiB = 2048;
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    const char* value = argv[i + 1];
    char* end = nullptr;
    const double number = std::strtod(value, &end);
    const bool numeric = end != value && *end == '\0' && number > 0;
    if (name == "--trace") {
      options.trace = value;
    } else if (name == "--seconds" && numeric) {
      options.seconds = number;
    } else if (name == "--sample-every" && numeric) {
      options.sampleEvery = number;
    } else if (name == "--warm-up" && numeric) {
      options.warmUp = number;
    } else if (name == "--rss-bound-kib" && numeric) {
      options.rssBoundKiB = static_cast<std::uint64_t>(number);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !options.trace.empty();
}

// Qt's messages go to the error output as usual, except the offscreen platform's note that it
// cannot raise a window, which comes each time a dialog opens.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (message == QLatin1String("This plugin does not support raise()")) {
    return;
  }
  std::fprintf(stderr, "%s%s\n", type == QtDebugMsg || type == QtInfoMsg ? "" : "qt: ",
               message.toLocal8Bit().constData());
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: soak_panel --trace FILE [--seconds N] [--sample-every S] "
                         "[--warm-up S] [--rss-bound-kib K]\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  qInstallMessageHandler(QuietMessages);
  QApplication application(argc, argv);

  soak::OperatorTally tally;
  static_cast<void>(lamp::SetMessageBoxHook([&tally](const lamp::MessageBoxRequest& request) {
    ++tally.messageBoxes;
    std::fprintf(stderr, "soak: message box: %s\n", request.text.toLocal8Bit().constData());
    return lamp::MessageBoxResult::Ok;
  }));

  const Clock::time_point start = Clock::now();
  soak::SimTraceTally trace(options.trace);
  std::vector<soak::SoakRow> rows;
  bool unreadable = false;
  const auto sample = [&] {
    std::optional<soak::ProcessSample> process = soak::ReadProcessSample(getpid());
    if (!process) {
      unreadable = true;
      return;
    }
    process->elapsedSeconds = Since(start);
    rows.push_back({*process, trace.Update()});
    const soak::SoakRow& row = rows.back();
    std::fprintf(stderr, "soak: %4.0f s  VmRSS %6llu KiB  threads %2d  fds %3d  polls %5llu\n",
                 row.process.elapsedSeconds, static_cast<unsigned long long>(row.process.rssKiB),
                 row.process.threads, row.process.fds,
                 static_cast<unsigned long long>(row.trace.polls));
  };

  Clock::time_point closeRequested;
  int rounds = 0;
  std::map<std::string, int> misses;
  {
    lamp::MainWindow window({.dialogs = lamp::ProgramOptionDialogs()});
    window.Initialise();
    window.show();
    if (!window.DispatcherRunning()) {
      std::fprintf(stderr, "soak: the panel did not open the simulator's port\n");
      window.close();
      return 2;
    }
    sample();
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, sample);
    sampler.start(static_cast<int>(options.sampleEvery * 1000));

    const auto end =
        start + std::chrono::milliseconds(static_cast<long long>(options.seconds * 1000));
    soak::SoakOperator worker(window, end, [&] {
      sampler.stop();
      sample();
      closeRequested = Clock::now();
      window.close();
    });
    worker.Start();
    window.exec();
    rounds = worker.Rounds();
    misses = worker.Misses();
    tally.sequencesStarted = worker.SequencesStarted();
    tally.sequencesShown = worker.SequencesShown();
  }
  tally.closeSeconds = Since(closeRequested);
  lamp::RefuseGuiCalls(true);

  if (unreadable) {
    std::fprintf(stderr, "soak: /proc/%d could not be read\n", static_cast<int>(getpid()));
    return 2;
  }
  soak::SoakLimits limits;
  limits.warmUpSeconds = options.warmUp;
  limits.rssGrowthKiB = options.rssBoundKiB;
  const soak::SoakVerdict verdict = soak::Judge(rows, tally, limits);

  std::printf("%s\n", soak::FormatTable(rows).c_str());
  std::printf("operator rounds: %d; waits that ran out:", rounds);
  if (misses.empty()) {
    std::printf(" none");
  }
  for (const auto& [what, count] : misses) {
    std::printf(" %s (%d)", what.c_str(), count);
  }
  const soak::TraceCounts& totals = trace.Totals();
  std::printf("\nsimulator: %llu noise bursts or over-long frames sent, %llu frames refused\n\n",
              static_cast<unsigned long long>(totals.noise),
              static_cast<unsigned long long>(totals.rejected));
  for (const std::string& finding : verdict.findings) {
    std::printf("%s\n", finding.c_str());
  }
  std::printf("\nsoak: %s\n", verdict.passed ? "PASSED" : "FAILED");
  return verdict.passed ? 0 : 1;
}
