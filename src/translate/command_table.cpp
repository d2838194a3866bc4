#include "translate/command_table.h"

#include <cstdint>
#include <iterator>

#include "geometry/geometry_commands.h"
#include "ofi/sheet_commands.h"
#include "text/text_commands.h"

namespace tovrin {
namespace {

// Tested in this order; E, K and L match by their low byte where they stand.
// ESC '!' J and ESC '$' J share their code: only the prefix tells them apart.
// clang-format off
constexpr Command kCommands[] = {
    // prefix     code                  length               handler
    {kEscBang,   Code('W', 1),         nullptr,             RunScale},
    {kEscBang,   Code('2', 1),         nullptr,             RunPenChoice},
    {kEscBang,   Code('R', 4),         nullptr,             RunSheet},
    {kEscBang,   Code('V', 1),         nullptr,             RunCopies},
    {kEscBang,   Code('J', 1),         nullptr,             RunDashUnit},
    {kEscDollar, Code('T', 1),         nullptr,             RunLineClass},
    {kEscDollar, Code('B', kVariable), WidePolylineLength,  RunWidePolyline},
    {kEscDollar, LowByte('E'),         WideArcLength,       RunWideArc},
    {kEscDollar, Code('A', 6),         nullptr,             RunArc},
    {kEscDollar, Code('D', 4),         nullptr,             RunLine},
    {kEscDollar, Code('D', kVariable), PolylineLength,      RunPolyline},
    {kEscDollar, Code('S', 1),         nullptr,             RunTextBlock},
    {kEscDollar, Code('I', 1),         SlantLength,         RunSlant},
    {kEscDollar, Code('J', 1),         nullptr,             RunDirection},
    {kEscDollar, Code('H', 3),         nullptr,             RunSize},
    {kEscDollar, Code('H', 6),         nullptr,             RunSizePitch},
    {kEscDollar, LowByte('K'),         TextRecordLength,    RunByteText},
    {kEscDollar, LowByte('L'),         TextRecordLength,    RunJisText},
    {kEscDollar, Code('R', 1),         nullptr,             RunPatternBlock},
    {kEscDollar, Code('P', kVariable), AreaLength,          RunArea},
    {kEscDollar, Code('N', 4),         nullptr,             RunAnnotationLine},
    {kEscDollar, Code('C', 1),         nullptr,             RunPaletteColour},
};
// clang-format on

// A command matches only words with its letter in the low byte, so the
// commands a word can match are those of its prefix and low byte, tried in
// the table's order; no more than three share a prefix and a letter.
constexpr size_t kMaxPerLetter = 3;
struct Dispatch {
  int8_t bang[256][kMaxPerLetter];
  int8_t dollar[256][kMaxPerLetter];
};

constexpr Dispatch MakeDispatch() {
  Dispatch d{};
  for (auto& row : d.bang)
    for (auto& i : row) i = -1;
  for (auto& row : d.dollar)
    for (auto& i : row) i = -1;
  for (size_t i = 0; i < std::size(kCommands); ++i) {
    int8_t* row =
        (kCommands[i].prefix == kEscBang ? d.bang : d.dollar)[kCommands[i].code.word & 0xFF];
    size_t at = 0;
    while (row[at] >= 0) ++at;
    row[at] = static_cast<int8_t>(i);  // past the row's end: not a constant expression
  }
  return d;
}
constexpr Dispatch kDispatch = MakeDispatch();

}  // namespace

std::span<const Command> CommandTable() { return kCommands; }

const Command* FindCommand(uint16_t prefix, uint16_t word) {
  const int8_t* row;
  if (prefix == kEscBang) {
    row = kDispatch.bang[word & 0xFF];
  } else if (prefix == kEscDollar) {
    row = kDispatch.dollar[word & 0xFF];
  } else {
    return nullptr;
  }
  for (size_t at = 0; at < kMaxPerLetter && row[at] >= 0; ++at)
    if (kCommands[row[at]].Matches(word)) return &kCommands[row[at]];
  return nullptr;
}

}  // namespace tovrin
