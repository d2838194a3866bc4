// What a running poller shows of itself, for the status page and the
// service manager: written by the job's thread, read by others at any time.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tovrin {

// A histogram with fixed upper bounds, as the Prometheus text format has
// them (each count holds the observations up to its bound; the last bound
// is +Inf).
struct Histogram {
  std::vector<double> bounds;    // ascending, seconds
  std::vector<uint64_t> counts;  // cumulative, one per bound, then +Inf
  double sum = 0;
  uint64_t count = 0;

  explicit Histogram(std::vector<double> upper_bounds = {})
      : bounds(std::move(upper_bounds)), counts(bounds.size() + 1, 0) {}
  void Observe(double value) {
    for (size_t i = 0; i < bounds.size(); ++i)
      if (value <= bounds[i]) ++counts[i];
    ++counts.back();
    sum += value;
    ++count;
  }
};

// A drawing in the folder that was not plotted at the last listing, and why.
struct WaitingDrawing {
  enum class Why {
    Settling,     // being written, or changed within the settle time
    Incomplete,   // no end marker (yet)
    WithSpooler,  // delivered, CUPS has not finished it
    Held,         // its CUPS job or queue waits for someone to act
    Lost,         // CUPS no longer knows its job: kept until released
    Failed,       // not plotted, kept (refused, CUPS gave up)
  };
  std::string name;
  Why why = Why::Settling;
  std::string detail;  // the CUPS state and reason, or the refusal
};

struct PollerState {
  std::string start_folder;
  std::string ofi_folder;
  std::string printer;                  // the output queue, once known
  double started = 0;                   // wall seconds since the epoch
  double last_listing = 0;              // when the OFI folder was last listed
  double next_listing = 0;              // when the next full listing is due
  std::string history_fault;            // empty while the job history works
  std::vector<WaitingDrawing> waiting;  // as of the last listing
  // Drawings ended since the program started, by history result
  // ("finished", "failed", …), and what they came to.
  std::map<std::string, uint64_t> results;
  uint64_t bytes_translated = 0;  // OFI bytes read into GLFs
  uint64_t deliveries_waiting = 0;
  std::string last_drawing;  // file name
  std::string last_result;
  // From a drawing's writer closing it to its GLF taking its name (kept) or
  // CUPS accepting its job (delivered).
  Histogram queued_latency{{0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10}};
};

class StatusBoard {
 public:
  void Update(const std::function<void(PollerState&)>& change) {
    std::lock_guard lock(mutex_);
    change(state_);
  }
  PollerState Snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
  }

 private:
  mutable std::mutex mutex_;
  PollerState state_;
};

}  // namespace tovrin
