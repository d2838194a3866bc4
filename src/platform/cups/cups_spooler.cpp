#include "platform/cups/cups_spooler.h"

#include <cups/cups.h>
#include <sys/socket.h>

#include <csignal>

namespace tovrin {
namespace {

constexpr int kConnectTimeoutMs = 30000;

std::string LastCupsError(const char* fallback) {
  const char* text = cupsLastErrorString();
  return text && *text ? text : fallback;
}

// One printer opened over its own connection, so an abandoned document can
// be dropped without disturbing other requests.
class CupsConnection : public PrinterConnection {
 public:
  CupsConnection(http_t* http, std::string name) : http_(http), name_(std::move(name)) {}
  ~CupsConnection() override {
    httpClose(http_);  // breaks off a document still being sent
    if (job_id_ != 0 && !finished_) cupsCancelJob2(CUPS_HTTP_DEFAULT, name_.c_str(), job_id_, 0);
  }
  CupsConnection(const CupsConnection&) = delete;
  CupsConnection& operator=(const CupsConnection&) = delete;

  bool StartDocument(const std::string& job_name, const std::string& title,
                     std::string& error) override {
    job_id_ = cupsCreateJob(http_, name_.c_str(), job_name.c_str(), 0, nullptr);
    if (job_id_ == 0) {
      error = LastCupsError("the job was not created");
      return false;
    }
    if (cupsStartDocument(http_, name_.c_str(), job_id_, title.c_str(), CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE) {
      error = LastCupsError("the document was not started");
      return false;
    }
    return true;
  }

  bool Write(std::span<const uint8_t> bytes, std::string& error) override {
    if (bytes.empty()) return true;
    if (cupsWriteRequestData(http_, reinterpret_cast<const char*>(bytes.data()), bytes.size()) !=
        HTTP_STATUS_CONTINUE) {
      error = LastCupsError("the connection to the spooler broke");
      return false;
    }
    return true;
  }

  bool EndDocument(std::string& error) override {
    if (cupsFinishDocument(http_, name_.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
      error = LastCupsError("the spooler did not accept the document");
      return false;
    }
    finished_ = true;
    return true;
  }

  int JobId() const override { return job_id_; }

 private:
  http_t* http_;
  std::string name_;
  int job_id_ = 0;
  bool finished_ = false;
};

}  // namespace

CupsSpooler::CupsSpooler() {
  // A spooler that goes away mid-document must give a write error, not end
  // the program.
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
    std::signal(SIGPIPE, SIG_IGN);
}

std::string CupsSpooler::DefaultPrinter() {
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
  if (!dest) return {};
  std::string name = dest->name;
  cupsFreeDests(1, dest);
  return name;
}

std::vector<std::string> CupsSpooler::InstalledPrinters() {
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    if (!dests[i].instance) names.emplace_back(dests[i].name);
  cupsFreeDests(count, dests);
  return names;
}

std::unique_ptr<PrinterConnection> CupsSpooler::OpenPrinter(const std::string& name,
                                                            std::string& error) {
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              kConnectTimeoutMs, nullptr);
  if (!http) {
    error = std::string("cannot reach the CUPS server ") + cupsServer() + ": " +
            LastCupsError("no connection");
    return nullptr;
  }
  if (name.empty()) {
    error = "no printer named and no default printer";
    httpClose(http);
    return nullptr;
  }
  cups_dest_t* dest = cupsGetNamedDest(http, name.c_str(), nullptr);
  if (!dest) {
    error = LastCupsError("no such printer");
    httpClose(http);
    return nullptr;
  }
  cupsFreeDests(1, dest);
  return std::make_unique<CupsConnection>(http, name);
}

}  // namespace tovrin
