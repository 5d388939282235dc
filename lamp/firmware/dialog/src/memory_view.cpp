#include "firmware_dialog/memory_view.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHeaderView>

#include "firmware_dialog/bootloader_menu.h"

namespace lamp::firmware {
namespace {

constexpr int kColumns = 17;
constexpr int kAddressWidth = 74;
constexpr int kByteWidth = 30;
const QColor kTextColour(0, 100, 155);

} // namespace

class MemoryView::Model final : public QAbstractTableModel {
public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kColumns;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) {
      return {};
    }
    switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(
          rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())]);
    case Qt::TextAlignmentRole:
      return int(Qt::AlignCenter);
    case Qt::ForegroundRole:
      return kTextColour;
    default:
      return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal) {
      return {};
    }
    if (role == Qt::TextAlignmentRole) {
      return int(Qt::AlignCenter);
    }
    if (role != Qt::DisplayRole) {
      return {};
    }
    return section == 0 ? QStringLiteral("Address")
                        : QStringLiteral("%1").arg(section - 1, 2, 16, QLatin1Char('0')).toUpper();
  }

  void SetRows(std::size_t first, const std::vector<MemoryViewRow>& batch) {
    const std::size_t existing = rows.size();
    if (first > existing) {
      return;
    }
    const std::size_t end = first + batch.size();
    const std::size_t updatedEnd = std::min(end, existing);
    for (std::size_t i = first; i < updatedEnd; ++i) {
      rows[i] = batch[i - first];
    }
    if (first < updatedEnd) {
      emit dataChanged(index(static_cast<int>(first), 0),
                       index(static_cast<int>(updatedEnd - 1), kColumns - 1));
    }
    if (end > existing) {
      beginInsertRows({}, static_cast<int>(existing), static_cast<int>(end - 1));
      rows.insert(rows.end(), batch.begin() + static_cast<std::ptrdiff_t>(existing - first),
                  batch.end());
      endInsertRows();
    }
  }

  void Truncate(std::size_t count) {
    if (count >= rows.size()) {
      return;
    }
    beginRemoveRows({}, static_cast<int>(count), static_cast<int>(rows.size() - 1));
    rows.resize(count);
    endRemoveRows();
  }

  std::vector<MemoryViewRow> rows;
};

MemoryView::MemoryView(QWidget* parent) : QTableView(parent), model_(new Model(this)) {
  setModel(model_);
  setProperty("controlId", kMemoryViewId);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();

  QFont font(QStringLiteral("Verdana"));
  font.setPixelSize(11);
  font.setWeight(QFont::ExtraBold);
  setFont(font);
  horizontalHeader()->setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Text, kTextColour);
  setPalette(colours);

  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumSectionSize(kByteWidth);
  setColumnWidth(0, kAddressWidth);
  for (int column = 1; column < kColumns; ++column) {
    setColumnWidth(column, kByteWidth);
  }
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

MemoryView::~MemoryView() = default;

void MemoryView::SetRows(std::uint32_t first, const std::vector<MemoryViewRow>& rows) {
  model_->SetRows(first, rows);
}

void MemoryView::Truncate(std::uint32_t count) {
  model_->Truncate(count);
}

std::uint32_t MemoryView::RowCount() const {
  return static_cast<std::uint32_t>(model_->rows.size());
}

QString MemoryView::Text(std::uint32_t row, int column) const {
  if (row >= model_->rows.size() || column < 0 || column >= kColumns) {
    return {};
  }
  return QString::fromStdString(model_->rows[row][static_cast<std::size_t>(column)]);
}

} // namespace lamp::firmware
