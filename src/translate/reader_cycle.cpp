#include "translate/reader_cycle.h"

#include "translate/command_table.h"

namespace tovrin {
namespace {

enum class Step { Next, End };

// Reads the command word after a prefix and runs the first matching command.
// A command runs only when all its words are in the file; otherwise the
// drawing ends here, incomplete.
Step RunCommand(Translation& tr, uint16_t prefix) {
  if (!tr.reader.Available(1)) return Step::End;
  const Command* command = FindCommand(prefix, tr.reader.ReadWord());
  if (!command) return Step::Next;
  if (!tr.reader.Available(command->Words(tr.reader))) return Step::End;
  command->run(tr);
  return Step::Next;
}

}  // namespace

DrawingEnd RunReaderCycle(Translation& tr, const std::function<bool()>& keep_going) {
  WordReader& reader = tr.reader;
  reader.SetWordPosition(1);
  for (;;) {
    if (!keep_going()) return DrawingEnd::Aborted;
    if (!reader.AtWord()) return DrawingEnd::Incomplete;
    uint16_t word = reader.Current();
    if (word == kEscAt) {
      if (!reader.Available(1)) return DrawingEnd::Incomplete;
      word = reader.ReadWord();
      if (word == kEndMarker) return DrawingEnd::Finished;
    }
    Step step = Step::Next;
    if (word == kEscBang || word == kEscDollar) step = RunCommand(tr, word);
    if (step == Step::End) return DrawingEnd::Incomplete;
    if (!tr.rejection.empty()) return DrawingEnd::Rejected;
    reader.Advance();
  }
}

DrawingResult TranslateDrawing(JobContext& job, std::span<const uint8_t> ofi, GlfWriter& out,
                               const std::function<bool()>& keep_going) {
  job.BeginDrawing();
  Translation tr(job, out, ofi);
  out.WritePreamble();
  DrawingResult result;
  result.end = RunReaderCycle(tr, keep_going);
  result.reason = tr.rejection;
  out.WriteTrailer(job.sheet.TrailerCopies());
  return result;
}

}  // namespace tovrin
