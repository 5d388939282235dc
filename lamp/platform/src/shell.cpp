#include "platform/shell.h"

#include <QDesktopServices>
#include <QUrl>
#include <mutex>

namespace lamp {
namespace {

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

OpenAddressHook& Hook() {
  static OpenAddressHook hook;
  return hook;
}

} // namespace

void OpenAddress(const QString& address) {
  OpenAddressHook hook;
  {
    std::lock_guard lock(HookMutex());
    hook = Hook();
  }
  if (hook) {
    hook(address);
    return;
  }
  const QUrl url = address.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive)
                       ? QUrl(address)
                       : QUrl::fromUserInput(address);
  if (url.isValid()) {
    (void)QDesktopServices::openUrl(url);
  }
}

OpenAddressHook SetOpenAddressHook(OpenAddressHook hook) {
  std::lock_guard lock(HookMutex());
  std::swap(Hook(), hook);
  return hook;
}

} // namespace lamp
