#pragma once
// SoakOperator: works the real panel the way an operator does through a long shift, on the
// panel's own event loop. Each round it opens "Auto mode setup" from the option menu, picks
// Mode A or Mode B (in turn), waits for the controller's data to fill the dialog, writes it,
// waits until the panel has shown the written table's echoes and closes the dialog; starts AUTO (by
// key or by click), waits until the panel shows the sequence running, and lets it end (or, every
// third round, stops it early); then switches lamps, steps the levels, moves the cursor and
// highlights displays, now and then switches the machine ON/OFF or presses RESET, and leaves the
// panel to its status poll for a moment.
//
// Every wait has a deadline; a wait that runs out is counted as a miss under its step's name and
// the round goes on. GUI thread only.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <string>

namespace lamp {
class CAutomode;
class MainWindow;
} // namespace lamp

namespace soak {

class SoakOperator : public QObject {
public:
  using Clock = std::chrono::steady_clock;

  // Works `window` until `end`; then calls `finished` once, between two steps, with the window
  // still open.
  SoakOperator(lamp::MainWindow& window, Clock::time_point end, std::function<void()> finished);

  void Start();

  [[nodiscard]] int Rounds() const { return rounds_; }
  [[nodiscard]] int SequencesStarted() const { return sequencesStarted_; }
  [[nodiscard]] int SequencesShown() const { return sequencesShown_; }
  // Waits that ran out, by step name.
  [[nodiscard]] const std::map<std::string, int>& Misses() const { return misses_; }

private:
  struct Step {
    std::string what;
    std::function<void()> act;
    // Null: the step simply lasts `limit`. Otherwise it ends as soon as `until` holds, and
    // running out of `limit` first is a miss.
    std::function<bool()> until;
    std::chrono::milliseconds limit;
  };

  void Tick();
  void PlanRound();
  void Then(std::string what, std::function<void()> act, std::function<bool()> until,
            std::chrono::milliseconds limit);
  void Pause(std::chrono::milliseconds time);
  void Key(int key, std::chrono::milliseconds after = std::chrono::milliseconds(300));
  enum class Gesture { Press, Release, Click };
  // The left mouse button on panel button `button` (skipped when the button was not made).
  void Mouse(int button, Gesture gesture,
             std::chrono::milliseconds after = std::chrono::milliseconds(300));

  [[nodiscard]] lamp::CAutomode* AutoDialog() const;
  // The dialog's grid holds the controller's data for the mode it shows.
  [[nodiscard]] bool AutoDialogFilled() const;
  // No reply has waited in the reply ring for a while: the replies asked for have been applied.
  [[nodiscard]] bool RepliesSettled() const;
  [[nodiscard]] bool StatusShows(char mode) const;
  [[nodiscard]] bool StatusHidden() const;

  lamp::MainWindow& window_;
  Clock::time_point end_;
  std::function<void()> finished_;
  QTimer timer_;
  std::deque<Step> steps_;
  bool stepStarted_ = false;
  Clock::time_point stepStart_;
  Clock::time_point lastBusy_;
  bool done_ = false;
  bool inTick_ = false;

  int rounds_ = 0;
  int sequencesStarted_ = 0;
  int sequencesShown_ = 0;
  std::map<std::string, int> misses_;
};

} // namespace soak
