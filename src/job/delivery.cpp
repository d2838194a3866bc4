#include "job/delivery.h"

#include <vector>

#include "job/job_texts.h"
#include "platform/folder.h"

namespace tovrin {

std::optional<int> DeliverGlf(Spooler& spooler, const std::string& printer,
                              const std::string& glf_path, const std::string& job_name,
                              std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(glf_path, bytes, error)) {
    error = "cannot read " + glf_path + ": " + error;
    return std::nullopt;
  }
  std::string reason;
  std::unique_ptr<PrinterConnection> connection = spooler.OpenPrinter(printer, reason);
  if (!connection) {
    error = "printer \"" + printer + "\" cannot be opened: " + reason;
    return std::nullopt;
  }
  if (!connection->StartDocument(job_name, texts::kDocumentTitle, reason)) {
    error = "printer \"" + printer + "\" refused the document: " + reason;
    return std::nullopt;
  }
  constexpr size_t kBlock = 1 << 16;
  std::span<const uint8_t> all(bytes);
  for (size_t at = 0; at < all.size(); at += kBlock) {
    if (!connection->Write(all.subspan(at, std::min(kBlock, all.size() - at)), reason)) {
      error = "printer \"" + printer + "\" write failed: " + reason;
      return std::nullopt;
    }
  }
  if (!connection->EndDocument(reason)) {
    error = "printer \"" + printer + "\" did not take the document: " + reason;
    return std::nullopt;
  }
  return connection->JobId();
}

}  // namespace tovrin
