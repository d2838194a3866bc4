#include "ofi/translation.h"

#include <utility>

namespace tovrin {

JobContext::JobContext(JobSnapshot snapshot) : cfg(std::move(snapshot)) {
  sheet.ReductionRatio = cfg.reduction_ratio;
  BeginDrawing();
}

void JobContext::BeginDrawing() {
  sheet.FirstCornerX = 0;
  sheet.FirstCornerY = 0;
  sheet.ReductionRatio = cfg.reduction_ratio;
  sheet.TargetWidth = cfg.target_width;
  sheet.TargetHeight = cfg.target_height;
}

Translation::Translation(JobContext& job_context, GlfWriter& writer, WordReader words)
    : job(job_context), out(writer), reader(std::move(words)) {
  drawing.stroke.stroke_pen = job.cfg.pen_medium;
}

}  // namespace tovrin
