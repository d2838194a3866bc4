// Opens Form1 over scratch folders with a fake spooler and scripted dialogs.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>

#include "fakes.h"
#include "settings/settings_store.h"
#include "temp_folder.h"
#include "ui/main_window.h"

namespace tovrin::test {

class WindowTest : public ::testing::Test {
 protected:
  // Tovrin.sys in the start folder with these settings.
  void WriteSettings(const PlotSettings& s) {
    std::string error;
    ASSERT_TRUE(SaveSettingsFile(start / kSettingsFileName, s, error)) << error;
  }
  PlotSettings StoredDefaults() const { return PlotSettings::Defaults(start.path()); }

  Form1& Open(const std::string& command_line = "") {
    MainWindowOptions o;
    o.start_folder = start.path();
    o.command_line = command_line;
    o.spooler = &spooler;
    o.pump_interval_ms = pump_interval_ms;
    o.settle_seconds = settle_seconds;
    o.log_echo = log_echo;
    o.choose_files = [this](QWidget*, std::string& folder, const std::string&, ChooserPosition& p) {
      ++file_chooser_opened;
      p = file_chooser_moves_to;
      folder = ofi.path();
      return chosen_files;
    };
    o.choose_printer = [this](QWidget*, Spooler&, ChooserPosition& p) {
      p = printer_chooser_moves_to;
      return chosen_printer;
    };
    o.pick_colour = [this](const QColor&, QWidget*) { return picked_colour; };
    window = std::make_unique<Form1>(std::move(o));
    return *window;
  }

  void Click(const char* name) {
    QWidget* w = window->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    QTest::mouseClick(w, Qt::LeftButton);
  }
  std::string Field(const char* name) const { return window->FieldText(name); }
  std::string Caption(const char* name) const {
    return window->findChild<QPushButton*>(name)->text().toStdString();
  }
  bool Enabled(const char* name) const { return window->findChild<QWidget*>(name)->isEnabled(); }

  // Settings as a later start would read them.
  PlotSettings Saved() const {
    PlotSettings s = PlotSettings::Defaults("unread");
    EXPECT_TRUE(LoadSettingsFile(start / kSettingsFileName, s));
    return s;
  }

  TempFolder start, ofi;
  FakeSpooler spooler;
  std::unique_ptr<Form1> window;

  int pump_interval_ms = 0;   // let tests act between any two words
  double settle_seconds = 0;  // drawings written just before a job count as settled
  std::ostream* log_echo = nullptr;
  int file_chooser_opened = 0;
  std::vector<std::string> chosen_files;
  ChooserPosition file_chooser_moves_to{300, 400};
  std::optional<std::string> chosen_printer;
  ChooserPosition printer_chooser_moves_to{500, 600};
  std::optional<QColor> picked_colour;
};

}  // namespace tovrin::test
