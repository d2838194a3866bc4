// Syslog priority prefixes for output that goes to the systemd journal, so
// that `journalctl -p err` lists exactly the drawings that were not plotted.
// Anywhere else (a terminal, a file, a pipe) the output stays as it is.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

#include "job/job_host.h"
#include "job/job_texts.h"

namespace tovrin {

inline constexpr const char* kJournalError = "<3>";
inline constexpr const char* kJournalWarning = "<4>";
inline constexpr const char* kJournalInfo = "<6>";

// A job-log line's syslog priority: a drawing that was not plotted (or a
// line about the job as a whole that stopped it, `error`) is an error, an
// indented reason line a warning, everything else information.
inline int JournalPriority(const std::string& line, bool error = false) {
  constexpr std::string_view kReasonIndent = "　　";
  const std::string_view stopped = texts::kStopped;
  if (error) return 3;
  if (line.size() >= stopped.size() &&
      line.compare(line.size() - stopped.size(), stopped.size(), stopped) == 0)
    return 3;
  return line.rfind(kReasonIndent, 0) == 0 ? 4 : 6;
}

// The journal starts a new record at a line break or NUL, so those become
// blanks: a drawing's header text or file name cannot forge a record of its
// own (say "\n<0>...") or lose the rest of its line to the default priority.
inline std::string OneLine(const std::string& line) {
  std::string out;
  for (char c : line) out += (c == '\n' || c == '\r' || c == '\0') ? ' ' : c;
  return out;
}

// A job-log line as it goes to a journal stream: "<3>", "<4>" or "<6>" and
// the line on one line.
inline std::string JournalLine(const std::string& line, bool error = false) {
  return "<" + std::to_string(JournalPriority(line, error)) + ">" + OneLine(line);
}

// True when `fd` is the stream systemd names in `journal_stream`
// ("DEVICE:INODE" of JOURNAL_STREAM). Comparing the stream itself, not just
// the variable being set, keeps output that a service script redirects to a
// file free of prefixes.
inline bool IsJournalStream(int fd, const char* journal_stream) {
  if (!journal_stream || !*journal_stream) return false;
  unsigned long long device = 0, inode = 0;
  char rest = 0;
  if (std::sscanf(journal_stream, "%llu:%llu%c", &device, &inode, &rest) != 2) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  return static_cast<unsigned long long>(st.st_dev) == device &&
         static_cast<unsigned long long>(st.st_ino) == inode;
}

// A job-log line as it goes to stdout.
inline std::string StdoutLine(const std::string& line, bool error = false) {
  return IsJournalStream(1, std::getenv("JOURNAL_STREAM")) ? JournalLine(line, error) : line;
}

// Sends a job-log line to the journal as a record of its own, with the
// drawing it is about as fields (TOVRIN_FILE, TOVRIN_RESULT, TOVRIN_PRINTER,
// TOVRIN_CUPS_JOB). False when the journal cannot be reached.
bool SendToJournal(const std::string& line, bool error, const std::optional<DrawingReport>& about);

// Puts `prefix` in front of every line written through it.
class LinePrefixBuffer : public std::streambuf {
 public:
  LinePrefixBuffer(std::streambuf* target, std::string prefix)
      : target_(target), prefix_(std::move(prefix)) {}

 protected:
  int overflow(int ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    if (at_line_start_ &&
        target_->sputn(prefix_.data(), static_cast<std::streamsize>(prefix_.size())) !=
            static_cast<std::streamsize>(prefix_.size()))
      return traits_type::eof();
    at_line_start_ = traits_type::to_char_type(ch) == '\n';
    return target_->sputc(traits_type::to_char_type(ch));
  }
  int sync() override { return target_->pubsync(); }

 private:
  std::streambuf* target_;
  std::string prefix_;
  bool at_line_start_ = true;
};

// While it lives, every line written to std::cerr is a warning in the
// journal when stderr is the journal; otherwise it changes nothing.
class JournalStderr {
 public:
  JournalStderr() {
    if (!IsJournalStream(2, std::getenv("JOURNAL_STREAM"))) return;
    buffer_ = std::make_unique<LinePrefixBuffer>(std::cerr.rdbuf(), kJournalWarning);
    original_ = std::cerr.rdbuf(buffer_.get());
  }
  ~JournalStderr() {
    if (original_) std::cerr.rdbuf(original_);
  }
  JournalStderr(const JournalStderr&) = delete;
  JournalStderr& operator=(const JournalStderr&) = delete;

 private:
  std::unique_ptr<LinePrefixBuffer> buffer_;
  std::streambuf* original_ = nullptr;
};

}  // namespace tovrin
