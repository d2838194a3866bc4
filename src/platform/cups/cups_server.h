// One connection to the CUPS server whose every wait is bounded: libcups's
// shared default connection waits and retries for minutes on a hung
// scheduler, and then reports a wrong reason.
#pragma once

#include <cups/cups.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler.h"

namespace tovrin {

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

// "ipp://localhost/printers/NAME" (CUPS takes classes under the same path).
std::string PrinterUri(const std::string& printer);
// "ipp://localhost/jobs/ID".
std::string JobUri(int job_id);
// A keyword attribute's values joined by ", " ("job-stopped, printer-stopped");
// CUPS's "none" says nothing and is left out.
std::string IppKeywords(ipp_t* ipp, const char* name);
// The first value of an attribute as text; empty when it is missing.
std::string IppText(ipp_t* ipp, const char* name);
// True when CUPS answered the request with success.
bool Succeeded(ipp_t* response);
// A request naming its target by `uri_name` = `uri`, from this user.
ipp_t* NewRequest(ipp_op_t op, const char* uri_name, const std::string& uri);
void AddWanted(ipp_t* request, const std::vector<const char*>& wanted);

// `more` and the job attributes that tell one job from another under the
// same id.
std::vector<const char*> WithIdentity(std::initializer_list<const char*> more);
// Takes `attr` into `job` when it is one of those.
void TakeIdentity(ipp_attribute_t* attr, SpoolerJob& job);
// The identity in a Get-Job-Attributes answer.
SpoolerJob IdentityIn(ipp_t* response);
// What tells the job CUPS holds under `ours.id` from ours, in words; empty
// when nothing does.
std::string IdentityDifference(const SpoolerJob& ours, const SpoolerJob& theirs);

class CupsServer;

// What CUPS says of one job: its job-state, job-state-reasons,
// job-printer-state-message and job-printer-uri.
struct JobAttributes {
  int state = 0;
  std::string reasons, message, printer_uri;
};
// Printer URI -> the message of a stopped printer (nullopt: not stopped),
// asked once per look.
using PrinterStops = std::map<std::string, std::optional<std::string>>;
// Get-Printer-Attributes: the message when the printer is stopped.
std::optional<std::string> StoppedReason(CupsServer& server, const std::string& printer_uri);
// `job` as `seen` says, its printer asked (once per `stops`) when it waits.
PrintJobStatus StatusOf(CupsServer& server, const SpoolerJob& job, const JobAttributes& seen,
                        PrinterStops& stops);

class CupsServer {
 public:
  // Connects to the server libcups names (CUPS_SERVER, client.conf, the
  // local socket) within `timeout_ms`.
  explicit CupsServer(int timeout_ms);
  ~CupsServer();
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  bool connected() const { return http_ != nullptr; }
  http_t* http() const { return http_; }
  // True once the server stayed silent for the whole timeout.
  bool timed_out() const { return timed_out_; }
  // What went wrong with the connection or its last request, in plain words:
  // "cannot connect to CUPS at …", "CUPS server not responding", or CUPS's
  // own message (`fallback` when it has none).
  std::string Failure(const char* fallback) const;
  // Sends a request naming its target by `uri_name` = `uri` and asking for
  // the `wanted` attributes; the response, or null (see Failure).
  Ipp Ask(ipp_op_t op, const char* uri_name, const std::string& uri,
          const std::vector<const char*>& wanted);
  // Sends `request` (and frees it); the response, or null.
  Ipp Send(ipp_t* request);

 private:
  static int GiveUp(http_t* http, void* self);

  std::string server_;
  http_t* http_ = nullptr;
  bool timed_out_ = false;
};

}  // namespace tovrin
