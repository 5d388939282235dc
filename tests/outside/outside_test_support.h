#pragma once
// Shared by the tests of the two outside libraries: loading a library the way the program does
// (dlopen from the build's bin folder, then the factory by name) and a parent window that records
// the messages its children send.

#include <QWidget>
#include <cstdint>
#include <dlfcn.h>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <wndmsg/message_target.h>

namespace outside_test {

// The factory `symbol` of lib<name>.so in the build's bin folder, or null (with the reason in
// `error`).
template <typename Fn> Fn LoadFactory(const char* library, const char* symbol, std::string& error) {
  const std::string path = std::string(LAMP_BIN_DIR) + "/" + library;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    error = dlerror();
    return nullptr;
  }
  auto fn = reinterpret_cast<Fn>(dlsym(handle, symbol));
  if (fn == nullptr) {
    error = dlerror();
  }
  return fn;
}

struct Received {
  unsigned msg;
  std::int32_t index; // read through wParam during the handling
  bool onGuiThread;
};

// Keeps what a RecordingParent received; outlives the parent, so a test may delete the parent
// from `onMessage`.
struct Recorder {
  std::vector<Received> messages;
  std::function<void(const Received&)> onMessage;

  // The message numbers received, in order.
  std::vector<unsigned> Kinds() const {
    std::vector<unsigned> out;
    for (const auto& m : messages) {
      out.push_back(m.msg);
    }
    return out;
  }
};

class RecordingParent : public QWidget, public wndmsg::MessageTarget {
public:
  explicit RecordingParent(Recorder& r, QWidget* parent = nullptr) : QWidget(parent), recorder(r) {
    resize(400, 200);
  }

  wndmsg::LResult SendMsg(unsigned msg, wndmsg::WParam wParam, wndmsg::LParam) noexcept override {
    const auto* index = reinterpret_cast<const std::int32_t*>(wParam);
    Received r{msg, index != nullptr ? *index : -1, std::this_thread::get_id() == guiThread};
    recorder.messages.push_back(r);
    if (recorder.onMessage) {
      recorder.onMessage(r);
    }
    return 0;
  }
  void PostMsg(unsigned, wndmsg::WParam, wndmsg::LParam) noexcept override {}

private:
  Recorder& recorder;
  std::thread::id guiThread = std::this_thread::get_id();
};

} // namespace outside_test
