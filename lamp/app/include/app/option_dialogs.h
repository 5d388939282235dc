#pragma once
// The dialogs of the OPTION menu while they are open: at most one of each kind, made on demand by
// the factory the program passes in, raised when asked for again.
//
// Each dialog is given a PanelHost of its own that forwards to the panel's host and knows which
// dialog it serves. A dialog reports its close more than once (when it closes and again when it
// is deleted, which happens later); only a report from the dialog a slot still holds clears that
// slot, so that a dialog of the same kind opened meanwhile keeps its place and its serial bytes.
//
// Threads: the user-interface thread only.

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "link/panel_host.h"

namespace lamp {

// Makes an option-menu dialog with `parent` as its parent, not yet shown; null when it cannot.
// The dialog keeps `host` for its whole life. It may implement DialogData and ReplyDialog (found
// with dynamic_cast) to take part in the controller commands and replies of its data; the firmware
// upgrade dialog receives the serial bytes as WM_BOOT_DATA through its wndmsg::MessageTarget.
using DialogFactory = std::function<QWidget*(PanelHost& host, QWidget* parent)>;
// One factory per OptionDialog, in its order; an empty one leaves its menu command doing nothing.
using OptionDialogFactories = std::array<DialogFactory, kOptionDialogCount>;

class OptionDialogs {
public:
  // `closed` runs after a dialog's close has cleared its slot.
  OptionDialogs(OptionDialogFactories factories, PanelHost& host, QWidget& parent,
                std::function<void(OptionDialog)> closed);

  // Shows dialog `which`: raises and focuses the open one, or makes and shows a new one.
  void Open(OptionDialog which);
  // The open dialog of that kind, or null.
  [[nodiscard]] QWidget* Opened(OptionDialog which) const;
  template <class T> [[nodiscard]] T* OpenedAs(OptionDialog which) const {
    return dynamic_cast<T*>(Opened(which));
  }
  // Dialog `dialog` of kind `which` reports that it closed.
  void Closed(OptionDialog which, const QWidget* dialog);

private:
  OptionDialogFactories factories_;
  PanelHost& host_;
  QWidget& parent_;
  std::function<void(OptionDialog)> closed_;
  std::array<QPointer<QWidget>, kOptionDialogCount> open_{};
};

} // namespace lamp
