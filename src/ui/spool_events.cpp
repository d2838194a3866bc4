#include "ui/spool_events.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace tovrin {

namespace {

// A lost folder is looked for again this often.
constexpr int kRewatchMs = 1000;

}  // namespace

SpoolEvents::SpoolEvents(PlotJob& job, QObject* parent)
    : QObject(parent), job_(job), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &SpoolEvents::OnTimer);
}

void SpoolEvents::Start(const std::string& folder) {
  Rewatch(folder);
  if (!watch_.Watching()) timer_->start(kRewatchMs);
}

void SpoolEvents::Pause() {
  if (notifier_) notifier_->setEnabled(false);
  timer_->stop();
}

bool SpoolEvents::AfterJob(const JobSummary& summary) {
  const bool afresh = !summary.folder.empty() && Rewatch(summary.folder);
  if (notifier_) notifier_->setEnabled(true);  // fires at once for what came during the job
  if (!watch_.Watching()) {
    timer_->start(kRewatchMs);
  } else if (summary.settle_due > 0) {
    timer_->start(static_cast<int>(std::min(std::ceil(summary.settle_due * 1000), 86'400'000.0)));
  }
  return afresh;
}

// True when the folder is watched afresh: not before, or another one.
bool SpoolEvents::Rewatch(const std::string& folder) {
  if (watch_.Watching() && folder == watched_) return false;
  std::string error;  // not watched: the repeat timer's listing still finds every drawing
  const bool first = watched_.empty();
  watched_ = folder;
  if (!watch_.Watch(folder, error)) return false;
  if (!notifier_) {
    notifier_ = new QSocketNotifier(watch_.Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SpoolEvents::OnReadable);
  }
  return !first;
}

void SpoolEvents::OnReadable() {
  const FolderWatch::Events events = watch_.Take();
  bool due = events.list_all;
  for (const std::string& name : events.names) due = job_.NoteHot(name) || due;
  if (due) emit JobDue();
}

// A drawing left to settle is due, or a lost folder may be back.
void SpoolEvents::OnTimer() {
  if (!watch_.Watching()) {
    if (Rewatch(watched_))
      emit JobDue();
    else
      timer_->start(kRewatchMs);
    return;
  }
  emit JobDue();
}

}  // namespace tovrin
