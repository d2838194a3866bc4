#include "ui/kept_plots.h"

#include <algorithm>

namespace tovrin {

uint64_t KeptPlots::Keep(std::string name, std::string glf) {
  if (glf.size() > max_bytes_) return 0;
  while (!plots_.empty() && bytes_ + glf.size() > max_bytes_) {
    bytes_ -= plots_.front().glf.size();
    plots_.pop_front();
  }
  bytes_ += glf.size();
  plots_.push_back({next_key_, std::move(name), std::move(glf)});
  return next_key_++;
}

const KeptPlot* KeptPlots::Find(uint64_t key) const {
  // Keys rise along the queue.
  auto it = std::lower_bound(plots_.begin(), plots_.end(), key,
                             [](const KeptPlot& p, uint64_t k) { return p.key < k; });
  return it != plots_.end() && it->key == key ? &*it : nullptr;
}

const KeptPlot* KeptPlots::FindNewest(const std::string& name, size_t glf_bytes) const {
  for (auto it = plots_.rbegin(); it != plots_.rend(); ++it)
    if (it->name == name && it->glf.size() == glf_bytes) return &*it;
  return nullptr;
}

void KeptPlots::Clear() {
  plots_.clear();
  bytes_ = 0;
}

}  // namespace tovrin
