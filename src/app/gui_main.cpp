// tovrin: the desktop program.
//
//   tovrin            interactive
//   tovrin AUTO       one job over the OFI folder, then exit ("auto" too)
//   tovrin AUTO30     a job every 30 seconds until closed (AUTO 30 too)
//
// Settings live in Tovrin.sys in the current folder. Exit status 1 when they
// could not be saved, or when AUTO left a drawing unfinished; AUTO modes also
// print each job-log line to stdout. Without a display, run with
// QT_QPA_PLATFORM=offscreen.

#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "ui/main_window.h"

#ifdef TOVRIN_WITH_CUPS
#include "platform/cups/cups_spooler.h"
#endif

namespace {

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

// SIGTERM and SIGINT close the window as a user would, so the settings are
// saved and a running drawing is stopped cleanly.
void CloseOnSignal(QWidget& window) {
  if (::pipe(g_signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(g_signal_pipe[0], &byte, 1);
    notifier->setEnabled(false);
    window.close();
  });
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
}

// The arguments as one text, the way the command line is compared.
std::string CommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
  return line;
}

std::string CurrentFolder() {
  std::vector<char> buf(4096);
  if (!::getcwd(buf.data(), buf.size())) return ".";
  return buf.data();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  tovrin::MainWindowOptions options;
  options.command_line = CommandLine(argc, argv);
  options.start_folder = CurrentFolder();
  std::unique_ptr<tovrin::Spooler> spooler;
#ifdef TOVRIN_WITH_CUPS
  spooler = std::make_unique<tovrin::CupsSpooler>();
#endif
  options.spooler = spooler.get();
  options.log_echo = &std::cout;

  tovrin::Form1 window(std::move(options));
  CloseOnSignal(window);
  window.show();
  int status = app.exec();
  return status != 0 ? status : window.ExitStatus();
}
