// The records a drawing's translation works on.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "glf/glf_writer.h"
#include "ofi/drawing_state.h"
#include "ofi/job_snapshot.h"
#include "ofi/sheet_context.h"
#include "ofi/word_reader.h"

namespace tovrin {

// Lives for one job.
struct JobContext {
  JobSnapshot cfg;
  SheetContext sheet;
  int last_line_class = 0;   // "none" compares equal to code 0
  CarriedText carried_text;  // text size and pitch, carried to the next drawing

  explicit JobContext(JobSnapshot snapshot);
  // Per-drawing part of the sheet: first corner and target paper.
  void BeginDrawing();
};

// Lives for one drawing.
struct DrawingState {
  StrokeState stroke;
  TextState text;  // the carried size and pitch are in JobContext
};

struct Translation {
  JobContext& job;
  GlfWriter& out;
  WordReader reader;
  DrawingState drawing;
  std::string rejection;  // non-empty: the drawing cannot be plotted

  Translation(JobContext& job_context, GlfWriter& writer, WordReader words);

  const JobSnapshot& cfg() const { return job.cfg; }
  SheetContext& sheet() { return job.sheet; }
  const SheetContext& sheet() const { return job.sheet; }
  StrokeState& stroke() { return drawing.stroke; }
  TextState& text() { return drawing.text; }
  void Reject(const std::string& reason) {
    if (rejection.empty()) rejection = reason;
  }
};

}  // namespace tovrin
