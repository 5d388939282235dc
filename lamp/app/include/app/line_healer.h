#pragma once
// LineHealer: the panel's serial line through a loss and back. When the serial library reports
// the line lost (WM_SERIAL_LOST: a USB adapter pulled, a device that failed), the panel shows it,
// stops its status poll and tries to open the same port again about once a second, quietly. A
// firmware transfer running at the loss is ended as stopped first; the line is not reopened
// behind a transfer. Once the port is back (by itself or from the serial port setup), the host
// takes the line over again and reads the machine's state back.
//
// Threads: the user-interface thread only. Time comes in as OnRetryTick calls from the host's
// timer.

#include <string>

namespace comlane {
class SerialPort;
}

namespace lamp {

inline constexpr int kLineRetryPeriodMs = 1000;
inline constexpr const char* kLineLostText = "LINE LOST";
inline constexpr const char* kLineBackText = "LINE BACK";

class LineHealer {
public:
  class Host {
  public:
    // The program's serial-port object; null without the serial library.
    [[nodiscard]] virtual comlane::SerialPort* SerialPort() = 0;
    // Closes the port, serving calls of its threads meanwhile.
    virtual void ClosePort() = 0;
    // The open firmware dialog is writing or reading.
    [[nodiscard]] virtual bool TransferRunning() = 0;
    // Tells the open firmware dialog (if any) that the line was lost.
    virtual void EndTransferForLostLine() = 0;
    virtual void StopPoll() = 0;
    // Starts (period > 0) or stops (0) the retry timer.
    virtual void SetRetryTimer(int periodMs) = 0;
    // Shows the line's state where the operator looks first.
    virtual void ShowLineStatus(const std::string& text) = 0;
    // The reopened port's threads run: take its notifications, forget any reply begun on the old
    // line, run the reply dispatcher, read the machine's state back and poll again.
    virtual void TakeLineOver() = 0;

  protected:
    ~Host() = default;
  };

  explicit LineHealer(Host& host) : host_(host) {}

  // WM_SERIAL_LOST. The first report of a loss starts the retries; later ones change nothing.
  // Must not close the port: the serial library's receive thread waits for this call.
  void OnLineLost();
  // A tick of the retry timer: one quiet attempt to reopen the port.
  void OnRetryTick();
  // The port was reopened and its threads started (by a retry or from the serial port setup).
  void OnReopened();

  [[nodiscard]] bool Lost() const { return lost_; }

private:
  Host& host_;
  bool lost_ = false;
};

} // namespace lamp
