// The printer chooser over a real cupsd. scripts/cupsd-private.sh starts a
// private one with two queues and names it in the environment; without it
// these tests skip.
#if __has_include("platform/cups/cups_spooler.h") && __has_include(<cups/cups.h>)

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "../cups/private_cups.h"
#include "platform/cups/cups_spooler.h"
#include "ui/printer_chooser.h"

namespace tovrin {
namespace {

QStringList Texts(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

// Runs `act` on the chooser once its modal loop runs; closes it if the
// action did not, so a fault cannot hang the suite.
std::optional<std::string> ChooseWith(Spooler& spooler, std::function<void(PrinterChooser&)> act) {
  QTimer::singleShot(0, [act] {
    if (auto* c = dynamic_cast<PrinterChooser*>(QApplication::activeModalWidget()))
      act(*c);
    else
      ADD_FAILURE() << "no printer chooser shown";
  });
  QTimer::singleShot(5000, [] {
    if (auto* c = dynamic_cast<PrinterChooser*>(QApplication::activeModalWidget())) c->reject();
  });
  ChooserPosition position;
  return ChoosePrinter(nullptr, spooler, position);
}

void Click(PrinterChooser& c, const char* name) {
  c.findChild<QPushButton*>(QString::fromLatin1(name))->click();
}

class CupsPrinterChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* queue = std::getenv("TOVRIN_CUPS_QUEUE");
    const char* spare = std::getenv("TOVRIN_CUPS_SPARE_QUEUE");
    if (!std::getenv("CUPS_SERVER") || !queue || !spare) GTEST_SKIP() << "no private cupsd";
    queue_ = queue;
    spare_ = spare;
    // Other CUPS tests change the queues or freeze the scheduler meanwhile.
    if (const char* path = std::getenv("TOVRIN_CUPS_LOCK")) {
      lock_ = std::make_unique<test::QueueLock>(path);
      ASSERT_TRUE(lock_->held());
    }
  }
  std::unique_ptr<test::QueueLock> lock_;
  QString queue_, spare_;
  CupsSpooler spooler_;
};

TEST_F(CupsPrinterChooserTest, ListsTheQueuesInCupsOrderAndChoosesOne) {
  std::vector<std::string> installed = spooler_.InstalledPrinters();
  QStringList expected;
  for (const std::string& name : installed) expected << QString::fromStdString(name);
  // The plotter and spare queues, and the class of two plotters with its members.
  EXPECT_EQ(expected.size(), std::getenv("TOVRIN_CUPS_CLASS") ? 5 : 2);
  EXPECT_TRUE(expected.contains(queue_) && expected.contains(spare_));

  auto chosen = ChooseWith(spooler_, [&](PrinterChooser& c) {
    EXPECT_EQ(Texts(c.PrinterList()), expected);
    EXPECT_TRUE(c.PrinterList()->selectedItems().isEmpty());
    c.PrinterList()->findItems(spare_, Qt::MatchExactly).value(0)->setSelected(true);
    Click(c, "Command1");
  });
  EXPECT_EQ(chosen, spare_.toStdString());
}

TEST_F(CupsPrinterChooserTest, CancelKeepsTheRememberedName) {
  auto chosen = ChooseWith(spooler_, [&](PrinterChooser& c) {
    c.PrinterList()->findItems(queue_, Qt::MatchExactly).value(0)->setSelected(true);
    Click(c, "Command2");
  });
  EXPECT_EQ(chosen, std::nullopt);
}

// A scheduler that cannot be reached has no printers to offer.
TEST_F(CupsPrinterChooserTest, NoReachablePrinterGivesAnEmptyList) {
  cupsSetServer("/nonexistent/tovrin-cups.sock");
  auto chosen = ChooseWith(spooler_, [](PrinterChooser& c) {
    EXPECT_EQ(c.PrinterList()->count(), 0);
    Click(c, "Command1");
  });
  cupsSetServer(nullptr);  // back to CUPS_SERVER
  EXPECT_EQ(chosen, std::nullopt);
}

}  // namespace
}  // namespace tovrin

#endif
