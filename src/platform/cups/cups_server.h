// One connection to the CUPS server whose every wait is bounded: libcups's
// shared default connection waits and retries for minutes on a hung
// scheduler, and then reports a wrong reason.
#pragma once

#include <cups/cups.h>

#include <initializer_list>
#include <memory>
#include <string>

namespace tovrin {

struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppDeleter>;

// "ipp://localhost/printers/NAME" (CUPS takes classes under the same path).
std::string PrinterUri(const std::string& printer);
// The first value of an attribute as text; empty when it is missing.
std::string IppText(ipp_t* ipp, const char* name);

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
          std::initializer_list<const char*> wanted);

 private:
  static int GiveUp(http_t* http, void* self);

  std::string server_;
  http_t* http_ = nullptr;
  bool timed_out_ = false;
};

}  // namespace tovrin
