#pragma once
// CMyEdit: an edit box with its own text and background colours, which tells its parent
// WM_EDITOR_CLOSED (wParam 0, lParam 0) whenever it loses the keyboard focus, after the focus has
// gone. The main window lays it over a level display as the in-place number editor. GUI thread.

#include <QColor>
#include <QLineEdit>

#include "platform/window.h"

namespace lamp {

class CMyEdit : public WindowBase<QLineEdit> {
public:
  explicit CMyEdit(QWidget* parent = nullptr);
  ~CMyEdit() override;

  void SetBackgroundColour(const QColor& colour);
  void SetTextColour(const QColor& colour);
  [[nodiscard]] const QColor& backgroundColour() const { return background_; }
  [[nodiscard]] const QColor& textColour() const { return text_; }

protected:
  void focusOutEvent(QFocusEvent* event) override;

private:
  void ApplyColours();

  QColor text_;
  QColor background_;
};

} // namespace lamp
