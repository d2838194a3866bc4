// The print spooler as CUPS provides it: destinations of the CUPS server
// that libcups finds (CUPS_SERVER, client.conf, the local socket) and raw
// jobs sent to them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler.h"

namespace tovrin {

namespace cups_texts {
inline constexpr const char* kNotResponding = "CUPS server not responding";
inline constexpr const char* kCannotConnect = "cannot connect to CUPS at ";  // + the server
}  // namespace cups_texts

class CupsSpooler : public Spooler {
 public:
  // Every request gets its own connection to the server; a server that
  // stays silent for `timeout_ms` (while connecting, sending or waiting for
  // an answer) fails the request with "CUPS server not responding".
  static constexpr int kDefaultTimeoutMs = 10000;
  explicit CupsSpooler(int timeout_ms = kDefaultTimeoutMs);

  // The user's default destination (lpoptions, LPDEST and PRINTER included);
  // empty when there is none or the server cannot be asked (LastError says).
  std::string DefaultPrinter() override;
  // Every destination in the order CUPS lists them; instances left out.
  std::vector<std::string> InstalledPrinters() override;
  // A connection of its own to the server, after checking the destination
  // exists. Each document becomes one raw job ("application/vnd.cups-raw").
  std::unique_ptr<PrinterConnection> OpenPrinter(const std::string& name,
                                                 std::string& error) override;
  // Get-Job-Attributes: the job's state, and for a job waiting on a stopped
  // printer, Stopped with the printer's message. Lost when CUPS knows no
  // job of that id or another one under it; Incoming for a job held while
  // its document has not (wholly) come.
  PrintJobStatus QueryJob(const SpoolerJob& job) override;
  // Get-Jobs naming the jobs by job-ids, a hundred a request, on one
  // connection; a job the answer leaves out or shows as another goes
  // through QueryJob. Unknown for all when the server cannot be asked.
  std::vector<PrintJobStatus> QueryJobs(const std::vector<SpoolerJob>& jobs) override;
  // Get-Jobs on `printer` (every queue when empty), any user's.
  std::optional<std::vector<SpoolerJob>> FindJobs(const std::string& printer,
                                                  const std::string& job_name, int64_t since,
                                                  std::string& error) override;
  // Cancel-Job, once Get-Job-Attributes shows the job is still ours and not
  // yet ended. True, with nothing sent, when it ended or is not ours any
  // more.
  bool CancelJob(const SpoolerJob& job, std::string& error) override;
  // Get-Printer-Attributes: state, reasons, message, accepting jobs.
  bool QueryPrinter(const std::string& name, PrinterStatus& status, std::string& error) override;

  // Why the last DefaultPrinter or InstalledPrinters call found nothing
  // because of the server; empty when it answered.
  const std::string& LastError() const { return last_error_; }

 private:
  int timeout_ms_;
  std::string last_error_;
};

}  // namespace tovrin
