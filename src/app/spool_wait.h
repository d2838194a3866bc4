// A poller between its jobs: asleep until the next one is due.
#pragma once

#include <functional>
#include <string>

#include "job/plot_job.h"
#include "platform/folder_watch.h"

namespace tovrin {

class SpoolWait {
 public:
  // `interrupted`: a signal asks the program to do something (stop, say);
  // `log` gets what the watch cannot do, once until it changes.
  SpoolWait(std::function<bool()> interrupted, std::function<void(const std::string&)> log)
      : interrupted_(std::move(interrupted)), log_(std::move(log)) {}

  // Until `seconds` have passed, a drawing left to settle by `last` is due,
  // or a drawing was closed or moved into the folder (noted as hot on
  // `job`), or events were lost; then true: a job is due. False when
  // `interrupted` ended the wait: the caller looks at what the signal asked.
  bool Wait(PlotJob& job, const JobSummary& last, double seconds);

  // While waiting, `tick` is called at least every `seconds` (0: never),
  // for a watchdog that must hear from a poller that sleeps.
  void SetTick(double seconds, std::function<void()> tick) {
    tick_seconds_ = seconds;
    tick_ = std::move(tick);
  }

 private:
  bool Rewatch(const std::string& folder);
  bool TakeEvents(PlotJob& job);

  std::function<bool()> interrupted_;
  std::function<void(const std::string&)> log_;
  double tick_seconds_ = 0;
  std::function<void()> tick_;
  FolderWatch watch_;
  std::string watched_;  // the folder watch_ was set on
  std::string said_;     // what the watch could not do, last said
};

}  // namespace tovrin
