// What an administrator does beside the jobs: make a kept drawing
// plottable again, and see what would stop a job.
#pragma once

#include <string>
#include <vector>

#include "history/job_history.h"
#include "platform/spooler.h"
#include "settings/plot_settings.h"

namespace tovrin {

struct ToolLine {
  bool ok = true;
  std::string text;
};

// Makes drawing `name` of `folder` plottable again: a lost or failed
// delivery, or one held for ever (its spooler job is cancelled first; a job
// the spooler completed or cannot be asked about is left, and nothing is
// released). Adds a "released" row and removes the drawing's mark. The
// caller holds the folder lock.
ToolLine ReleaseDrawing(JobHistory& history, Spooler* spooler, const std::string& folder,
                        const std::string& name);

// What would stop a job with these settings in `start_folder`: the job
// history, the folders and their lock, free space, whether drawings can
// carry plot marks, and the spooler and its queue when the plots go there.
std::vector<ToolLine> CheckJobSetup(const PlotSettings& settings, const std::string& start_folder,
                                    Spooler* spooler);

}  // namespace tovrin
