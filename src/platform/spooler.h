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
  // `job_name` names the spooler's job (what lpstat shows); `title` is the
  // document's name.
  virtual bool StartDocument(const std::string& job_name, const std::string& title,
                             std::string& error) = 0;
  virtual bool Write(std::span<const uint8_t> bytes, std::string& error) = 0;
  virtual bool EndDocument(std::string& error) = 0;
  // The spooler's id of the job once the document is started; 0 when the
  // spooler has no ids.
  virtual int JobId() const { return 0; }
};

// What the spooler says of a job delivered earlier.
struct PrintJobStatus {
  enum class State {
    Pending,    // queued or printing: ask again later
    Stopped,    // held, or its printer stopped: waits for someone to act
    Completed,  // the plotter has it
    Failed,     // aborted or cancelled: it will not print
    Unknown,    // the spooler could not be asked (`reason` says why)
  };
  State state = State::Unknown;
  std::string state_text;  // the spooler's own name of the state ("processing", "stopped" ...)
  std::string reason;      // the spooler's reason or message, when it gives one
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
  // The state of job `job_id` on `printer`. A spooler without ids reports
  // every job completed once it was handed over.
  virtual PrintJobStatus QueryJob(const std::string& printer, int job_id) {
    (void)printer;
    (void)job_id;
    return {PrintJobStatus::State::Completed, "completed", {}};
  }
};

}  // namespace tovrin
