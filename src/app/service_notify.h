// What tovrin-batch tells the service manager about itself (sd_notify):
// ready once the folder was first listed, a one-line status, watchdog
// pings from the loop and from a running job, reloading and stopping.
// Without NOTIFY_SOCKET every call does nothing.
#pragma once

#include <cstdint>
#include <string>

#include "job/status_board.h"

namespace tovrin {

// Drawings plotted since the start, those not plotted, those waiting, and
// the last drawing with its result. One line of printable text whatever
// the file names hold: control characters become blanks.
std::string ServiceStatusLine(const PollerState& state);

class ServiceNotifier {
 public:
  // Pings every half of WATCHDOG_USEC when the manager asked for them.
  explicit ServiceNotifier(const StatusBoard& board);

  // After a job: the status, and READY=1 if not yet sent.
  void Listed();
  // Cheap enough to call per word: a watchdog ping once half the period
  // has passed, the status at most once a second (and READY=1 once the
  // folder was first listed).
  void Alive();
  // How often a sleeping loop should call Alive so that no ping is late:
  // half the ping period, 0 without a watchdog.
  double PingSeconds() const { return static_cast<double>(ping_every_us_) / 2e6; }
  // Around reading the settings again (between jobs).
  void Reloading();
  void Reloaded();
  void Stopping();

 private:
  void Send(const std::string& message);
  void SendStatus(bool job_ended);

  const StatusBoard& board_;
  bool active_ = false;
  bool ready_ = false;
  int64_t ping_every_us_ = 0;  // 0: no watchdog
  int64_t last_ping_us_ = 0;
  int64_t last_status_us_ = 0;
  std::string last_status_;
};

}  // namespace tovrin
