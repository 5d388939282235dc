#pragma once
// Opening an address (web page, mail address) in the user's default program, as the system's
// shell did. Tests install a hook to see the address instead of starting a browser.

#include <QString>
#include <functional>

namespace lamp {

using OpenAddressHook = std::function<void(const QString& address)>;

// Opens `address`: "mailto:..." in the mail program, anything else as a web address (a bare
// "www.example.com" too). Reports nothing when it cannot be opened. GUI thread.
void OpenAddress(const QString& address);

// Installs `hook` (empty: open for real) and returns the previous one.
OpenAddressHook SetOpenAddressHook(OpenAddressHook hook);

} // namespace lamp
