#include "app/about_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/dialog_units.h"

namespace lamp {

void ShowAboutBox(QWidget& owner) {
  QDialog about(&owner);
  about.setWindowTitle(QStringLiteral("LAMP 정보"));
  const DialogUnits units(owner.font());
  about.setFixedSize(units.size(235, 55));
  auto* layout = new QHBoxLayout(&about);
  auto* icon = new QLabel(&about);
  icon->setPixmap(owner.windowIcon().pixmap(32, 32));
  layout->addWidget(icon, 0, Qt::AlignTop);
  auto* column = new QVBoxLayout;
  column->addWidget(new QLabel(QStringLiteral("LAMP Version 1.0"), &about));
  column->addWidget(new QLabel(QStringLiteral("Velora lamp controller operator panel"), &about));
  layout->addLayout(column, 1);
  auto* ok = new QDialogButtonBox(&about);
  ok->addButton(QStringLiteral("확인"), QDialogButtonBox::AcceptRole);
  QObject::connect(ok, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignTop);
  about.exec();
}

} // namespace lamp
