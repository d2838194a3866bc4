// The print spooler as CUPS provides it: destinations of the CUPS server
// that libcups finds (CUPS_SERVER, client.conf, the local socket) and raw
// jobs sent to them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/spooler.h"

namespace tovrin {

class CupsSpooler : public Spooler {
 public:
  CupsSpooler();

  // The user's default destination (lpoptions, LPDEST and PRINTER included).
  std::string DefaultPrinter() override;
  // Every destination in the order CUPS lists them; instances left out.
  std::vector<std::string> InstalledPrinters() override;
  // A connection of its own to the server, after checking the destination
  // exists. Each document becomes one raw job ("application/vnd.cups-raw").
  std::unique_ptr<PrinterConnection> OpenPrinter(const std::string& name,
                                                 std::string& error) override;
};

}  // namespace tovrin
