// CUPS jobs found by name and time (Get-Jobs), and cancelled only while
// they are the job asked for.
#include <cups/cups.h>

#include <algorithm>
#include <tuple>

#include "platform/cups/cups_server.h"
#include "platform/cups/cups_spooler.h"

namespace tovrin {
namespace {

// Every job of a Get-Jobs answer: one group of job attributes each.
std::vector<SpoolerJob> JobsIn(ipp_t* response) {
  std::vector<SpoolerJob> jobs;
  bool in_job = false;
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
    const bool job_attr = ippGetGroupTag(a) == IPP_TAG_JOB;
    if (job_attr && !in_job) jobs.emplace_back();
    in_job = job_attr;
    if (job_attr) TakeIdentity(a, jobs.back());
  }
  return jobs;
}

}  // namespace

std::optional<std::vector<SpoolerJob>> CupsSpooler::FindJobs(const std::string& printer,
                                                             const std::string& job_name,
                                                             int64_t since, std::string& error) {
  CupsServer server(timeout_ms_);
  if (!server.connected()) {
    error = server.Failure("");
    return std::nullopt;
  }
  ipp_t* request = NewRequest(IPP_OP_GET_JOBS, "printer-uri",
                              printer.empty() ? "ipp://localhost/" : PrinterUri(printer));
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
  ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 0);
  AddWanted(request, WithIdentity({}));
  Ipp answer = server.Send(request);
  if (!Succeeded(answer.get())) {
    error = server.Failure("CUPS did not list its jobs");
    return std::nullopt;
  }
  std::vector<SpoolerJob> found;
  for (SpoolerJob& job : JobsIn(answer.get()))
    if (job.id > 0 && job.name == job_name && job.created >= since) found.push_back(job);
  std::sort(found.begin(), found.end(), [](const SpoolerJob& a, const SpoolerJob& b) {
    return std::tie(a.created, a.id) < std::tie(b.created, b.id);
  });
  return found;
}

bool CupsSpooler::CancelJob(const SpoolerJob& job, std::string& error) {
  CupsServer server(timeout_ms_);
  if (!server.connected()) {
    error = server.Failure("");
    return false;
  }
  Ipp answer =
      server.Ask(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", JobUri(job.id), WithIdentity({"job-state"}));
  if (answer && ippGetStatusCode(answer.get()) == IPP_STATUS_ERROR_NOT_FOUND) return true;
  ipp_attribute_t* state = ippFindAttribute(answer.get(), "job-state", IPP_TAG_ENUM);
  if (!Succeeded(answer.get()) || !state) {
    error = server.Failure("CUPS gave no job state");
    return false;
  }
  // Another job under our id is left alone; ours is gone. (CUPS would have
  // to lose its state again between the two requests to fool this.)
  if (!IdentityDifference(job, IdentityIn(answer.get())).empty()) return true;
  if (ippGetInteger(state, 0) >= IPP_JSTATE_CANCELED) return true;  // ended already
  Ipp cancelled = server.Send(NewRequest(IPP_OP_CANCEL_JOB, "job-uri", JobUri(job.id)));
  if (!Succeeded(cancelled.get())) {
    error = server.Failure("CUPS did not cancel the job");
    return false;
  }
  return true;
}

}  // namespace tovrin
