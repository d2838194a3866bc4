// What CUPS says of a queue (IPP Get-Printer-Attributes), for an
// administrator's check.
#include <cups/cups.h>

#include "platform/cups/cups_server.h"
#include "platform/cups/cups_spooler.h"

namespace tovrin {

bool CupsSpooler::QueryPrinter(const std::string& name, PrinterStatus& status, std::string& error) {
  status = {};
  CupsServer server(timeout_ms_);
  if (!server.connected()) {
    error = server.Failure("");
    return false;
  }
  Ipp printer = server.Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", PrinterUri(name),
                           {"printer-state", "printer-state-reasons", "printer-state-message",
                            "printer-is-accepting-jobs"});
  if (!printer) {
    error = server.Failure("no answer");
    return false;
  }
  if (ippGetStatusCode(printer.get()) == IPP_STATUS_ERROR_NOT_FOUND) return true;
  if (!Succeeded(printer.get())) {
    error = server.Failure("CUPS refused the request");
    return false;
  }
  status.exists = true;
  ipp_attribute_t* state = ippFindAttribute(printer.get(), "printer-state", IPP_TAG_ENUM);
  const int value = state ? ippGetInteger(state, 0) : 0;
  const char* text = state ? ippEnumString("printer-state", value) : nullptr;
  status.state_text = text ? text : "?";
  status.stopped = value == IPP_PSTATE_STOPPED;
  ipp_attribute_t* accepting =
      ippFindAttribute(printer.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
  status.accepting = accepting && ippGetBoolean(accepting, 0);
  status.reasons = IppKeywords(printer.get(), "printer-state-reasons");
  status.message = IppText(printer.get(), "printer-state-message");
  return true;
}

}  // namespace tovrin
