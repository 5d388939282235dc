#include "platform/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "platform/gui_calls.h"

namespace lamp {
namespace {

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

QMessageBox::StandardButtons QtButtons(MessageBoxButtons buttons) {
  switch (buttons) {
  case MessageBoxButtons::OkCancel:
    return QMessageBox::Ok | QMessageBox::Cancel;
  case MessageBoxButtons::YesNo:
    return QMessageBox::Yes | QMessageBox::No;
  case MessageBoxButtons::YesNoCancel:
    return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  case MessageBoxButtons::RetryCancel:
    return QMessageBox::Retry | QMessageBox::Cancel;
  case MessageBoxButtons::Ok:
    break;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon QtIcon(MessageBoxIcon icon) {
  switch (icon) {
  case MessageBoxIcon::Information:
    return QMessageBox::Information;
  case MessageBoxIcon::Warning:
    return QMessageBox::Warning;
  case MessageBoxIcon::Error:
    return QMessageBox::Critical;
  case MessageBoxIcon::Question:
    return QMessageBox::Question;
  case MessageBoxIcon::None:
    break;
  }
  return QMessageBox::NoIcon;
}

MessageBoxResult FromQt(int button) {
  switch (button) {
  case QMessageBox::Ok:
    return MessageBoxResult::Ok;
  case QMessageBox::Retry:
    return MessageBoxResult::Retry;
  case QMessageBox::Yes:
    return MessageBoxResult::Yes;
  case QMessageBox::No:
    return MessageBoxResult::No;
  default:
    return MessageBoxResult::Cancel;
  }
}

MessageBoxResult Show(const MessageBoxRequest& request) {
  MessageBoxHook hook;
  {
    std::lock_guard lock(HookMutex());
    hook = Hook();
  }
  if (hook) {
    return hook(request);
  }
  QMessageBox box(QtIcon(request.icon), request.caption, request.text, QtButtons(request.buttons),
                  request.parent);
  return FromQt(box.exec());
}

} // namespace

MessageBoxResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                            MessageBoxButtons buttons, MessageBoxIcon icon) {
  MessageBoxRequest request{parent, text,
                            caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption,
                            buttons, icon};
  MessageBoxResult result = MessageBoxResult::Cancel;
  if (!RunOnGui([&] { result = Show(request); })) {
    return MessageBoxResult::Cancel;
  }
  return result;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard lock(HookMutex());
  std::swap(Hook(), hook);
  return hook;
}

MessageBoxRecorder::MessageBoxRecorder(MessageBoxResult answer) {
  previous_ = SetMessageBoxHook([this, answer](const MessageBoxRequest& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    return answer;
  });
}

MessageBoxRecorder::~MessageBoxRecorder() {
  SetMessageBoxHook(std::move(previous_));
}

std::vector<MessageBoxRequest> MessageBoxRecorder::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<QString> MessageBoxRecorder::texts() const {
  std::lock_guard lock(mutex_);
  std::vector<QString> texts;
  for (const auto& request : requests_) {
    texts.push_back(request.text);
  }
  return texts;
}

} // namespace lamp
