#include "platform/cups/cups_spooler.h"

#include <cups/cups.h>

#include <csignal>

#include "platform/cups/cups_server.h"

namespace tovrin {
namespace {

// One printer opened over its own connection, so an abandoned document can
// be dropped without disturbing other requests.
class CupsConnection : public PrinterConnection {
 public:
  CupsConnection(std::unique_ptr<CupsServer> server, std::string name, int timeout_ms)
      : server_(std::move(server)), name_(std::move(name)), timeout_ms_(timeout_ms) {}
  ~CupsConnection() override {
    bool hung = server_->timed_out();
    server_.reset();  // breaks off a document still being sent
    // A job left without its document would wait in the queue; a hung
    // server is not asked again, it would only cost another timeout.
    if (job_id_ != 0 && !finished_ && !hung) {
      CupsServer cancel(timeout_ms_);
      if (cancel.connected()) cupsCancelJob2(cancel.http(), name_.c_str(), job_id_, 0);
    }
  }
  CupsConnection(const CupsConnection&) = delete;
  CupsConnection& operator=(const CupsConnection&) = delete;

  bool CreateJob(const std::string& job_name, SpoolerJob& job, std::string& error) override {
    job_id_ = cupsCreateJob(server_->http(), name_.c_str(), job_name.c_str(), 0, nullptr);
    if (job_id_ == 0) {
      error = server_->Failure("the job was not created");
      return false;
    }
    // Asked at once, while the id is surely this job's: a job whose
    // identity is not known cannot be told from a later one, so it is not
    // sent (the destructor cancels it).
    Ipp answer =
        server_->Ask(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", JobUri(job_id_), WithIdentity({}));
    SpoolerJob found = IdentityIn(answer.get());
    if (!Succeeded(answer.get())) {
      error = server_->Failure("CUPS did not tell the job's identity");
      return false;
    }
    job = {job_id_, found.uuid, found.created, found.name.empty() ? job_name : found.name, name_};
    return true;
  }

  bool StartDocument(const std::string& title, std::string& error) override {
    if (cupsStartDocument(server_->http(), name_.c_str(), job_id_, title.c_str(), CUPS_FORMAT_RAW,
                          1) != HTTP_STATUS_CONTINUE) {
      error = server_->Failure("the document was not started");
      return false;
    }
    return true;
  }

  bool Write(std::span<const uint8_t> bytes, std::string& error) override {
    if (bytes.empty()) return true;
    if (cupsWriteRequestData(server_->http(), reinterpret_cast<const char*>(bytes.data()),
                             bytes.size()) != HTTP_STATUS_CONTINUE) {
      error = server_->Failure("the connection to the spooler broke");
      return false;
    }
    return true;
  }

  bool EndDocument(std::string& error) override {
    if (cupsFinishDocument(server_->http(), name_.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
      error = server_->Failure("the spooler did not accept the document");
      return false;
    }
    finished_ = true;
    return true;
  }

 private:
  std::unique_ptr<CupsServer> server_;
  std::string name_;
  int timeout_ms_;
  int job_id_ = 0;
  bool finished_ = false;
};

}  // namespace

CupsSpooler::CupsSpooler(int timeout_ms) : timeout_ms_(timeout_ms) {
  // A spooler that goes away mid-document must give a write error, not end
  // the program.
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
    std::signal(SIGPIPE, SIG_IGN);
}

std::string CupsSpooler::DefaultPrinter() {
  last_error_.clear();
  CupsServer server(timeout_ms_);
  if (!server.connected()) {
    last_error_ = server.Failure("");
    return {};
  }
  cups_dest_t* dest = cupsGetNamedDest(server.http(), nullptr, nullptr);
  if (!dest) {
    if (server.timed_out()) last_error_ = server.Failure("");
    return {};
  }
  std::string name = dest->name;
  cupsFreeDests(1, dest);
  return name;
}

std::vector<std::string> CupsSpooler::InstalledPrinters() {
  last_error_.clear();
  CupsServer server(timeout_ms_);
  if (!server.connected()) {
    last_error_ = server.Failure("");
    return {};
  }
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(server.http(), &dests);
  if (server.timed_out()) last_error_ = server.Failure("");
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    if (!dests[i].instance) names.emplace_back(dests[i].name);
  cupsFreeDests(count, dests);
  return names;
}

std::unique_ptr<PrinterConnection> CupsSpooler::OpenPrinter(const std::string& name,
                                                            std::string& error) {
  auto server = std::make_unique<CupsServer>(timeout_ms_);
  if (!server->connected()) {
    error = server->Failure("");
    return nullptr;
  }
  if (name.empty()) {
    // The job names no printer when DefaultPrinter found none; a server
    // that did not answer must not be reported as one without printers.
    cups_dest_t* dest = cupsGetNamedDest(server->http(), nullptr, nullptr);
    cupsFreeDests(dest ? 1 : 0, dest);
    error = server->timed_out() ? server->Failure("") : "no printer named and no default printer";
    return nullptr;
  }
  // Asked directly: cupsGetNamedDest falls back to a search over libcups's
  // own connection, unbounded, when the server does not answer.
  Ipp printer =
      server->Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", PrinterUri(name), {"printer-name"});
  if (!printer || ippGetStatusCode(printer.get()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    error = server->Failure("no such printer");
    return nullptr;
  }
  return std::make_unique<CupsConnection>(std::move(server), name, timeout_ms_);
}

}  // namespace tovrin
