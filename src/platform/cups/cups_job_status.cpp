// What CUPS says of a job delivered earlier (IPP Get-Job-Attributes).
#include <cups/cups.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/cups/cups_server.h"
#include "platform/cups/cups_spooler.h"

namespace tovrin {
namespace {

using State = PrintJobStatus::State;

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
void CheckPrinter(CupsServer& server, const std::string& printer_uri, PrintJobStatus& status,
                  PrinterStops& stops) {
  auto [known, added] = stops.try_emplace(printer_uri);
  if (added) known->second = StoppedReason(server, printer_uri);
  if (!known->second) return;
  status.state = State::Stopped;
  status.reason = *known->second;
}

// CUPS holds a job whose document has not (wholly) come: it never prints
// unless someone sends the rest.
bool Incoming(int state, const std::string& reasons) {
  return state == IPP_JSTATE_HELD && reasons.find("job-incoming") != std::string::npos;
}

// The answer when CUPS has no job `ours` under its id: nullopt when it has.
std::optional<PrintJobStatus> NotOurs(const SpoolerJob& ours, ipp_t* answer) {
  const std::string id = std::to_string(ours.id);
  if (ippGetStatusCode(answer) == IPP_STATUS_ERROR_NOT_FOUND)
    return PrintJobStatus{State::Lost, {}, "CUPS no longer knows job " + id};
  if (!Succeeded(answer)) return std::nullopt;
  std::string differs = IdentityDifference(ours, IdentityIn(answer));
  if (differs.empty()) return std::nullopt;
  return PrintJobStatus{
      State::Lost, {}, "CUPS job " + id + " is another job now (" + differs + ")"};
}

PrintJobStatus FromAnswer(CupsServer& server, const SpoolerJob& job, ipp_t* answer) {
  ipp_attribute_t* state = ippFindAttribute(answer, "job-state", IPP_TAG_ENUM);
  if (!Succeeded(answer) || !state) {
    PrintJobStatus status;
    status.reason = server.Failure("CUPS gave no job state");
    return status;
  }
  JobAttributes seen{ippGetInteger(state, 0), IppKeywords(answer, "job-state-reasons"),
                     IppText(answer, "job-printer-state-message"),
                     IppText(answer, "job-printer-uri")};
  PrinterStops stops;
  return StatusOf(server, job, seen, stops);
}

}  // namespace

std::optional<std::string> StoppedReason(CupsServer& server, const std::string& printer_uri) {
  Ipp printer = server.Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", printer_uri,
                           {"printer-state", "printer-state-message", "printer-state-reasons"});
  if (!Succeeded(printer.get())) return std::nullopt;
  ipp_attribute_t* state = ippFindAttribute(printer.get(), "printer-state", IPP_TAG_ENUM);
  if (!state || ippGetInteger(state, 0) != IPP_PSTATE_STOPPED) return std::nullopt;
  return FirstOf(
      IppText(printer.get(), "printer-state-message"),
      FirstOf(IppKeywords(printer.get(), "printer-state-reasons"), "the printer is stopped"));
}

PrintJobStatus StatusOf(CupsServer& server, const SpoolerJob& job, const JobAttributes& seen,
                        PrinterStops& stops) {
  PrintJobStatus status;
  const char* name = ippEnumString("job-state", seen.state);
  status.state =
      Incoming(seen.state, seen.reasons) ? State::Incoming : FromJobState(seen.state, seen.reasons);
  status.state_text = name ? name : std::to_string(seen.state);
  if (status.state != State::Completed) status.reason = FirstOf(seen.message, seen.reasons);
  if (status.state != State::Incoming &&
      (seen.state == IPP_JSTATE_PENDING || seen.state == IPP_JSTATE_HELD)) {
    const std::string& uri = seen.printer_uri.empty() ? PrinterUri(job.printer) : seen.printer_uri;
    CheckPrinter(server, uri, status, stops);
  }
  return status;
}

PrintJobStatus CupsSpooler::QueryJob(const SpoolerJob& job) {
  CupsServer server(timeout_ms_);
  if (!server.connected()) return {State::Unknown, {}, server.Failure("")};
  Ipp answer =
      server.Ask(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", JobUri(job.id),
                 WithIdentity({"job-state", "job-state-reasons", "job-printer-state-message"}));
  if (!answer) return {State::Unknown, {}, server.Failure("no answer")};
  // A job purged from CUPS's history, or an id CUPS gave again after losing
  // its state: whether ours printed cannot be known, so its drawing stays.
  if (std::optional<PrintJobStatus> lost = NotOurs(job, answer.get())) return *lost;
  return FromAnswer(server, job, answer.get());
}

}  // namespace tovrin
