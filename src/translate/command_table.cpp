#include "translate/command_table.h"

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

}  // namespace

std::span<const Command> CommandTable() { return kCommands; }

const Command* FindCommand(uint16_t prefix, uint16_t word) {
  for (const Command& c : kCommands)
    if (c.prefix == prefix && c.Matches(word)) return &c;
  return nullptr;
}

}  // namespace tovrin
