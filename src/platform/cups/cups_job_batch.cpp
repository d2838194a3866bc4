// The states of many CUPS jobs in few requests: Get-Jobs naming the jobs by
// "job-ids", a hundred at a time, instead of one Get-Job-Attributes each.
// A job the answer leaves out, or shows as another job, is asked about on
// its own, so a lost job is told exactly as QueryJob tells it.
#include <cups/cups.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/cups/cups_server.h"
#include "platform/cups/cups_spooler.h"

namespace tovrin {
namespace {

using State = PrintJobStatus::State;

constexpr size_t kJobsPerRequest = 100;

struct Seen {
  SpoolerJob identity;
  JobAttributes attributes;  // a job without job-state reads as state 0: not known
};

void TakeState(ipp_attribute_t* attr, Seen& seen) {
  const char* name = ippGetName(attr);
  if (!name) return;
  if (std::strcmp(name, "job-state") == 0 && ippGetValueTag(attr) == IPP_TAG_ENUM) {
    seen.attributes.state = ippGetInteger(attr, 0);
  } else if (std::strcmp(name, "job-state-reasons") == 0) {
    for (int i = 0; i < ippGetCount(attr); ++i) {
      const char* word = ippGetString(attr, i, nullptr);
      if (!word || std::strcmp(word, "none") == 0) continue;
      seen.attributes.reasons += (seen.attributes.reasons.empty() ? "" : ", ") + std::string(word);
    }
  } else if (std::strcmp(name, "job-printer-state-message") == 0) {
    const char* text = ippGetString(attr, 0, nullptr);
    seen.attributes.message = text ? text : "";
  } else if (std::strcmp(name, "job-printer-uri") == 0) {
    const char* text = ippGetString(attr, 0, nullptr);
    seen.attributes.printer_uri = text ? text : "";
  }
}

// Every job of a Get-Jobs answer by id: one group of job attributes each.
std::map<int, Seen> JobsIn(ipp_t* response) {
  std::map<int, Seen> jobs;
  Seen current;
  bool in_job = false;
  auto keep = [&] {
    if (in_job && current.identity.id > 0) jobs[current.identity.id] = current;
  };
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
    const bool job_attr = ippGetGroupTag(a) == IPP_TAG_JOB;
    if (job_attr && !in_job) current = {};
    if (!job_attr) keep();
    in_job = job_attr;
    if (!job_attr) continue;
    TakeIdentity(a, current.identity);
    TakeState(a, current);
  }
  keep();
  return jobs;
}

// One Get-Jobs for `ids`, any user's (CUPS takes job-ids only without
// which-jobs and my-jobs); nullopt when CUPS did not answer it.
std::optional<std::map<int, Seen>> AskJobs(CupsServer& server, const std::vector<int>& ids) {
  ipp_t* request = NewRequest(IPP_OP_GET_JOBS, "printer-uri", "ipp://localhost/");
  ippAddIntegers(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-ids",
                 static_cast<int>(ids.size()), ids.data());
  AddWanted(request, WithIdentity({"job-state", "job-state-reasons", "job-printer-state-message"}));
  Ipp answer = server.Send(request);
  if (!Succeeded(answer.get())) return std::nullopt;
  return JobsIn(answer.get());
}

}  // namespace

std::vector<PrintJobStatus> CupsSpooler::QueryJobs(const std::vector<SpoolerJob>& jobs) {
  std::vector<PrintJobStatus> out(jobs.size());
  std::vector<size_t> alone;  // asked about one by one
  CupsServer server(timeout_ms_);
  PrinterStops stops;
  for (size_t first = 0; first < jobs.size(); first += kJobsPerRequest) {
    const size_t end = std::min(jobs.size(), first + kJobsPerRequest);
    std::vector<int> ids;
    for (size_t i = first; i < end; ++i) ids.push_back(jobs[i].id);
    std::optional<std::map<int, Seen>> seen;
    if (server.connected() && !server.timed_out()) seen = AskJobs(server, ids);
    for (size_t i = first; i < end; ++i) {
      auto found = seen ? seen->find(jobs[i].id) : std::map<int, Seen>::iterator{};
      const bool ours = seen && found != seen->end() &&
                        IdentityDifference(jobs[i], found->second.identity).empty();
      if (ours) out[i] = StatusOf(server, jobs[i], found->second.attributes, stops);
      if (!ours) alone.push_back(i);
    }
  }
  // A server that stays silent is not asked again for each job.
  if (!server.connected() || server.timed_out()) {
    const std::string why = server.Failure("");
    for (size_t i : alone) out[i] = {State::Unknown, {}, why};
    return out;
  }
  for (size_t i : alone) out[i] = QueryJob(jobs[i]);
  return out;
}

}  // namespace tovrin
