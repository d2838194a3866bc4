#include "platform/cups/cups_server.h"

#include <sys/socket.h>

#include <vector>

#include "platform/cups/cups_spooler.h"

namespace tovrin {

CupsServer::CupsServer(int timeout_ms) {
  const char* server = cupsServer();
  server_ = server ? server : "";
  http_ = httpConnect2(server_.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                       timeout_ms, nullptr);
  // The callback runs when a wait has lasted the whole timeout; answering 0
  // ends the request there instead of waiting again.
  if (http_) httpSetTimeout(http_, timeout_ms / 1000.0, &CupsServer::GiveUp, this);
}

CupsServer::~CupsServer() {
  if (http_) httpClose(http_);
}

std::string PrinterUri(const std::string& printer) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", printer.c_str());
  return uri;
}

std::string JobUri(int job_id) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", job_id);
  return uri;
}

// Keywords such as "job-stopped, printer-stopped"; "none" says nothing.
std::string IppKeywords(ipp_t* ipp, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(ipp, name, IPP_TAG_KEYWORD);
  std::string out;
  for (int i = 0; attr && i < ippGetCount(attr); ++i) {
    const char* word = ippGetString(attr, i, nullptr);
    if (!word || std::string(word) == "none") continue;
    out += (out.empty() ? "" : ", ") + std::string(word);
  }
  return out;
}

std::string IppText(ipp_t* ipp, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(ipp, name, IPP_TAG_ZERO);
  const char* text = attr ? ippGetString(attr, 0, nullptr) : nullptr;
  return text ? text : "";
}

bool Succeeded(ipp_t* response) {
  return response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

ipp_t* NewRequest(ipp_op_t op, const char* uri_name, const std::string& uri) {
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uri_name, nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return request;
}

void AddWanted(ipp_t* request, const std::vector<const char*>& wanted) {
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(wanted.size()), nullptr, wanted.data());
}

// libcups waits again after a failed wait (reconnects, resends, falls back
// to other requests): once the server has been silent for the whole timeout
// every further wait on this connection ends at once, so the timeout bounds
// the whole call.
int CupsServer::GiveUp(http_t* http, void* self) {
  static_cast<CupsServer*>(self)->timed_out_ = true;
  httpSetTimeout(http, 0.001, &CupsServer::GiveUp, self);
  return 0;
}

Ipp CupsServer::Ask(ipp_op_t op, const char* uri_name, const std::string& uri,
                    const std::vector<const char*>& wanted) {
  ipp_t* request = NewRequest(op, uri_name, uri);
  AddWanted(request, wanted);
  return Send(request);
}

Ipp CupsServer::Send(ipp_t* request) { return Ipp(cupsDoRequest(http_, request, "/")); }

std::string CupsServer::Failure(const char* fallback) const {
  if (!http_) return cups_texts::kCannotConnect + server_;
  if (timed_out_) return cups_texts::kNotResponding;
  const char* text = cupsLastErrorString();
  return text && *text ? text : fallback;
}

}  // namespace tovrin
