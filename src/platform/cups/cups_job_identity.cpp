// What tells one CUPS job from another under the same id. A scheduler that
// lost its job state numbers its jobs from 1 again.
#include <cups/cups.h>

#include <cstring>

#include "platform/cups/cups_server.h"

namespace tovrin {
namespace {

// The queue's name, the last part of "ipp://…/printers/NAME".
std::string QueueOf(const char* uri) {
  const char* slash = std::strrchr(uri, '/');
  return slash ? slash + 1 : uri;
}

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

}  // namespace

std::vector<const char*> WithIdentity(std::initializer_list<const char*> more) {
  std::vector<const char*> wanted{"job-id", "job-uuid", "time-at-creation", "job-name",
                                  "job-printer-uri"};
  wanted.insert(wanted.end(), more.begin(), more.end());
  return wanted;
}

void TakeIdentity(ipp_attribute_t* attr, SpoolerJob& job) {
  const char* name = ippGetName(attr);
  if (!name || ippGetCount(attr) < 1) return;
  const char* text = ippGetString(attr, 0, nullptr);
  if (std::strcmp(name, "job-id") == 0) {
    job.id = ippGetInteger(attr, 0);
  } else if (std::strcmp(name, "time-at-creation") == 0) {
    job.created = ippGetInteger(attr, 0);
  } else if (!text) {
    return;
  } else if (std::strcmp(name, "job-uuid") == 0) {
    job.uuid = text;
  } else if (std::strcmp(name, "job-name") == 0) {
    job.name = text;
  } else if (std::strcmp(name, "job-printer-uri") == 0) {
    job.printer = QueueOf(text);
  }
}

SpoolerJob IdentityIn(ipp_t* response) {
  SpoolerJob job;
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response))
    if (ippGetGroupTag(a) == IPP_TAG_JOB) TakeIdentity(a, job);
  return job;
}

// The printer is not compared: an administrator may move a job to another
// queue (lpmove), and it is still ours. A uuid is compared only when both
// sides have one (a server without them); the name and creation time
// whenever ours are known, so a job CUPS no longer names is not ours.
std::string IdentityDifference(const SpoolerJob& ours, const SpoolerJob& theirs) {
  if (!ours.uuid.empty() && !theirs.uuid.empty() && ours.uuid != theirs.uuid)
    return "job-uuid " + theirs.uuid + ", not " + ours.uuid;
  if (!ours.name.empty() && theirs.name != ours.name)
    return "job-name " + Quoted(theirs.name) + ", not " + Quoted(ours.name);
  if (ours.created != 0 && theirs.created != ours.created)
    return "created at " + std::to_string(theirs.created) + ", not " + std::to_string(ours.created);
  return {};
}

}  // namespace tovrin
