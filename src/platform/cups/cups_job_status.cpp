// What CUPS says of a job delivered earlier (IPP Get-Job-Attributes).
#include <cups/cups.h>

#include <memory>
#include <vector>

#include "platform/cups/cups_server.h"
#include "platform/cups/cups_spooler.h"

namespace tovrin {
namespace {

using State = PrintJobStatus::State;

// Keywords such as "job-stopped, printer-stopped"; "none" says nothing.
std::string Keywords(ipp_t* ipp, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(ipp, name, IPP_TAG_KEYWORD);
  std::string out;
  for (int i = 0; attr && i < ippGetCount(attr); ++i) {
    const char* word = ippGetString(attr, i, nullptr);
    if (!word || std::string(word) == "none") continue;
    out += (out.empty() ? "" : ", ") + std::string(word);
  }
  return out;
}

std::string FirstOf(const std::string& a, const std::string& b) { return a.empty() ? b : a; }

// A job held by someone ("lp -H", an authentication CUPS waits for) waits
// for someone to release it; a job held for CUPS's own retry (retry-job
// error policy, "resources-are-not-ready") goes on by itself.
bool HeldBySomeone(const std::string& reasons) {
  return reasons.find("job-hold-until-specified") != std::string::npos ||
         reasons.find("job-held-") != std::string::npos;
}

State FromJobState(int state, const std::string& reasons) {
  switch (state) {
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_PROCESSING: return State::Pending;
    case IPP_JSTATE_HELD: return HeldBySomeone(reasons) ? State::Stopped : State::Pending;
    case IPP_JSTATE_STOPPED: return State::Stopped;
    case IPP_JSTATE_CANCELED:
    case IPP_JSTATE_ABORTED: return State::Failed;
    case IPP_JSTATE_COMPLETED: return State::Completed;
    default: return State::Unknown;
  }
}

// A job waiting on a stopped printer waits for someone to act, not for time.
void CheckPrinter(CupsServer& server, const std::string& printer_uri, PrintJobStatus& status) {
  Ipp printer = server.Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", printer_uri,
                           {"printer-state", "printer-state-message", "printer-state-reasons"});
  if (!printer || ippGetStatusCode(printer.get()) > IPP_STATUS_OK_EVENTS_COMPLETE) return;
  ipp_attribute_t* state = ippFindAttribute(printer.get(), "printer-state", IPP_TAG_ENUM);
  if (!state || ippGetInteger(state, 0) != IPP_PSTATE_STOPPED) return;
  status.state = State::Stopped;
  status.reason =
      FirstOf(IppText(printer.get(), "printer-state-message"),
              FirstOf(Keywords(printer.get(), "printer-state-reasons"), "the printer is stopped"));
}

}  // namespace

PrintJobStatus CupsSpooler::QueryJob(const std::string& printer, int job_id) {
  PrintJobStatus status;
  CupsServer server(timeout_ms_);
  if (!server.connected()) {
    status.reason = server.Failure("");
    return status;
  }
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", job_id);
  Ipp job = server.Ask(
      IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", uri,
      {"job-state", "job-state-reasons", "job-printer-state-message", "job-printer-uri"});
  if (!job) {
    status.reason = server.Failure("no answer");
    return status;
  }
  ipp_status_t code = ippGetStatusCode(job.get());
  if (code == IPP_STATUS_ERROR_NOT_FOUND) {
    // Purged from the server's history: whether it printed cannot be known,
    // so it counts as not printed and its drawing is kept.
    status.state = State::Failed;
    status.reason = "CUPS no longer knows job " + std::to_string(job_id);
    return status;
  }
  ipp_attribute_t* state = ippFindAttribute(job.get(), "job-state", IPP_TAG_ENUM);
  if (code > IPP_STATUS_OK_EVENTS_COMPLETE || !state) {
    status.reason = server.Failure("CUPS gave no job state");
    return status;
  }
  int value = ippGetInteger(state, 0);
  const char* name = ippEnumString("job-state", value);
  std::string reasons = Keywords(job.get(), "job-state-reasons");
  status.state = FromJobState(value, reasons);
  status.state_text = name ? name : std::to_string(value);
  if (status.state != State::Completed)
    status.reason = FirstOf(IppText(job.get(), "job-printer-state-message"), reasons);
  if (value == IPP_JSTATE_PENDING || value == IPP_JSTATE_HELD) {
    std::string printer_uri = IppText(job.get(), "job-printer-uri");
    CheckPrinter(server, printer_uri.empty() ? PrinterUri(printer) : printer_uri, status);
  }
  return status;
}

}  // namespace tovrin
