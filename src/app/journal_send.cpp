// Job-log lines as journal records with fields, through libsystemd.
#include <sys/uio.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/journal.h"

namespace tovrin {

// libsystemd drops a record silently when no journal listens there; then
// the stream must take the line.
constexpr const char* kJournalSocket = "/run/systemd/journal/socket";

bool SendToJournal(const std::string& line, bool error, const std::optional<DrawingReport>& about) {
  if (::access(kJournalSocket, F_OK) != 0) return false;
  std::vector<std::string> fields = {
      "MESSAGE=" + OneLine(line),
      "PRIORITY=" + std::to_string(JournalPriority(line, error)),
      "SYSLOG_IDENTIFIER=tovrin-batch",
  };
  if (about) {
    // Values are sent as they are (a file name is any bytes but "/" and
    // NUL); libsystemd frames a value that holds a line break.
    fields.push_back("TOVRIN_FILE=" + about->file);
    fields.push_back("TOVRIN_RESULT=" + about->result);
    if (!about->printer.empty()) fields.push_back("TOVRIN_PRINTER=" + about->printer);
    if (about->cups_job != 0)
      fields.push_back("TOVRIN_CUPS_JOB=" + std::to_string(about->cups_job));
  }
  std::vector<iovec> vector;
  for (std::string& f : fields) vector.push_back({f.data(), f.size()});
  return sd_journal_sendv(vector.data(), static_cast<int>(vector.size())) == 0;
}

}  // namespace tovrin
