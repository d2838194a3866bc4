// ESC '$' drawing commands of the geometry: line classes, blocks, lines, arcs,
// wide lines, areas.
#pragma once

#include <cstddef>

namespace tovrin {

struct Translation;
class WordReader;

// Each variable-length command tells how many words follow its command word
// (reader on the command word); SIZE_MAX when that cannot be told because
// the words that say it are missing.
size_t PolylineLength(const WordReader& reader);
size_t WidePolylineLength(const WordReader& reader);
size_t WideArcLength(const WordReader& reader);
size_t AreaLength(const WordReader& reader);

void RunLineClass(Translation& tr);     // T/1
void RunTextBlock(Translation& tr);     // S/1
void RunPatternBlock(Translation& tr);  // R/1
void RunLine(Translation& tr);          // D/4
void RunPolyline(Translation& tr);      // D/var
void RunArc(Translation& tr);           // A/6
void RunWidePolyline(Translation& tr);  // B/var
void RunWideArc(Translation& tr);       // E
void RunArea(Translation& tr);          // P/var

}  // namespace tovrin
