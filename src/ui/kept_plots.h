// The GLFs of the last job's drawings, kept in memory so the job log can show
// any of them after delivery deleted the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace tovrin {

struct KeptPlot {
  uint64_t key = 0;
  std::string name;  // the drawing's OFI name
  std::string glf;
};

// Holds at most `max_bytes` of GLF: a new drawing pushes out the oldest ones,
// a drawing larger than the whole budget is not kept. Keys are never reused,
// so a log line of an earlier job finds nothing once its drawing has gone.
class KeptPlots {
 public:
  static constexpr size_t kDefaultMaxBytes = size_t{64} << 20;

  explicit KeptPlots(size_t max_bytes = kDefaultMaxBytes) : max_bytes_(max_bytes) {}

  // Returns the new drawing's key, or 0 when it is too large to keep.
  uint64_t Keep(std::string name, std::string glf);
  const KeptPlot* Find(uint64_t key) const;
  // The newest kept drawing of that name whose GLF has that many bytes.
  const KeptPlot* FindNewest(const std::string& name, size_t glf_bytes) const;
  void Clear();

  size_t MaxBytes() const { return max_bytes_; }
  size_t Bytes() const { return bytes_; }
  size_t Count() const { return plots_.size(); }

 private:
  size_t max_bytes_;
  size_t bytes_ = 0;
  uint64_t next_key_ = 1;
  std::deque<KeptPlot> plots_;
};

}  // namespace tovrin
