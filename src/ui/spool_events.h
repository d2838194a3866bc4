// Repeat mode's ear on the OFI folder: a drawing closed or moved in starts a
// job at once; the repeat timer's listing stays as it is, for what gives no
// event (another host's writes on a network folder).
#pragma once

#include <QObject>
#include <string>

#include "job/plot_job.h"
#include "platform/folder_watch.h"

class QSocketNotifier;
class QTimer;

namespace tovrin {

class SpoolEvents : public QObject {
  Q_OBJECT
 public:
  SpoolEvents(PlotJob& job, QObject* parent);

  // Listens to `folder` from start-up on, before the first job.
  void Start(const std::string& folder);
  // A job runs: what arrives meanwhile waits in the queue for its end.
  void Pause();
  // After a job: listens to its folder again and looks again when the
  // first drawing it left to settle is due. True when a job is due at once
  // (the folder is another one, or back after it was lost).
  bool AfterJob(const JobSummary& summary);

 signals:
  void JobDue();

 private:
  bool Rewatch(const std::string& folder);
  void OnReadable();
  void OnTimer();

  PlotJob& job_;
  FolderWatch watch_;
  std::string watched_;  // the folder watch_ is on, or was
  QSocketNotifier* notifier_ = nullptr;
  QTimer* timer_ = nullptr;  // settle due, or the lost folder looked for again
};

}  // namespace tovrin
