#include "fakes.h"

#include <algorithm>
#include <ctime>

namespace tovrin::test {
namespace {

class FakeConnection : public PrinterConnection {
 public:
  FakeConnection(FakeSpooler& spooler, size_t doc) : spooler_(spooler), doc_(doc) {
    Doc().calls.push_back("open");
  }
  ~FakeConnection() override { Doc().calls.push_back("close"); }
  bool CreateJob(const std::string& job_name, SpoolerJob& job, std::string&) override {
    Doc().job_name = job_name;
    Doc().calls.push_back("create");
    job = spooler_.AddJob(Doc().printer, job_name);
    return true;
  }
  bool StartDocument(const std::string& title, std::string&) override {
    Doc().title = title;
    Doc().calls.push_back("start");
    return true;
  }
  bool Write(std::span<const uint8_t> bytes, std::string&) override {
    Doc().bytes.append(bytes.begin(), bytes.end());
    Doc().calls.push_back("write");
    if (spooler_.on_write) spooler_.on_write(Doc());
    return true;
  }
  bool EndDocument(std::string&) override {
    Doc().calls.push_back("end");
    return true;
  }

 private:
  // By index: the documents may move when another printer is opened.
  FakeSpooler::Document& Doc() { return spooler_.documents[doc_]; }

  FakeSpooler& spooler_;
  size_t doc_;
};

// As CUPS compares them: the uuid when both have one, the name and time
// when the caller knows them, never the printer.
bool SameJob(const SpoolerJob& held, const SpoolerJob& asked) {
  return held.id == asked.id && (asked.uuid.empty() || held.uuid == asked.uuid) &&
         (asked.name.empty() || held.name == asked.name) &&
         (asked.created == 0 || held.created == asked.created);
}

}  // namespace

std::unique_ptr<PrinterConnection> FakeSpooler::OpenPrinter(const std::string& name,
                                                            std::string& error) {
  if (std::find(printers.begin(), printers.end(), name) == printers.end()) {
    error = "no such printer";
    return nullptr;
  }
  documents.push_back(Document{name, {}, {}, {}, {}});
  return std::make_unique<FakeConnection>(*this, documents.size() - 1);
}

SpoolerJob FakeSpooler::AddJob(const std::string& printer, const std::string& name) {
  const int id = next_id++;
  std::string uuid = "urn:uuid:fake-";
  if (generation > 0) uuid += std::to_string(generation) + "-";
  jobs.push_back({id, uuid + std::to_string(id), std::time(nullptr), name, printer});
  return jobs.back();
}

PrintJobStatus FakeSpooler::QueryJob(const SpoolerJob& job) {
  ++queries;
  if (std::none_of(jobs.begin(), jobs.end(), [&](auto& held) { return SameJob(held, job); }))
    return {
        PrintJobStatus::State::Lost, {}, "fake spooler: job " + std::to_string(job.id) + " lost"};
  if (!job_state) return Spooler::QueryJob(job);
  return job_state(job.id);
}

std::optional<std::vector<SpoolerJob>> FakeSpooler::FindJobs(const std::string& printer,
                                                             const std::string& job_name,
                                                             int64_t since, std::string&) {
  std::vector<SpoolerJob> found;
  for (const SpoolerJob& j : jobs)
    if (j.printer == printer && j.name == job_name && j.created >= since) found.push_back(j);
  return found;
}

bool FakeSpooler::CancelJob(const SpoolerJob& job, std::string&) {
  std::erase_if(jobs, [&](const SpoolerJob& held) { return SameJob(held, job); });
  return true;
}

}  // namespace tovrin::test
