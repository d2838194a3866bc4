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
    error = texts::kGlfUnreadable + glf_path + " (" + error + ")";
    return std::nullopt;
  }
  std::string reason;
  std::unique_ptr<PrinterConnection> connection = spooler.OpenPrinter(printer, reason);
  if (!connection) {
    error = texts::kPrinterCannotOpen + printer + " (" + reason + ")";
    return std::nullopt;
  }
  if (!connection->StartDocument(job_name, texts::kDocumentTitle, reason)) {
    error = texts::kPrinterRefused + printer + " (" + reason + ")";
    return std::nullopt;
  }
  constexpr size_t kBlock = 1 << 16;
  std::span<const uint8_t> all(bytes);
  for (size_t at = 0; at < all.size(); at += kBlock) {
    if (!connection->Write(all.subspan(at, std::min(kBlock, all.size() - at)), reason)) {
      error = texts::kPrinterWriteFailed + printer + " (" + reason + ")";
      return std::nullopt;
    }
  }
  if (!connection->EndDocument(reason)) {
    error = texts::kPrinterRefused + printer + " (" + reason + ")";
    return std::nullopt;
  }
  return connection->JobId();
}

}  // namespace tovrin
