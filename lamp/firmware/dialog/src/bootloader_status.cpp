// CBootloader's status line: how the last transfer ended (or whether the last save worked), shown
// in the progress bar's row while no transfer runs. It is the place the operator watches during
// a transfer, and it needs no message box, which the dialog never shows.
#include <QLabel>
#include <QProgressBar>

#include "firmware_dialog/bootloader.h"

namespace lamp {

void CBootloader::MakeStatusLine(const QRect& row) {
  statusLine_ = new QLabel(this);
  statusLine_->setObjectName(QStringLiteral("statusLine"));
  statusLine_->setGeometry(row);
  statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  statusLine_->setTextFormat(Qt::PlainText);
  statusLine_->hide();
}

void CBootloader::ShowStatus(const QString& text, bool good) {
  if (shutDown_) {
    return;
  }
  // Dark green for a finished transfer or a saved file; dark red for anything that stopped short.
  statusLine_->setStyleSheet(good ? QStringLiteral("color: rgb(0, 110, 0);")
                                  : QStringLiteral("color: rgb(170, 0, 0); font-weight: bold;"));
  statusLine_->setText(text);
  statusLine_->setToolTip(text);
  statusLine_->setVisible(!progressBar_->isVisible());
}

void CBootloader::ShowOutcome(const firmware::TransferOutcome& outcome) {
  if (outcome.end == firmware::TransferEnd::Closed) {
    return;
  }
  ShowStatus(QString::fromStdString(firmware::OutcomeText(outcome)), outcome.Finished());
}

} // namespace lamp
