#include "ofi/reader_cycle.h"

#include <array>

#include "geometry/geometry_commands.h"
#include "ofi/sheet_commands.h"
#include "text/text_commands.h"

namespace tovrin {
namespace {

constexpr uint16_t kEscAt = 0x401B;
constexpr uint16_t kEscBang = 0x211B;
constexpr uint16_t kEscDollar = 0x241B;
constexpr uint16_t kEndMarker = 0x0045;

struct Command {
  uint16_t code;
  bool by_low_byte;  // matches any command word with this low byte
  size_t (*length)(const WordReader&);
  void (*run)(Translation&);
  bool Matches(uint16_t word) const {
    return by_low_byte ? (word & 0xFF) == code : word == code;
  }
};

template <size_t N>
size_t Fixed(const WordReader&) {
  return N;
}

constexpr std::array kSheetCommands = {
    Command{0x0157, false, Fixed<1>, RunScale},  Command{0x0132, false, Fixed<1>, RunPenChoice},
    Command{0x0452, false, Fixed<4>, RunSheet},  Command{0x0156, false, Fixed<1>, RunCopies},
    Command{0x014A, false, Fixed<1>, RunDashUnit},
};

// Tested in this order; E, K and L match by their low byte where they stand.
constexpr std::array kDrawingCommands = {
    Command{0x0154, false, Fixed<1>, RunLineClass},
    Command{0xFF42, false, WidePolylineLength, RunWidePolyline},
    Command{0x0045, true, WideArcLength, RunWideArc},
    Command{0x0641, false, Fixed<6>, RunArc},
    Command{0x0444, false, Fixed<4>, RunLine},
    Command{0xFF44, false, PolylineLength, RunPolyline},
    Command{0x0153, false, Fixed<1>, RunTextBlock},
    Command{0x0149, false, SlantLength, RunSlant},
    Command{0x014A, false, Fixed<1>, RunDirection},
    Command{0x0348, false, Fixed<3>, RunSize},
    Command{0x0648, false, Fixed<6>, RunSizePitch},
    Command{0x004B, true, TextRecordLength, RunByteText},
    Command{0x004C, true, TextRecordLength, RunJisText},
    Command{0x0152, false, Fixed<1>, RunPatternBlock},
    Command{0xFF50, false, AreaLength, RunArea},
    Command{0x044E, false, Fixed<4>, RunAnnotationLine},
    Command{0x0143, false, Fixed<1>, RunPaletteColour},
};

enum class Step { Next, End };

// Reads the command word after a prefix and runs the first matching entry.
// A command runs only when all its words are in the file; otherwise the
// drawing ends here, incomplete.
template <size_t N>
Step RunCommand(Translation& tr, const std::array<Command, N>& commands) {
  if (!tr.reader.Available(1)) return Step::End;
  uint16_t word = tr.reader.ReadWord();
  for (const Command& c : commands) {
    if (!c.Matches(word)) continue;
    if (!tr.reader.Available(c.length(tr.reader))) return Step::End;
    c.run(tr);
    return Step::Next;
  }
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
    if (word == kEscBang) {
      step = RunCommand(tr, kSheetCommands);
    } else if (word == kEscDollar) {
      step = RunCommand(tr, kDrawingCommands);
    }
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
