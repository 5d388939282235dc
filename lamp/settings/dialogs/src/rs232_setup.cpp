#include "settings_dialogs/rs232_setup.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <comlane/serial_port.h>
#include <lamp_res/art_files.h>
#include <thread>

#include "controls/text_label.h"
#include "controls/window_styles.h"
#include "platform/gui_calls.h"
#include "platform/message_box.h"
#include "settings/serial_settings.h"
#include "settings_dialogs/serial_devices.h"
#include "settings_dialogs/serial_port_owner.h"

namespace lamp {

namespace {

// The key, the dialog's default and the template's top (dialog units) of each list.
struct ListSpec {
  std::string_view key;
  const char* fallback;
  int top;
};
constexpr std::array<ListSpec, CRs232Setup::kLists> kSpecs{{{kPortKey, "COM1", 19},
                                                            {kBaudRateKey, "19200", 43},
                                                            {kDataBitKey, "8", 64},
                                                            {kParityKey, "NONE", 88},
                                                            {kStopBitKey, "1", 109},
                                                            {kFlowKey, "NONE", 134}}};

// The item's text as the settings file keeps it; the shown text may add a description.
constexpr int kValueRole = Qt::UserRole;

void SleepFor(std::chrono::milliseconds time) {
  std::this_thread::sleep_for(time);
}

void AddItem(QComboBox* list, const QString& value, const QString& description = {}) {
  list->addItem(description.isEmpty() ? value : value + QStringLiteral("  (") + description + ')',
                value);
}

} // namespace

CRs232Setup::CRs232Setup(PanelHost& host, QWidget* parent, Pause pause)
    : SettingsDialog(host, OptionDialog::Rs232Setup, parent,
                     {QStringLiteral("Serial port setup"), QSize(167, 193), true, true},
                     Background::Gradient),
      pause_(pause ? std::move(pause) : Pause(SleepFor)), file_(ProfileFile::DefaultPath()) {
  group_ = new QGroupBox(this);
  group_->setGeometry(UnitsRect(7, 7, 154, 151));
  group_->setStyleSheet(QStringLiteral("QGroupBox { background: transparent; color: black; }"));
  for (int i = 0; i < kLists; ++i) {
    const auto n = static_cast<std::size_t>(i);
    auto* list = new QComboBox(this);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    // Text typed into the edit field is never read: only a choice from the list selects. The
    // combo box would otherwise select a matching item on Enter, on focus loss and by completion.
    list->setCompleter(nullptr);
    disconnect(list->lineEdit(), &QLineEdit::returnPressed, list, nullptr);
    disconnect(list->lineEdit(), &QLineEdit::editingFinished, list, nullptr);
    list->setProperty("controlId", kListIds[n]);
    const QRect place = UnitsRect(79, kSpecs[n].top, 76, 12);
    list->setGeometry(place.x(), place.y(), place.width(), list->sizeHint().height());
    list->setMaxVisibleItems(
        std::max(1, UnitsRect(0, 0, 1, 60).height() / list->sizeHint().height()));
    lists_[n] = list;
    connect(list, &QComboBox::activated, this, [this, i](int item) { Selected(i, item); });
  }
}

void CRs232Setup::OnInitDialog() {
  FillLists();
  SelectStored();
  modified_ = 0;
  MakeButtons();
  MakeLabels();
}

void CRs232Setup::FillLists() {
  for (int n = 1; n <= 10; ++n) {
    AddItem(lists_[0], QString::asprintf("COM%d", n));
  }
  for (const SerialDevice& device : ListSerialDevices()) {
    AddItem(lists_[0], QString::fromStdString(device.name),
            QString::fromStdString(device.description));
  }
  for (const char* speed : {"9600", "19200", "28800", "38400", "57600", "115200", "230400"}) {
    AddItem(lists_[1], QString::fromLatin1(speed));
  }
  for (int n = 5; n <= 8; ++n) {
    AddItem(lists_[2], QString::asprintf("%d", n));
  }
  for (const char* parity : {"NONE", "ODD", "EVEN", "MARK", "SPACE"}) {
    AddItem(lists_[3], QString::fromLatin1(parity));
  }
  for (const char* stop : {"1", "1.5", "2"}) {
    AddItem(lists_[4], QString::fromLatin1(stop));
  }
  for (const char* flow : {"XON/XOFF", "HARDWARE", "NONE"}) {
    AddItem(lists_[5], QString::fromLatin1(flow));
  }
}

void CRs232Setup::SelectStored() {
  for (std::size_t n = 0; n < kLists; ++n) {
    const std::string stored = file_.ReadString(kSerialSection, kSpecs[n].key, kSpecs[n].fallback);
    QComboBox* list = lists_[n];
    const int item = list->findData(QString::fromStdString(stored));
    texts_[n] = stored;
    if (item >= 0) {
      list->setCurrentIndex(item);
    } else {
      // Not offered: shown as it stands and kept, so that "Ok" writes it back unchanged.
      list->setCurrentIndex(-1);
      list->setEditText(QString::fromStdString(stored));
    }
  }
}

void CRs232Setup::Selected(int list, int item) {
  const auto n = static_cast<std::size_t>(list);
  if (item < 0 || item >= lists_[n]->count()) {
    return;
  }
  modified_ = 1;
  texts_[n] = lists_[n]->itemData(item).toString().toStdString();
}

void CRs232Setup::MakeButtons() {
  const std::vector<QPixmap> images = lamp_res::CutStrip(lamp_res::kOkCancel);
  const auto image = [&images](std::size_t i) { return i < images.size() ? images[i] : QPixmap(); };
  ButtonLook look;
  look.points = 12;
  look.focusColour = QColor(180, 180, 180);
  look.accent = QColor(80, 120, 150);
  MakeButton(QStringLiteral("Ok"), QRect(110, 270, 80, 32), 11000, 0, image(0), image(1), look);
  MakeButton(QStringLiteral("Cancel"), QRect(202, 270, 80, 32), 1000, 1, image(2), image(3), look);
}

void CRs232Setup::MakeLabels() {
  const QRect port = lists_[0]->geometry();
  QRect place(port.left() - 10 - 128, port.top(), 128, port.height());
  const QString captions[kLists] = {QStringLiteral("Port"),      QStringLiteral("Bits Per Second"),
                                    QStringLiteral("Data Bits"), QStringLiteral("Parity"),
                                    QStringLiteral("Stop Bits"), QStringLiteral("Flow Control")};
  for (std::size_t n = 0; n < kLists; ++n) {
    labels_[n] = MakeLabel(captions[n], SS_RIGHT, 10, place);
    place.translate(0, 17 + port.height());
  }
}

void CRs232Setup::OnButton(int index) {
  if (index == kOkIndex) {
    Apply();
  }
  CloseDialog();
}

void CRs232Setup::Apply() {
  if (modified_ == 0) {
    return;
  }
  comlane::SerialPort* port = Host().SerialPort();
  if (port != nullptr) {
    // Closing joins the port's threads; the receive thread may be waiting for this thread.
    WaitServicing([port] { port->Close(); });
  }
  pause_(std::chrono::milliseconds(100));
  for (std::size_t n = 0; n < kLists; ++n) {
    static_cast<void>(file_.WriteString(kSerialSection, kSpecs[n].key, texts_[n]));
  }
  if (port == nullptr) {
    return;
  }
  LoadSerialSettings(*port, file_);
  if (port->Open() == 0) {
    MessageBox(parentWidget(), QString::asprintf("%s already open.", port->portName.c_str()));
    return;
  }
  port->StartThreads();
  // When the port failed to open at start-up nobody took its notifications yet, and no reply
  // would ever be applied: the main window takes them over now.
  if (auto* owner = dynamic_cast<SerialPortOwner*>(&Host())) {
    owner->SerialPortReopened();
  }
}

} // namespace lamp
