// What the plot job needs of the print spooler.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tovrin {

// One open printer. The calling order is StartDocument, any number of Write,
// EndDocument; destroying the connection closes the printer.
class PrinterConnection {
 public:
  virtual ~PrinterConnection() = default;
  virtual bool StartDocument(const std::string& title, std::string& error) = 0;
  virtual bool Write(std::span<const uint8_t> bytes, std::string& error) = 0;
  virtual bool EndDocument(std::string& error) = 0;
};

class Spooler {
 public:
  virtual ~Spooler() = default;
  // The default printer's name; empty when there is none.
  virtual std::string DefaultPrinter() = 0;
  // The installed printers' names in the spooler's order.
  virtual std::vector<std::string> InstalledPrinters() = 0;
  // Opens the named printer; nullptr (with `error` set) when it cannot.
  virtual std::unique_ptr<PrinterConnection> OpenPrinter(const std::string& name,
                                                         std::string& error) = 0;
};

}  // namespace tovrin
