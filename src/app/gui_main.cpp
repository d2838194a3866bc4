// tovrin: the desktop program.
//
//   tovrin            interactive
//   tovrin AUTO       one job over the OFI folder, then exit ("auto" too)
//   tovrin AUTO30     a job every 30 seconds until closed (AUTO 30 too)
//   tovrin --help, tovrin --version
//
// Settings live in Tovrin.sys in the current folder. Exit status 1 when they
// could not be saved, or when AUTO left a drawing unfinished; AUTO modes also
// print each job-log line to stdout. Without a display, run with
// QT_QPA_PLATFORM=offscreen.

#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/version.h"
#include "platform/folder.h"
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

// --help and --version are answered before the window system is touched,
// so they work without a display and never write Tovrin.sys. Every other
// argument is left to the historic command line (AUTO, auto, AUTO30 …).
std::optional<int> AnswerHelpOrVersion(int argc, char** argv) {
  QCoreApplication::setApplicationName("tovrin");
  QCoreApplication::setApplicationVersion(TOVRIN_VERSION);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  // Qt's own options ("-platform", "-reverse") are words, not letter groups.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      "Tovrin: plots OFI drawings to a plotter queue or GLF files.\n"
      "Settings are kept in Tovrin.sys in the current folder, which is also the\n"
      "default OFI folder. Without arguments the window opens for interactive use.");
  parser.addPositionalArgument(
      "AUTO",
      "AUTO (or auto): one job over the OFI folder a second after start, then save and exit.\n"
      "AUTO<seconds>: a job every so many seconds until closed: AUTO30, \"AUTO 30\", AUTO2.5\n"
      "(up to 86400).",
      "[AUTO | AUTO<seconds>]");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.parse(arguments);  // unknown arguments are not an error here
  if (parser.isSet(help) || parser.isSet("help-all")) {
    // Without an application object Qt cannot name the program itself.
    std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "tovrin")), stdout);
    std::fputs(
        "\nExit status: 1 when Tovrin.sys could not be saved. Without a display, run with\n"
        "QT_QPA_PLATFORM=offscreen.\n",
        stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("tovrin %s\n", TOVRIN_VERSION);
    return 0;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::optional<int> status = AnswerHelpOrVersion(argc, argv)) return *status;
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  tovrin::MainWindowOptions options;
  options.command_line = CommandLine(argc, argv);
  options.start_folder = tovrin::CurrentFolder();
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
