#include "ui/printer_chooser.h"

#include <QListWidget>
#include <QPushButton>

#include "platform/spooler.h"
#include "ui/chooser_geometry.h"

namespace tovrin {

PrinterChooser::PrinterChooser(QWidget* parent, Spooler& spooler, const ChooserPosition& position)
    : QDialog(parent), position_(position) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("プリンター選択"));
  SetTwipsClientSize(this, 5085, 2070);

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("List1"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  SetTwipsGeometry(list_, 120, 360, 3612, 1320);
  // In the spooler's order; the current printer is deliberately not marked.
  for (const std::string& name : spooler.InstalledPrinters())
    list_->addItem(QString::fromStdString(name));
  list_->setCurrentRow(-1);

  auto* choose = new QPushButton(QStringLiteral("選択"), this);
  choose->setObjectName(QStringLiteral("Command1"));
  SetTwipsGeometry(choose, 3960, 360, 972, 612);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("Command2"));
  SetTwipsGeometry(cancel, 3960, 1250, 972, 612);

  connect(choose, &QPushButton::clicked, this, [this] { Accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  MoveToTwips(this, position_);
}

void PrinterChooser::Accept() {
  chosen_.reset();
  for (int row = 0; row < list_->count(); ++row)
    if (list_->item(row)->isSelected()) chosen_ = list_->item(row)->text().toStdString();
  accept();
}

void PrinterChooser::done(int result) {
  position_ = TwipsPositionOf(this, position_);
  if (result != Accepted) chosen_.reset();
  QDialog::done(result);
}

std::optional<std::string> ChoosePrinter(QWidget* parent, Spooler& spooler,
                                         ChooserPosition& position) {
  PrinterChooser chooser(parent, spooler, position);
  chooser.exec();
  position = chooser.Position();
  return chooser.Chosen();
}

}  // namespace tovrin
