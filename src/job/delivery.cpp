#include "job/delivery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "job/job_texts.h"

namespace tovrin {
namespace {

constexpr size_t kPiece = 1 << 16;

// The GLF lies in a folder other users write into: a link put in its place
// is not followed, and a FIFO (O_NONBLOCK: opening it does not wait for a
// writer) or device is refused.
int OpenGlf(const std::string& path, uint64_t& size, std::string& error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    error = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    error = "not a plain file";
  } else {
    size = static_cast<uint64_t>(st.st_size);
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

// Sends `size` bytes of `fd`, the size it had when opened: a file growing
// meanwhile is not followed, one cut short fails.
bool SendFile(int fd, uint64_t size, PrinterConnection& connection, std::string& error,
              bool& read_failed) {
  std::vector<uint8_t> piece(kPiece);
  for (uint64_t sent = 0; sent < size;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, size - sent));
    const ssize_t n = ::read(fd, piece.data(), want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? std::strerror(errno) : "cut short while sent";
      read_failed = true;
      return false;
    }
    if (!connection.Write(std::span(piece.data(), static_cast<size_t>(n)), error)) return false;
    sent += static_cast<uint64_t>(n);
  }
  return true;
}

struct Closer {
  int fd;
  ~Closer() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::optional<SpoolerJob> DeliverGlf(Spooler& spooler, const std::string& printer,
                                     const std::string& glf_path, const std::string& job_name,
                                     const JobCreated& created, std::string& error) {
  uint64_t size = 0;
  std::string reason;
  Closer glf{OpenGlf(glf_path, size, reason)};
  if (glf.fd < 0) {
    error = texts::kGlfUnreadable + glf_path + " (" + reason + ")";
    return std::nullopt;
  }
  std::unique_ptr<PrinterConnection> connection = spooler.OpenPrinter(printer, reason);
  if (!connection) {
    // No name: neither Hprn nor a CUPS default, or no CUPS to ask.
    error = printer.empty() ? texts::kNoPrinter + (" (" + reason + ")")
                            : texts::kPrinterCannotOpen + printer + " (" + reason + ")";
    return std::nullopt;
  }
  SpoolerJob job;
  if (!connection->CreateJob(job_name, job, reason)) {
    error = texts::kPrinterRefused + printer + " (" + reason + ")";
    return std::nullopt;
  }
  if (!created(job)) {
    error.clear();  // the caller knows why; the connection cancels the job
    return std::nullopt;
  }
  if (!connection->StartDocument(texts::kDocumentTitle, reason)) {
    error = texts::kPrinterRefused + printer + " (" + reason + ")";
    return std::nullopt;
  }
  bool read_failed = false;
  if (!SendFile(glf.fd, size, *connection, reason, read_failed)) {
    error = read_failed ? texts::kGlfUnreadable + glf_path + " (" + reason + ")"
                        : texts::kPrinterWriteFailed + printer + " (" + reason + ")";
    return std::nullopt;
  }
  if (!connection->EndDocument(reason)) {
    error = texts::kPrinterRefused + printer + " (" + reason + ")";
    return std::nullopt;
  }
  return job;
}

}  // namespace tovrin
