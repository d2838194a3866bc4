#include "app/service_notify.h"

#include <systemd/sd-daemon.h>
#include <time.h>

#include <cstdint>
#include <cstdlib>

#include "history/job_history.h"

namespace tovrin {
namespace {

constexpr int64_t kStatusEveryUs = 1000000;
constexpr size_t kMaxNameBytes = 200;

int64_t NowUs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// The length of the UTF-8 sequence at `at`, or 0 when it is none.
size_t SequenceLength(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  const size_t length = lead < 0x80                   ? 1
                        : lead >= 0xc2 && lead < 0xe0 ? 2
                        : lead >= 0xe0 && lead < 0xf0 ? 3
                        : lead >= 0xf0 && lead < 0xf5 ? 4
                                                      : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
  for (size_t i = at + 1; i < at + length; ++i) {
    if ((byte(i) & 0xc0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3f);
  }
  // No overlong forms, no surrogates, nothing past U+10FFFF.
  if ((length == 3 && (code < 0x800 || (code >= 0xd800 && code < 0xe000))) ||
      (length == 4 && (code < 0x10000 || code > 0x10ffff)))
    return 0;
  return length;
}

// A drawing's name as the status line shows it: valid UTF-8 (the manager
// drops a status that is not), no control characters (a newline would
// start a field of its own in the message), bounded.
std::string Printable(const std::string& text) {
  std::string out;
  for (size_t at = 0; at < text.size() && out.size() < kMaxNameBytes;) {
    const size_t length = SequenceLength(text, at);
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (length == 0 || c < 0x20 || c == 0x7f)
      out += length == 0 ? '?' : ' ';
    else
      out.append(text, at, length);
    at += length == 0 ? 1 : length;
  }
  return out;
}

}  // namespace

std::string ServiceStatusLine(const PollerState& state) {
  uint64_t plotted = 0, other = 0;
  for (const auto& [result, count] : state.results)
    (result == history_result::kFinished ? plotted : other) += count;
  std::string line = "plotted " + std::to_string(plotted) + ", not plotted " +
                     std::to_string(other) + ", waiting " + std::to_string(state.waiting.size());
  if (!state.last_drawing.empty())
    line += ", last " + Printable(state.last_drawing) + " " + Printable(state.last_result);
  if (!state.history_fault.empty()) line += ", job history: " + Printable(state.history_fault);
  return line;
}

ServiceNotifier::ServiceNotifier(const StatusBoard& board) : board_(board) {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  active_ = socket != nullptr && *socket != '\0';
  uint64_t usec = 0;
  if (active_ && ::sd_watchdog_enabled(0, &usec) > 0)
    ping_every_us_ = static_cast<int64_t>(usec / 2);
}

void ServiceNotifier::Send(const std::string& message) {
  if (active_) ::sd_notify(0, message.c_str());
}

// Ready once the folder was listed: a first job with many drawings must
// not run into the manager's start timeout.
void ServiceNotifier::SendStatus(bool job_ended) {
  last_status_us_ = NowUs();
  const PollerState state = board_.Snapshot();
  const std::string line = ServiceStatusLine(state);
  if (line != last_status_) Send("STATUS=" + line);
  last_status_ = line;
  if (!ready_ && (job_ended || state.last_listing > 0)) {
    ready_ = true;
    Send("READY=1");
  }
}

void ServiceNotifier::Listed() {
  if (!active_) return;
  SendStatus(true);
  Alive();
}

void ServiceNotifier::Alive() {
  if (!active_) return;
  const int64_t now = NowUs();
  if (ping_every_us_ > 0 && now - last_ping_us_ >= ping_every_us_) {
    last_ping_us_ = now;
    Send("WATCHDOG=1");
  }
  if (now - last_status_us_ >= kStatusEveryUs) SendStatus(false);
}

void ServiceNotifier::Reloading() { Send("RELOADING=1"); }

void ServiceNotifier::Reloaded() {
  if (ready_) Send("READY=1");
}

void ServiceNotifier::Stopping() { Send("STOPPING=1"); }

}  // namespace tovrin
