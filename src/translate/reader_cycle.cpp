#include "translate/reader_cycle.h"

#include <algorithm>
#include <utility>

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

DrawingEnd RunReaderCycle(Translation& tr, const std::function<bool()>& keep_going,
                          AskEvery every) {
  WordReader& reader = tr.reader;
  reader.SetWordPosition(1);
  size_t ask_at_word = 0;
  uint64_t ask_at_bytes = 0;
  for (;;) {
    if (reader.WordPosition() >= ask_at_word || tr.out.BytesWritten() >= ask_at_bytes) {
      if (!keep_going()) return DrawingEnd::Aborted;
      ask_at_word = reader.WordPosition() + std::max<size_t>(every.words, 1);
      ask_at_bytes = tr.out.BytesWritten() + std::max<uint64_t>(every.glf_bytes, 1);
    }
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

DrawingResult TranslateDrawing(JobContext& job, WordReader words, GlfWriter& out,
                               const std::function<bool()>& keep_going, AskEvery every) {
  job.BeginDrawing();
  Translation tr(job, out, std::move(words));
  out.WritePreamble();
  DrawingResult result;
  result.end = RunReaderCycle(tr, keep_going, every);
  result.reason = tr.rejection;
  result.short_read = tr.reader.ShortRead();
  out.WriteTrailer(job.sheet.TrailerCopies());
  return result;
}

}  // namespace tovrin
