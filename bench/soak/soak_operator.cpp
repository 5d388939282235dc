#include "soak_operator.h"

#include <QAbstractButton>
#include <QRadioButton>
#include <QTest>
#include <utility>

#include "app/main_window.h"
#include "controls/text_label.h"
#include "knoblet/button_object.h"
#include "link/panel_host.h"
#include "link/reply_panel.h"
#include "platform/notify.h"
#include "settings_dialogs/automode.h"

namespace soak {

namespace {

using namespace std::chrono_literals;

constexpr auto kTick = 20ms;
// A reply waits in the ring at most one dispatcher pass (about 100 ms) when nothing queues
// behind it; this much quiet means the replies asked for have all been applied.
constexpr auto kQuiet = 300ms;

QAbstractButton* ButtonCalled(QWidget& dialog, const QString& caption) {
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->text() == caption) {
      return button;
    }
  }
  return nullptr;
}

} // namespace

SoakOperator::SoakOperator(lamp::MainWindow& window, Clock::time_point end,
                           std::function<void()> finished)
    : window_(window), end_(end), finished_(std::move(finished)) {
  timer_.setInterval(kTick);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

void SoakOperator::Start() {
  // The state read-back of start-up is applied first.
  Pause(2s);
  timer_.start();
}

void SoakOperator::Then(std::string what, std::function<void()> act, std::function<bool()> until,
                        std::chrono::milliseconds limit) {
  steps_.push_back({std::move(what), std::move(act), std::move(until), limit});
}

void SoakOperator::Pause(std::chrono::milliseconds time) {
  Then("pause", {}, {}, time);
}

void SoakOperator::Key(int key, std::chrono::milliseconds after) {
  Then(
      "key", [this, key] { QTest::keyClick(&window_, static_cast<Qt::Key>(key)); }, {}, after);
}

void SoakOperator::Mouse(int button, Gesture gesture, std::chrono::milliseconds after) {
  Then(
      "mouse",
      [this, button, gesture] {
        knoblet::ButtonObject* object = window_.Button(button);
        if (object == nullptr) {
          return;
        }
        switch (gesture) {
        case Gesture::Press:
          QTest::mousePress(object->window, Qt::LeftButton);
          break;
        case Gesture::Release:
          QTest::mouseRelease(object->window, Qt::LeftButton);
          break;
        case Gesture::Click:
          QTest::mouseClick(object->window, Qt::LeftButton);
          break;
        }
      },
      {}, after);
}

lamp::CAutomode* SoakOperator::AutoDialog() const {
  return dynamic_cast<lamp::CAutomode*>(window_.OpenOptionDialog(lamp::OptionDialog::Automode));
}

bool SoakOperator::AutoDialogFilled() const {
  const lamp::CAutomode* dialog = AutoDialog();
  if (dialog == nullptr) {
    return false;
  }
  if (dialog->Radio(1)->isChecked()) {
    return !dialog->FieldText(1).empty() &&
           !dialog->CellText(lamp::CAutomode::kModeBSteps - 1, 5).empty();
  }
  return !dialog->CellText(3, 1).empty();
}

bool SoakOperator::RepliesSettled() const {
  return Clock::now() - lastBusy_ >= kQuiet;
}

bool SoakOperator::StatusShows(char mode) const {
  const lamp::TextLabel* label = window_.StatusLabel();
  return label != nullptr && !label->isHidden() &&
         label->GetCaption().startsWith(QStringLiteral("Auto mode [ %1 ]").arg(QChar(mode)));
}

bool SoakOperator::StatusHidden() const {
  const lamp::TextLabel* label = window_.StatusLabel();
  return label != nullptr && label->isHidden();
}

void SoakOperator::PlanRound() {
  const int round = rounds_++;
  const int mode = round % 2;
  const char letter = mode == 0 ? 'A' : 'B';

  // The sequence to run, chosen and written in Auto mode setup.
  Then(
      "open Auto mode setup",
      [this] {
        window_.send(lamp::WM_COMMAND,
                     lamp::MakeWParam(lamp::kFirstOptionCommand +
                                          static_cast<unsigned>(lamp::OptionDialog::Automode),
                                      0),
                     0);
      },
      [this] { return AutoDialogFilled() && RepliesSettled(); }, 10s);
  Then(
      std::string("choose Mode ") + letter,
      [this, mode] {
        if (lamp::CAutomode* dialog = AutoDialog()) {
          QTest::mouseClick(dialog->Radio(mode), Qt::LeftButton);
        }
      },
      [this, mode] {
        const lamp::CAutomode* dialog = AutoDialog();
        return dialog != nullptr && dialog->Radio(mode)->isChecked() && AutoDialogFilled() &&
               RepliesSettled();
      },
      10s);
  Then(
      "press Write",
      [this] {
        lamp::CAutomode* dialog = AutoDialog();
        QAbstractButton* write = dialog != nullptr ? ButtonCalled(*dialog, "Write") : nullptr;
        if (write == nullptr) {
          ++misses_["press Write"];
          return;
        }
        QTest::mouseClick(write, Qt::LeftButton);
        // The echoes of the written table queue up in the reply ring; wait until they are shown.
        lastBusy_ = Clock::now();
      },
      [this] { return RepliesSettled(); }, 10s);
  Then(
      "close Auto mode setup",
      [this] {
        if (lamp::CAutomode* dialog = AutoDialog()) {
          QTest::keyClick(dialog, Qt::Key_Escape);
        }
      },
      [this] { return AutoDialog() == nullptr; }, 5s);

  // AUTO, by key or by a click on the button, and the panel following the sequence.
  Then(
      std::string("panel shows Mode ") + letter + " running",
      [this, round] {
        ++sequencesStarted_;
        knoblet::ButtonObject* button = window_.Button(lamp::kAutoButton);
        if (round % 4 < 2 || button == nullptr) {
          QTest::keyClick(&window_, Qt::Key_A);
        } else {
          QTest::mouseClick(button->window, Qt::LeftButton);
        }
      },
      [this, letter] {
        if (!StatusShows(letter)) {
          return false;
        }
        ++sequencesShown_;
        return true;
      },
      5s);
  if (round % 3 == 2) {
    Pause(1500ms);
    // Only a sequence the panel still shows as running is stopped; once it has ended, AUTO would
    // start the next one.
    Then(
        "AUTO stops the sequence",
        [this, letter] {
          if (StatusShows(letter)) {
            QTest::keyClick(&window_, Qt::Key_A);
          }
        },
        [this] { return StatusHidden(); }, 5s);
  } else {
    Then(
        "sequence runs to its end", {}, [this] { return StatusHidden(); }, 30s);
  }

  // Lamps, levels, cursor and display highlights.
  const int lamp = round % 4;
  const int other = (round + 1) % 4;
  Key(Qt::Key_1 + lamp);
  for (int i = 0; i < 3; ++i) {
    Key(Qt::Key_Up, 150ms);
  }
  for (int i = 0; i < 3; ++i) {
    Key(Qt::Key_Down, 150ms);
  }
  Key(Qt::Key_5 + other);
  Key(Qt::Key_Up);
  Key(Qt::Key_Down);
  Key(Qt::Key_5 + other);
  Key(Qt::Key_Right);
  Key(Qt::Key_Left);
  // A held arrow button repeats its step; the other arrow takes the levels back.
  for (int arrow : {lamp::kUpButton, lamp::kDownButton}) {
    Mouse(arrow, Gesture::Press, 1200ms);
    Mouse(arrow, Gesture::Release);
  }
  Mouse(lamp, Gesture::Click);
  if (round % 10 == 1) {
    Key(Qt::Key_P);
  }
  if (round % 10 == 7) {
    Key(Qt::Key_R, 1500ms);
  }
  Pause(2s);
}

void SoakOperator::Tick() {
  if (done_ || inTick_) {
    return;
  }
  inTick_ = true;
  const auto now = Clock::now();
  if (window_.Replies().Waiting() > 0) {
    lastBusy_ = now;
  }
  if (!stepStarted_ && now >= end_) {
    done_ = true;
    timer_.stop();
    steps_.clear();
    inTick_ = false;
    finished_();
    return;
  }
  if (steps_.empty()) {
    PlanRound();
  }
  Step& step = steps_.front();
  if (!stepStarted_) {
    stepStarted_ = true;
    stepStart_ = now;
    if (step.act) {
      step.act();
    }
  } else if (step.until && step.until()) {
    steps_.pop_front();
    stepStarted_ = false;
  } else if (now - stepStart_ >= step.limit) {
    if (step.until) {
      ++misses_[step.what];
    }
    steps_.pop_front();
    stepStarted_ = false;
  }
  inTick_ = false;
}

} // namespace soak
