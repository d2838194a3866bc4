// What the plot job needs of the print spooler.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tovrin {

// A job of the spooler's as it was created: its id, and what tells it from
// another job under the same id. A spooler that lost its state (reinstalled,
// a container started afresh, its cache lost in a power cut) numbers its
// jobs from 1 again, so an id alone names no job for sure.
struct SpoolerJob {
  int id = 0;
  std::string uuid;     // job-uuid ("urn:uuid:…"); empty when the spooler has none
  int64_t created = 0;  // time-at-creation, s since the epoch by the spooler's clock
  std::string name;     // job-name: the drawing's file name
  std::string printer;  // the queue (or class) it was sent to
  bool operator==(const SpoolerJob&) const = default;
};

// One open printer. The calling order is CreateJob, StartDocument, any
// number of Write, EndDocument; destroying the connection closes the
// printer (and cancels a job whose document was not finished).
class PrinterConnection {
 public:
  virtual ~PrinterConnection() = default;
  // Creates the spooler's job `job_name` (what lpq shows) and fills `job`
  // with its identity. Nothing prints until the document is ended.
  virtual bool CreateJob(const std::string& job_name, SpoolerJob& job, std::string& error) = 0;
  // Starts the job's only document, named `title`.
  virtual bool StartDocument(const std::string& title, std::string& error) = 0;
  virtual bool Write(std::span<const uint8_t> bytes, std::string& error) = 0;
  virtual bool EndDocument(std::string& error) = 0;
};

// What the spooler says of a job delivered earlier.
struct PrintJobStatus {
  enum class State {
    Pending,    // queued or printing: ask again later
    Incoming,   // created, its document not (wholly) received: it will not
                // print unless someone sends it
    Stopped,    // held, or its printer stopped: waits for someone to act
    Completed,  // the plotter has it
    Failed,     // aborted or cancelled: it will not print
    Lost,       // the spooler knows no job of that id, or another one
                // (another uuid, name or creation time): whether ours
                // printed cannot be known
    Unknown,    // the spooler could not be asked (`reason` says why)
  };
  State state = State::Unknown;
  std::string state_text;  // the spooler's own name of the state ("processing", "stopped" ...)
  std::string reason;      // the spooler's reason or message, when it gives one
};

// What the spooler says of a queue (tovrin-batch --check).
struct PrinterStatus {
  bool exists = false;
  bool accepting = false;  // takes new jobs (cupsaccept)
  bool stopped = false;    // holds its jobs (cupsenable starts it)
  std::string state_text;  // "idle", "processing", "stopped"
  std::string reasons;     // printer-state-reasons, "none" left out
  std::string message;     // printer-state-message
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
  // The state of `job`, compared with what the spooler holds under its id
  // on every call. A spooler without ids reports every job completed once
  // it was handed over.
  virtual PrintJobStatus QueryJob(const SpoolerJob& job) {
    (void)job;
    return {PrintJobStatus::State::Completed, "completed", {}};
  }
  // The states of `jobs`, in their order, each as QueryJob says it; a
  // spooler that can asks for many in one request.
  virtual std::vector<PrintJobStatus> QueryJobs(const std::vector<SpoolerJob>& jobs) {
    std::vector<PrintJobStatus> states;
    for (const SpoolerJob& job : jobs) states.push_back(QueryJob(job));
    return states;
  }
  // The jobs named `job_name` on `printer` created at `since` (spooler's
  // seconds) or later, any state, oldest first: what a program killed
  // between creating a job and recording it looks for. nullopt with
  // `error` set when the spooler could not be asked.
  virtual std::optional<std::vector<SpoolerJob>> FindJobs(const std::string& printer,
                                                          const std::string& job_name,
                                                          int64_t since, std::string& error) {
    (void)printer;
    (void)job_name;
    (void)since;
    (void)error;
    return std::vector<SpoolerJob>{};
  }
  // The state of queue `name`; false with `error` set when the spooler
  // could not be asked.
  virtual bool QueryPrinter(const std::string& name, PrinterStatus& status, std::string& error) {
    (void)name;
    (void)error;
    status.exists = true;
    status.accepting = true;
    status.state_text = "idle";
    return true;
  }
  // Cancels `job` if it is still the job of that identity; false with
  // `error` set when the spooler refused or could not be asked.
  virtual bool CancelJob(const SpoolerJob& job, std::string& error) {
    (void)job;
    (void)error;
    return true;
  }
};

}  // namespace tovrin
