#include "settings_dialogs/data_dialog.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <wndmsg/messages.h>

#include "controls/custom_list.h"
#include "controls/list_headers.h"
#include "controls/list_records.h"
#include "controls/my_edit.h"
#include "platform/log_font.h"

namespace lamp {

CMyEdit* DataDialog::Field(int index) const {
  return index == 0 || index == 1 ? fields_[static_cast<std::size_t>(index)] : nullptr;
}

std::string DataDialog::CellText(int row, int column) const {
  return grid_ != nullptr ? grid_->GetItemText(row, column).toStdString() : std::string();
}

std::string DataDialog::FieldText(int index) const {
  const CMyEdit* field = Field(index);
  return field != nullptr ? field->text().toStdString() : std::string();
}

void DataDialog::SetCellText(int row, int column, const std::string& text) {
  if (grid_ != nullptr) {
    static_cast<void>(grid_->SetItemText(row, column, QString::fromStdString(text)));
  }
}

void DataDialog::SetFieldText(int index, const std::string& text) {
  if (CMyEdit* field = Field(index)) {
    field->setText(QString::fromStdString(text));
  }
}

void DataDialog::MakeGrid(int id, const QRect& rect, const QStringList& titles,
                          const QStringList& labels) {
  grid_ = new CCustomList();
  SetUpGrid(*grid_, this, id, rect, titles, labels);
  onMessage(wndmsg::WM_CELL_CLICKED, &DataDialog::OnCellClicked);
}

QFont DataDialog::FieldFont(int cellHeight) {
  LogFont description;
  description.height = cellHeight;
  description.weight = 700;
  description.quality = kAntialiasedQuality;
  description.faceName = QStringLiteral("Verdana");
  return FontFromLogFont(description);
}

CMyEdit* DataDialog::MakeField(int index, int id, const QRect& rect, const QColor& background,
                               const QColor& text, const QFont& font) {
  auto* field = new CMyEdit(this);
  field->setControlId(id);
  // At most two digits typed; a reply may still show more (the limit holds for typing only).
  field->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), field));
  field->setAlignment(Qt::AlignCenter);
  field->setFont(font);
  field->SetBackgroundColour(background);
  field->SetTextColour(text);
  field->setGeometry(rect);
  field->show();
  fields_[static_cast<std::size_t>(index)] = field;
  return field;
}

LResult DataDialog::OnCellClicked(WParam wParam, LParam) {
  if (wParam != 0 && grid_ != nullptr) {
    const auto* click = reinterpret_cast<const ItemActivate*>(wParam);
    grid_->SetEditMode(EditModeFor(click->item, click->subItem));
  }
  return 0;
}

} // namespace lamp
