#pragma once
// Every message box of the program goes through MessageBox, so that tests can install a hook
// that records the texts and answers instead of showing a blocking box.

#include <QString>
#include <functional>
#include <mutex>
#include <vector>

class QWidget;

namespace lamp {

enum class MessageBoxButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageBoxIcon { None, Information, Warning, Error, Question };
// The answers carry the numbers the system's message boxes returned.
enum class MessageBoxResult { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

struct MessageBoxRequest {
  QWidget* parent = nullptr;
  QString text;
  QString caption;
  MessageBoxButtons buttons = MessageBoxButtons::Ok;
  MessageBoxIcon icon = MessageBoxIcon::None;
};

using MessageBoxHook = std::function<MessageBoxResult(const MessageBoxRequest&)>;

// Shows a modal message box and returns the button chosen. An empty caption becomes the
// application's display name. With a hook installed the hook answers instead and nothing is
// shown. Called from a worker thread, the box is shown on the GUI thread while the worker waits
// (Cancel when that is not possible).
MessageBoxResult MessageBox(QWidget* parent, const QString& text, const QString& caption = {},
                            MessageBoxButtons buttons = MessageBoxButtons::Ok,
                            MessageBoxIcon icon = MessageBoxIcon::None);

// Installs `hook` (an empty one restores real boxes) and returns the previous hook. Any thread.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// For tests: while it lives, message boxes are recorded instead of shown and answered with
// `answer`. Restores the previous hook when destroyed.
class MessageBoxRecorder {
public:
  explicit MessageBoxRecorder(MessageBoxResult answer = MessageBoxResult::Ok);
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  [[nodiscard]] std::vector<MessageBoxRequest> requests() const;
  [[nodiscard]] std::vector<QString> texts() const;

private:
  mutable std::mutex mutex_;
  std::vector<MessageBoxRequest> requests_;
  MessageBoxHook previous_;
};

} // namespace lamp
