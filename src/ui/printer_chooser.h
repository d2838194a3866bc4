// The printer chooser window (Form4).
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "ui/file_chooser.h"

class QListWidget;
class QWidget;

namespace tovrin {

class Spooler;

// Shows the installed printers modally at `position`. Returns the chosen
// printer's name, or nullopt on cancel (or when nothing was chosen);
// `position` is where the window was when it closed.
std::optional<std::string> ChoosePrinter(QWidget* parent, Spooler& spooler,
                                         ChooserPosition& position);

// The window behind ChoosePrinter.
class PrinterChooser : public QDialog {
 public:
  PrinterChooser(QWidget* parent, Spooler& spooler, const ChooserPosition& position);

  // The printer "選択" took; nullopt after a cancel or with nothing selected.
  const std::optional<std::string>& Chosen() const { return chosen_; }
  const ChooserPosition& Position() const { return position_; }
  QListWidget* PrinterList() const { return list_; }

  void done(int result) override;

 private:
  void Accept();

  QListWidget* list_ = nullptr;
  std::optional<std::string> chosen_;
  ChooserPosition position_;
};

}  // namespace tovrin
